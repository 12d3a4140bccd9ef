// Reporting of failed steps, and the gathered standard output they flush first.
#include "checked_step.hpp"

#include "../platform/platform.hpp"

#include <algorithm>
#include <cstdio>

namespace srtx {

std::array<char, outputBlockSize> outputBlock;
std::size_t outputPending = 0;

void writeOutputBlock() {
    // Printing is not a checked step while the run goes on; a lost write shows
    // in the stream's error flag, which flushOutput reports at the end.
    writeStandardOutput({outputBlock.data(), outputPending});
    outputPending = 0;
}

void writeStandardOutput(std::string_view text) {
    platform::writeText(stdout, text);
}

bool flushOutput() {
    writeOutputBlock();
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

void stepFailed(const char* stepName) {
    // Lines already printed come before the error line even when both streams
    // go to the same pipe or file.
    flushOutput();
    std::array<char, 256> line{};
    const int length = std::snprintf(line.data(), line.size(), "error: %s failed\n", stepName);
    platform::writeText(stderr,
                        {line.data(), std::min(static_cast<std::size_t>(length), line.size() - 1)});
    endRun(1);
}

} // namespace srtx
