// Reporting of failed steps.
#include "checked_step.hpp"

#include <cstdio>

namespace srtx {

void checkStep(const char* stepName, bool failed) {
    if (!failed) {
        return;
    }
    // Progress lines already printed come before the error line even when both
    // streams go to the same pipe or file.
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s failed\n", stepName);
    endRun(1);
}

} // namespace srtx
