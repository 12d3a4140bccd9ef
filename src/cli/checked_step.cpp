// Reporting of failed steps, and the gathered standard output they flush first.
#include "checked_step.hpp"

#include <cstdio>

namespace srtx {

std::array<char, outputBlockSize> outputBlock;
std::size_t outputPending = 0;

void writeOutputBlock() {
    // Printing is not a checked step while the run goes on; a lost write shows
    // in the stream's error flag, which flushOutput reports at the end.
    std::fwrite(outputBlock.data(), 1, outputPending, stdout);
    outputPending = 0;
}

bool flushOutput() {
    writeOutputBlock();
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

void stepFailed(const char* stepName) {
    // Lines already printed come before the error line even when both streams
    // go to the same pipe or file.
    flushOutput();
    std::fprintf(stderr, "error: %s failed\n", stepName);
    endRun(1);
}

} // namespace srtx
