// libFuzzer target: runs either mode of srtx in-process on a fuzzed container.
//
// An input is laid out as:
//   byte 0        bit 0 set selects dump mode; bits 1-7 give the .ssd size in
//                 units of 997 bytes (so copies of several chunks happen)
//   dump mode     the stream-number text, up to the first line feed (at most
//                 24 bytes), then the container
//   listing mode  the container
//
// The real tool ends a run with exit(); here endRun throws instead, so one
// process can run input after input. Streams the tool leaves open on a failed
// step, which the process exit would close, are tracked and closed here.
#include "cli/checked_step.hpp"
#include "cli/tool.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct RunEnded {
    int status;
};

std::array<std::FILE*, 8> openStreams{};
bool tracking = false;

// The largest .ssd an input can ask for, written once and cut to size per input.
constexpr std::size_t ssdUnit = 997;
std::array<char, 127 * ssdUnit> ssdPattern{};

std::string workDir;
std::string containerPath;
std::string ssdPath;
std::string outputPath;

} // namespace

namespace srtx {
void endRun(int status) {
    throw RunEnded{status};
}
} // namespace srtx

extern "C" {
std::FILE* __real_fopen(const char* path, const char* mode);
int __real_fclose(std::FILE* stream);

std::FILE* __real_fopen64(const char* path, const char* mode);
std::FILE* __real_fdopen(int fd, const char* mode);

std::FILE* track(std::FILE* stream) {
    if (tracking && stream != nullptr) {
        *std::find(openStreams.begin(), openStreams.end(), nullptr) = stream;
    }
    return stream;
}

std::FILE* __wrap_fopen(const char* path, const char* mode) {
    return track(__real_fopen(path, mode));
}

std::FILE* __wrap_fopen64(const char* path, const char* mode) {
    return track(__real_fopen64(path, mode));
}

// The output is opened as a descriptor and then given a stream.
std::FILE* __wrap_fdopen(int fd, const char* mode) {
    return track(__real_fdopen(fd, mode));
}

int __wrap_fclose(std::FILE* stream) {
    std::replace(openStreams.begin(), openStreams.end(), stream, static_cast<std::FILE*>(nullptr));
    return __real_fclose(stream);
}

int LLVMFuzzerInitialize(int*, char***) {
    workDir = "/dev/shm/srtx-fuzz-" + std::to_string(::getpid());
    ::mkdir(workDir.c_str(), 0700);
    containerPath = workDir + "/c.srt";
    ssdPath = workDir + "/d.ssd";
    outputPath = workDir + "/out";
    for (std::size_t i = 0; i < ssdPattern.size(); ++i) {
        ssdPattern[i] = static_cast<char>(i * 13 & 0xFF);
    }
    return 0;
}

int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool dump = (data[0] & 1) != 0;
    const std::size_t ssdSize = std::size_t{data[0]} / 2 * ssdUnit;
    std::size_t at = 1;

    std::string streamNumber;
    if (dump) {
        const std::size_t limit = std::min(size, at + 24);
        const std::uint8_t* end = std::find(data + at, data + limit, '\n');
        streamNumber.assign(data + at, end);
        at = end == data + limit ? limit : static_cast<std::size_t>(end - data) + 1;
        // The command line cannot carry a NUL inside an argument.
        streamNumber = streamNumber.substr(0, streamNumber.find('\0'));
    }

    std::FILE* container = __real_fopen(containerPath.c_str(), "wb");
    std::fwrite(data + at, 1, size - at, container);
    __real_fclose(container);
    if (dump) {
        std::FILE* ssd = __real_fopen(ssdPath.c_str(), "wb");
        std::fwrite(ssdPattern.data(), 1, ssdSize, ssd);
        __real_fclose(ssd);
    }

    char program[] = "srtx";
    char* argv[] = {program,        containerPath.data(), streamNumber.data(),
                    ssdPath.data(), outputPath.data(),    nullptr};
    tracking = true;
    try {
        srtx::runTool(dump ? 5 : 2, argv);
    } catch (const RunEnded&) {
    }
    tracking = false;
    for (std::FILE*& stream : openStreams) {
        if (stream != nullptr) {
            __real_fclose(stream);
            stream = nullptr;
        }
    }
    std::fflush(stdout);
    return 0;
}
}
