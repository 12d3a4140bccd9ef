// Process exit for the command-line tool; kept apart so that an in-process
// harness can end a run its own way.
#include "checked_step.hpp"

#include <cstdlib>

namespace srtx {

void endRun(int status) {
    std::exit(status);
}

} // namespace srtx
