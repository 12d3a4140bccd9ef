// Runs the built srtx binary as a child process and captures what it did.
#pragma once

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

// Runs srtx with the given arguments after the program name, stdout and stderr
// captured apart.
RunResult runSrtx(const std::vector<std::string>& args);

// Runs srtx with a full argument vector, element 0 the program name as typed.
RunResult runSrtxArgv(const std::vector<std::string>& argv);

// Runs srtx with stdout and stderr going to the same file, as "cmd > f 2>&1"
// does; the merged text comes back in out.
RunResult runSrtxMerged(const std::vector<std::string>& args);

// Runs a function in a child process with stdout and stderr captured; the
// child exits with the function's return value.
RunResult runInChild(const std::function<int()>& body);

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

} // namespace srtx::testing
