// Child-process runs of srtx with captured output streams.
#include "run_tool.hpp"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef SRTX_BINARY
#error "SRTX_BINARY must name the srtx executable under test"
#endif

namespace srtx::testing {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Forks; the child points stdout and stderr at files (the same one when merged)
// and runs body; the parent waits and collects.
RunResult capture(const std::function<void()>& body, bool merged) {
    TempDir dir;
    const std::string outPath = dir.path("stdout");
    const std::string errPath = merged ? outPath : dir.path("stderr");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd =
            merged ? outFd : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int nullFd = ::open("/dev/null", O_RDONLY);
        if (outFd < 0 || errFd < 0 || nullFd < 0) {
            ::_exit(127);
        }
        ::dup2(nullFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        body();
        ::_exit(127);
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(outPath);
    result.err = merged ? std::string() : slurp(errPath);
    return result;
}

void execSrtx(const std::vector<std::string>& argv) {
    std::vector<char*> raw;
    raw.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        raw.push_back(const_cast<char*>(arg.c_str()));
    }
    raw.push_back(nullptr);
    ::execv(SRTX_BINARY, raw.data());
}

std::vector<std::string> withProgramName(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"srtx"};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

} // namespace

RunResult runSrtx(const std::vector<std::string>& args) {
    return runSrtxArgv(withProgramName(args));
}

RunResult runSrtxArgv(const std::vector<std::string>& argv) {
    return capture([&] { execSrtx(argv); }, false);
}

RunResult runSrtxMerged(const std::vector<std::string>& args) {
    return capture([&] { execSrtx(withProgramName(args)); }, true);
}

RunResult runInChild(const std::function<int()>& body) {
    return capture(
        [&] {
            const int status = body();
            std::fflush(nullptr);
            ::_exit(status);
        },
        false);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "srtx-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

} // namespace srtx::testing
