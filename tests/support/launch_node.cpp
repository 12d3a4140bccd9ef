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

// A shell runs the FIFO's reader, a Node process of its own, beside srtx.js;
// should srtx end without opening the FIFO, the shell opens it so the reader
// is not left waiting for a writer.
EM_JS(int, startWithFifoReader, (const char* const* argv, int argc, const char* tool,
                                const char* outPath, const char* errPath, const char* resizePath,
                                double newSize, const char* receivedPath), {
    const reader = [
        "const fs = require(\"fs\");",
        "const [fifo, resize, size, received] = process.argv.slice(1);",
        "const fd = fs.openSync(fifo, \"r\");",
        "fs.truncateSync(resize, Number(size));",
        "const out = fs.openSync(received, \"w\");",
        "const chunk = Buffer.alloc(65536);",
        "for (let n; (n = fs.readSync(fd, chunk)) > 0;) fs.writeSync(out, chunk, 0, n);",
        "fs.writeFileSync(received + \".done\", \"\");"
    ].join("\n");
    const script = [
        "node=$1 reader=$2 fifo=$3 resize=$4 size=$5 received=$6 out=$7 err=$8; shift 8",
        "mkfifo \"$fifo\" || exit 126",
        "\"$node\" -e \"$reader\" \"$fifo\" \"$resize\" \"$size\" \"$received\" & pid=$!",
        "\"$node\" \"$@\" >\"$out\" 2>\"$err\"; status=$?",
        "while [ ! -e \"$received.done\" ]; do : 3<>\"$fifo\"; sleep 0.01; done",
        "wait $pid; exit $status"
    ].join("\n");
    const args = [script, "sh", process.execPath, reader, UTF8ToString(HEAP32[(argv >> 2) + argc - 1]),
                  UTF8ToString(resizePath), String(newSize), UTF8ToString(receivedPath),
                  UTF8ToString(outPath), UTF8ToString(errPath), UTF8ToString(tool)];
    for (let i = 1; i < argc; ++i) {
        args.push(UTF8ToString(HEAP32[(argv >> 2) + i]));
    }
    const result = require("child_process").spawnSync("/bin/sh", ["-c"].concat(args));
    return result.status === null ? -1 : result.status;
});

EM_JS(void, linkUnderNode, (const char* target, const char* link),
      { require("fs").linkSync(UTF8ToString(target), UTF8ToString(link)); });
// clang-format on

std::vector<const char*> rawArguments(const std::vector<std::string>& argv) {
    std::vector<const char*> raw;
    for (const std::string& arg : argv) {
        raw.push_back(arg.c_str());
    }
    return raw;
}

} // namespace

int launchSrtxIntoFifo(const std::vector<std::string>& argv, const std::string& outPath,
                       const std::string& errPath, const std::string& resizePath,
                       std::size_t newSize, const std::string& receivedPath) {
    const std::vector<const char*> raw = rawArguments(argv);
    return startWithFifoReader(raw.data(), static_cast<int>(raw.size()), SRTX_BINARY,
                               outPath.c_str(), errPath.c_str(), resizePath.c_str(),
                               static_cast<double>(newSize), receivedPath.c_str());
}

void makeHardLink(const std::string& target, const std::string& link) {
    linkUnderNode(target.c_str(), link.c_str());
}

int launchSrtx(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath) {
    const std::vector<const char*> raw = rawArguments(argv);
    return startUnderNode(raw.data(), static_cast<int>(raw.size()), SRTX_BINARY, outPath.c_str(),
                          errPath.c_str());
}

} // namespace srtx::testing
