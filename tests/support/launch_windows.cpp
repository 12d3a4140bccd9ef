// Starts srtx.exe on Windows (and under wine): CreateProcessW with the
// standard handles pointed at files.
#include "container_builder.hpp"
#include "run_tool.hpp"

#include <filesystem>
#include <stdexcept>
#include <windows.h>

#ifndef SRTX_BINARY
#error "SRTX_BINARY must name the srtx executable under test"
#endif

namespace srtx::testing {

namespace {

// Decoded by hand so that a test can pass a lone surrogate, written as WTF-8
// (ED A0 80 for U+D800), which no UTF-8 decoder of the system lets through.
std::wstring wide(const std::string& utf8) {
    std::wstring text;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i++]);
        const int tail = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t c = tail == 0 ? lead : lead & (0x3Fu >> tail);
        for (int k = 0; k < tail && i < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3Fu);
        }
        if (c >= 0x10000) {
            text += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + (c & 0x3FF);
        }
        text += static_cast<wchar_t>(c);
    }
    return text;
}

// Quotes one argument so that the C runtime's parse gives it back unchanged:
// backslashes count only in front of a quote.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    out += L'"';
    return out;
}

HANDLE openInheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), access,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + path);
    }
    return handle;
}

// The build names the binary by its POSIX path when wine runs the tests; wine
// shows the POSIX root as drive Z:.
std::string binaryPath() {
    const std::string path = SRTX_BINARY;
    return path.starts_with('/') ? "Z:" + path : path;
}

} // namespace

int launchSrtx(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath) {
    std::wstring commandLine;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        commandLine += (i > 0 ? L" " : L"") + quoted(wide(argv[i]));
    }
    const HANDLE out = openInheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err =
        errPath == outPath ? out : openInheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE in = openInheritable("NUL", GENERIC_READ, OPEN_EXISTING);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const bool started =
        ::CreateProcessW(wide(binaryPath()).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    DWORD status = static_cast<DWORD>(-1);
    if (started) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &status);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(in);
    if (err != out) {
        ::CloseHandle(err);
    }
    ::CloseHandle(out);
    if (!started) {
        throw std::runtime_error("cannot start " + binaryPath());
    }
    return static_cast<int>(status);
}

int launchSrtxIntoFifo(const std::vector<std::string>& /*argv*/, const std::string& /*outPath*/,
                       const std::string& /*errPath*/, const std::string& /*resizePath*/,
                       std::size_t /*newSize*/, const std::string& /*receivedPath*/) {
    throw std::runtime_error("Windows has no FIFO");
}

void makeHardLink(const std::string& target, const std::string& link) {
    std::filesystem::create_hard_link(utf8Path(target), utf8Path(link));
}

} // namespace srtx::testing
