// Starts srtx.js under Node from the suite built to WebAssembly, which itself
// runs under Node; argv[0] reaches the tool as typed, as qemu-user's -0 does.
#include "run_tool.hpp"

#include <emscripten.h>

#ifndef SRTX_BINARY
#error "SRTX_BINARY must name the srtx.js under test"
#endif

namespace srtx::testing {

namespace {

// The bodies are JavaScript, which clang-format would break.
// clang-format off
// Empty paths: all three standard streams closed, through a shell, since
// Node always hands its children something on each of them.
EM_JS(int, startUnderNode, (const char* const* argv, int argc, const char* tool,
                           const char* outPath, const char* errPath), {
    const fs = require("fs");
    const spawnSync = require("child_process").spawnSync;
    const args = [];
    for (let i = 1; i < argc; ++i) {
        args.push(UTF8ToString(HEAP32[(argv >> 2) + i]));
    }
    const node = process.execPath;
    const script = UTF8ToString(tool);
    const out = UTF8ToString(outPath);
    const err = UTF8ToString(errPath);
    let result;
    if (out === "" && err === "") {
        result = spawnSync("/bin/sh", ["-c", "exec \"$0\" \"$@\" <&- >&- 2>&-", node, script]
                                          .concat(args));
    } else {
        const outFd = fs.openSync(out, "w");
        const errFd = err === out ? outFd : fs.openSync(err, "w");
        result = spawnSync(node, [script].concat(args), {
            argv0: UTF8ToString(HEAP32[argv >> 2]),
            stdio: ["ignore", outFd, errFd]
        });
        fs.closeSync(outFd);
        if (errFd !== outFd) {
            fs.closeSync(errFd);
        }
    }
    return result.status === null ? -1 : result.status;
});

EM_JS(void, linkUnderNode, (const char* target, const char* link),
      { require("fs").linkSync(UTF8ToString(target), UTF8ToString(link)); });
// clang-format on

} // namespace

void makeHardLink(const std::string& target, const std::string& link) {
    linkUnderNode(target.c_str(), link.c_str());
}

int launchSrtx(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath) {
    std::vector<const char*> raw;
    for (const std::string& arg : argv) {
        raw.push_back(arg.c_str());
    }
    return startUnderNode(raw.data(), static_cast<int>(raw.size()), SRTX_BINARY, outPath.c_str(),
                          errPath.c_str());
}

} // namespace srtx::testing
