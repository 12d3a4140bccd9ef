// Starts srtx on POSIX systems: fork and exec, through the emulator on a cross build.
#include "run_tool.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef SRTX_BINARY
#error "SRTX_BINARY must name the srtx executable under test"
#endif
#ifndef SRTX_EMULATOR
#define SRTX_EMULATOR ""
#endif

namespace srtx::testing {

namespace {

// Nothing of the parent but the given vector may run after fork, so the
// argument list is built first.
std::vector<std::string> commandFor(const std::vector<std::string>& argv) {
    const std::string emulator = SRTX_EMULATOR;
    if (emulator.empty()) {
        return argv;
    }
    // qemu-user's -0 sets the argv[0] the program sees, here the name as typed.
    std::vector<std::string> command{emulator, "-0", argv.empty() ? "" : argv[0], SRTX_BINARY};
    command.insert(command.end(), argv.begin() + (argv.empty() ? 0 : 1), argv.end());
    return command;
}

} // namespace

int launchSrtx(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath) {
    const std::vector<std::string> command = commandFor(argv);
    const std::string program = std::string(SRTX_EMULATOR).empty() ? SRTX_BINARY : SRTX_EMULATOR;
    std::vector<char*> raw;
    raw.reserve(command.size() + 1);
    for (const std::string& arg : command) {
        raw.push_back(const_cast<char*>(arg.c_str()));
    }
    raw.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        if (outPath.empty() && errPath.empty()) {
            ::close(0);
            ::close(1);
            ::close(2);
            ::execv(program.c_str(), raw.data());
            ::_exit(127);
        }
        const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = errPath == outPath
                              ? outFd
                              : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int nullFd = ::open("/dev/null", O_RDONLY);
        if (outFd < 0 || errFd < 0 || nullFd < 0) {
            ::_exit(127);
        }
        ::dup2(nullFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
    int waitStatus = 0;
    ::waitpid(pid, &waitStatus, 0);
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

int launchSrtxIntoFifo(const std::vector<std::string>& argv, const std::string& outPath,
                       const std::string& errPath, const std::string& resizePath,
                       std::size_t newSize, const std::string& receivedPath) {
    const std::string fifo = argv.back();
    if (::mkfifo(fifo.c_str(), 0600) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
    std::atomic<bool> readerDone = false;
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        if (fd >= 0) {
            std::filesystem::resize_file(resizePath, newSize);
            std::ofstream received(receivedPath, std::ios::binary);
            char chunk[65536];
            for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
                received.write(chunk, n);
            }
            ::close(fd);
        }
        readerDone = true;
    });
    const int status = launchSrtx(argv, outPath, errPath);
    // Should srtx have ended without opening the FIFO, open it here so the
    // reader is not left waiting for a writer.
    while (!readerDone) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    return status;
}

void makeHardLink(const std::string& target, const std::string& link) {
    std::filesystem::create_hard_link(target, link);
}

} // namespace srtx::testing
