// The platform layer on Windows: UTF-16 names and arguments, handle-based
// identity and positioned reads.
#include "platform.hpp"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace {

struct StartupInfo {
    int newMode;
};

} // namespace

// The runtime's own parse of the UTF-16 command line, the same one its startup
// code makes for main; the wildcard setting is the one the runtime was linked with.
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                              int expandWildcards, StartupInfo* startup);
extern "C" int _dowildcard;

namespace srtx::platform {

namespace {

// A Windows command line holds at most 32767 UTF-16 units; each becomes at
// most three UTF-8 bytes (a surrogate pair, two units, becomes four).
constexpr int commandLineUnits = 32768;
char argumentText[3 * commandLineUnits + commandLineUnits];
char* argumentPointers[commandLineUnits / 2 + 1];

// One path at a time is converted, just before the file is opened.
wchar_t widePath[commandLineUnits];

const wchar_t* toWide(const char* path) {
    const int units =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, widePath, commandLineUnits);
    return units > 0 ? widePath : nullptr;
}

HANDLE handleOf(std::FILE* file) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
}

UINT consoleCodePageAtStart = 0;

void restoreConsoleCodePage() {
    ::SetConsoleOutputCP(consoleCodePageAtStart);
}

} // namespace

char** utf8Arguments(int& argc, char** argv) {
    // A console shows the UTF-8 names as text while the run lasts; the code
    // page it had is put back at exit.
    consoleCodePageAtStart = ::GetConsoleOutputCP();
    if (consoleCodePageAtStart != 0 && consoleCodePageAtStart != CP_UTF8 &&
        ::SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(restoreConsoleCodePage);
    }

    int wideCount = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    StartupInfo startup{0};
    if (__wgetmainargs(&wideCount, &wide, &environment, _dowildcard, &startup) != 0 ||
        wideCount > commandLineUnits / 2) {
        return argv;
    }
    char* next = argumentText;
    const char* const end = argumentText + sizeof argumentText;
    for (int i = 0; i < wideCount; ++i) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, next,
                                                static_cast<int>(end - next), nullptr, nullptr);
        if (bytes <= 0) {
            return argv;
        }
        argumentPointers[i] = next;
        next += bytes;
    }
    argumentPointers[wideCount] = nullptr;
    argc = wideCount;
    return argumentPointers;
}

std::FILE* openForReading(const char* path) {
    const wchar_t* wide = toWide(path);
    return wide != nullptr ? ::_wfopen(wide, L"rb") : nullptr;
}

std::FILE* openForWritingKeepingContents(const char* path) {
    const wchar_t* wide = toWide(path);
    int fd = -1;
    if (wide == nullptr || ::_wsopen_s(&fd, wide, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                                       _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0) {
        return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, "wb");
    if (file == nullptr) {
        ::_close(fd);
    }
    return file;
}

bool truncateToEmpty(std::FILE* file) {
    if (::GetFileType(handleOf(file)) != FILE_TYPE_DISK) {
        return true;
    }
    return ::_chsize_s(::_fileno(file), 0) == 0;
}

std::optional<FileIdentity> identify(std::FILE* file) {
    const HANDLE handle = handleOf(file);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    // Devices and pipes (NUL, a console) have no file index; nothing in them
    // can be lost by truncation, so each handle stands for itself.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        return FileIdentity{~std::uint64_t{0}, reinterpret_cast<std::uintptr_t>(handle)};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        (std::uint64_t{information.nFileIndexHigh} << 32) |
                            information.nFileIndexLow};
}

bool seekToEnd(std::FILE* file) {
    return ::_fseeki64(file, 0, SEEK_END) == 0;
}

bool seekToStart(std::FILE* file) {
    return ::_fseeki64(file, 0, SEEK_SET) == 0;
}

std::int64_t tell(std::FILE* file) {
    return ::_ftelli64(file);
}

std::size_t readAt(std::FILE* file, std::int64_t position, void* buffer, std::size_t size) {
    const HANDLE handle = handleOf(file);
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const auto at = static_cast<std::uint64_t>(position) + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD read = 0;
        if (!::ReadFile(handle, bytes + done, static_cast<DWORD>(size - done), &read, &where) ||
            read == 0) {
            break;
        }
        done += read;
    }
    return done;
}

} // namespace srtx::platform
