// Child-process runs of srtx with captured output streams.
#include "run_tool.hpp"

#include "container_builder.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace srtx::testing {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Checks that every line feed of a text-mode stream came as CR LF, and gives
// back the text with plain line feeds.
std::string fromTextMode(const std::string& text, const char* stream) {
    if (!linesEndInCrLf) {
        return text;
    }
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            plain += '\n';
            ++i;
            continue;
        }
        if (text[i] == '\n') {
            ADD_FAILURE() << stream << " has a line feed without a carriage return: " << text;
        }
        plain += text[i];
    }
    return plain;
}

RunResult capture(const std::vector<std::string>& argv, bool merged) {
    TempDir dir;
    const std::string outPath = dir.path("stdout");
    const std::string errPath = merged ? outPath : dir.path("stderr");
    RunResult result;
    result.status = launchSrtx(argv, outPath, errPath);
    result.out = fromTextMode(slurp(outPath), "standard output");
    result.err = merged ? std::string() : fromTextMode(slurp(errPath), "standard error");
    return result;
}

std::vector<std::string> withProgramName(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"srtx"};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

// Points a standard stream's descriptor at a file for a while.
class Redirect {
public:
    Redirect(std::FILE* stream, const std::string& path)
        : stream_(stream), fd_(::fileno(stream)), saved_(::dup(fd_)) {
        std::fflush(stream_);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(file, fd_);
        ::close(file);
    }
    ~Redirect() {
        std::fflush(stream_);
        ::dup2(saved_, fd_);
        ::close(saved_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    std::FILE* stream_;
    int fd_;
    int saved_;
};

} // namespace

RunResult runSrtx(const std::vector<std::string>& args) {
    return capture(withProgramName(args), false);
}

RunResult runSrtxArgv(const std::vector<std::string>& argv) {
    return capture(argv, false);
}

RunResult runSrtxMerged(const std::vector<std::string>& args) {
    return capture(withProgramName(args), true);
}

RunResult runSrtxWithStdoutTo(const std::string& stdoutPath, const std::vector<std::string>& args) {
    TempDir dir;
    const std::string errPath = dir.path("stderr");
    RunResult result;
    result.status = launchSrtx(withProgramName(args), stdoutPath, errPath);
    result.err = fromTextMode(slurp(errPath), "standard error");
    return result;
}

FifoRun runSrtxIntoFifo(const std::vector<std::string>& args, const std::string& resizePath,
                        std::size_t newSize) {
    TempDir dir;
    FifoRun result;
    result.status =
        launchSrtxIntoFifo(withProgramName(args), dir.path("stdout"), dir.path("stderr"),
                           resizePath, newSize, dir.path("received"));
    result.err = fromTextMode(slurp(dir.path("stderr")), "standard error");
    result.received = slurp(dir.path("received"));
    return result;
}

int runSrtxWithStandardStreamsClosed(const std::vector<std::string>& args) {
    return launchSrtx(withProgramName(args), "", "");
}

RunResult runInProcess(const std::function<int()>& body) {
    TempDir dir;
    RunResult result;
    {
        const Redirect out(stdout, dir.path("stdout"));
        const Redirect err(stderr, dir.path("stderr"));
        result.status = body();
    }
    result.out = fromTextMode(slurp(dir.path("stdout")), "standard output");
    result.err = fromTextMode(slurp(dir.path("stderr")), "standard error");
    return result;
}

TempDir::TempDir() {
    // Unique across the test processes that ctest runs side by side.
    static std::atomic<unsigned> counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (unsigned attempt = 0;; ++attempt) {
        const std::filesystem::path candidate =
            base / ("srtx-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            root_ = candidate.generic_string();
            return;
        }
        if (attempt > 100) {
            throw std::runtime_error("cannot make a temporary directory");
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

} // namespace srtx::testing
