// The platform layer on Windows: UTF-16 names, arguments and console text,
// handle-based identity and positioned reads.
#include "platform.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// Writes UTF-16 as UTF-8, but a lone surrogate, which UTF-8 cannot hold, as
// the three bytes its value would take (as WTF-8 does). No strict UTF-8
// decoder takes those bytes back, so such a name fails every open, while a
// printed argument still shows where the odd unit stood.
int encodeKeepingLoneSurrogates(const wchar_t* units, char* out) {
    char* p = out;
    for (; *units != L'\0'; ++units) {
        std::uint32_t c = *units;
        if (c >= 0xD800 && c <= 0xDBFF && units[1] >= 0xDC00 && units[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(*++units) - 0xDC00);
        }
        const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        constexpr unsigned char lead[] = {0x00, 0xC0, 0xE0, 0xF0};
        *p++ = static_cast<char>(lead[tail] | (c >> (6 * tail)));
        for (int k = tail - 1; k >= 0; --k) {
            *p++ = static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
        }
    }
    *p++ = '\0';
    return static_cast<int>(p - out);
}

// Console text is converted a piece at a time; a piece never ends inside a
// UTF-8 sequence.
constexpr std::size_t consolePiece = 4096;
wchar_t consoleText[consolePiece];

} // namespace

bool openClosedStandardStreams() {
    // The runtime keeps descriptors 0-2 for itself even when their handles are
    // missing, but writes to them then fail. The null device takes their
    // place, as on POSIX, so a run with its output closed behaves the same.
    for (int fd = 0; fd <= 2; ++fd) {
        const intptr_t handle = ::_get_osfhandle(fd);
        if (handle != -1 && handle != -2) {
            continue;
        }
        const int null = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (null < 0) {
            return false;
        }
        if (null != fd) {
            const bool moved = ::_dup2(null, fd) == 0;
            ::_close(null);
            if (!moved) {
                return false;
            }
        }
    }
    return true;
}

void writeText(std::FILE* stream, std::string_view text) {
    const HANDLE console = handleOf(stream);
    DWORD mode = 0;
    if (!::GetConsoleMode(console, &mode)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::fflush(stream);
    while (!text.empty()) {
        std::size_t take = std::min(text.size(), consolePiece);
        while (take < text.size() && take > 1 &&
               (static_cast<unsigned char>(text[take]) & 0xC0) == 0x80) {
            --take;
        }
        const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(take),
                                                consoleText, static_cast<int>(consolePiece));
        DWORD written = 0;
        ::WriteConsoleW(console, consoleText, static_cast<DWORD>(std::max(units, 0)), &written,
                        nullptr);
        text.remove_prefix(take);
    }
}

char** utf8Arguments(int& argc, char** argv) {
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
        int bytes = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide[i], -1, next,
                                          static_cast<int>(end - next), nullptr, nullptr);
        if (bytes <= 0) {
            bytes = encodeKeepingLoneSurrogates(wide[i], next);
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
    // The 128-bit identifier where the system has it (ReFS needs all of it);
    // the 64-bit index only where the system cannot give that.
    FileIdentity identity{};
    FILE_ID_INFO id{};
    if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        static_assert(sizeof id.FileId.Identifier == 2 * sizeof(std::uint64_t));
        identity.volume = id.VolumeSerialNumber;
        std::memcpy(&identity.index, id.FileId.Identifier, sizeof identity.index);
        std::memcpy(&identity.indexHigh, id.FileId.Identifier + 8, sizeof identity.indexHigh);
    } else {
        const DWORD error = ::GetLastError();
        BY_HANDLE_FILE_INFORMATION information{};
        if ((error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
             error != ERROR_INVALID_FUNCTION) ||
            !::GetFileInformationByHandle(handle, &information)) {
            return std::nullopt;
        }
        identity.volume = information.dwVolumeSerialNumber;
        identity.index =
            (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    }
    // Some network shares give no identifier: every file there would look like
    // every other, so such a file counts as one that cannot be told apart.
    if (identity.index == 0 && identity.indexHigh == 0) {
        return std::nullopt;
    }
    return identity;
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
