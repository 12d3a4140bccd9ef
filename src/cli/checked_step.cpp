// Reporting of failed steps, after the gathered standard output.
#include "checked_step.hpp"

#include "../platform/platform.hpp"
#include "output.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>

namespace srtx {

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
