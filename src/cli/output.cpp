// The gathered standard output: the block, its writes and the final flush.
#include "output.hpp"

#include "../platform/platform.hpp"

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

} // namespace srtx
