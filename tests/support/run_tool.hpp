// Runs the built srtx binary as a child process and captures what it did.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace srtx::testing {

struct RunResult {
    int status = -1; // exit status, or -1 when the child did not exit normally
    std::string out;
    std::string err;
};

// The error line of a failed step, as srtx prints it on standard error.
inline std::string failed(const std::string& step) {
    return "error: " + step + " failed\n";
}

// Where standard output and standard error are in text mode (Windows), every
// line feed goes out as CR LF. The runner checks that each line of both
// streams ends so, and hands the text back with plain line feeds, so that one
// expectation serves every platform.
#ifdef _WIN32
inline constexpr bool onWindows = true;
#else
inline constexpr bool onWindows = false;
#endif
inline constexpr bool linesEndInCrLf = onWindows;

// Runs srtx with the given arguments after the program name, stdout and stderr
// captured apart. On a cross build the binary is started through its emulator.
RunResult runSrtx(const std::vector<std::string>& args);

// Runs srtx with a full argument vector, element 0 the program name as typed.
RunResult runSrtxArgv(const std::vector<std::string>& argv);

// Runs srtx with stdout and stderr going to the same file, as "cmd > f 2>&1"
// does; the merged text comes back in out.
RunResult runSrtxMerged(const std::vector<std::string>& args);

// Runs srtx with standard output sent to the named file (a device such as
// /dev/full, say), which is not read back; standard error is captured.
RunResult runSrtxWithStdoutTo(const std::string& stdoutPath, const std::vector<std::string>& args);

// Runs srtx with standard input, output and error closed; only the status
// comes back.
int runSrtxWithStandardStreamsClosed(const std::vector<std::string>& args);

// Runs srtx with args, whose last is the path of a FIFO made here, while a
// reader drains that FIFO: the reader's open waits until srtx has opened the
// FIFO for writing; then the reader resizes the file at resizePath to newSize
// and reads until srtx closes it. received holds what came through.
struct FifoRun {
    int status = -1;
    std::string err;
    std::string received;
};
FifoRun runSrtxIntoFifo(const std::vector<std::string>& args, const std::string& resizePath,
                        std::size_t newSize);

// Runs a function in this process with stdout and stderr captured; the
// function returns the exit status, it must not end the process.
RunResult runInProcess(const std::function<int()>& body);

// A fresh directory removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

// Makes link a hard link to the file target. Each launcher's own, as the file
// system the WebAssembly build sees through Node makes no hard links itself.
void makeHardLink(const std::string& target, const std::string& link);

// Starts srtx with argv (element 0 the name as typed), standard input empty,
// standard output and error written to the named files (one file when the two
// names are equal; all three closed when both are empty); waits and returns
// the exit status, -1 for a crash.
int launchSrtx(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath);

// launchSrtx with the FIFO reader of runSrtxIntoFifo, which writes what it
// received to receivedPath: a thread where the suite has threads, a process of
// its own under Node.
int launchSrtxIntoFifo(const std::vector<std::string>& argv, const std::string& outPath,
                       const std::string& errPath, const std::string& resizePath,
                       std::size_t newSize, const std::string& receivedPath);

} // namespace srtx::testing
