// The one failure rule of srtx: a checked step either succeeds or ends the run.
#pragma once

namespace srtx {

// Ends the run with the given exit status. Buffered output is flushed and open
// files are closed by the runtime; nothing is cleaned up by hand.
[[noreturn]] void endRun(int status);

// Reports a failed step as "error: <stepName> failed" on standard error and ends
// the run with status 1.
[[noreturn]] void stepFailed(const char* stepName);

// Reports the step when it failed; returns when it did not. Inline, as the
// walk of a large container passes through it several times per record.
inline void checkStep(const char* stepName, bool failed) {
    if (failed) {
        stepFailed(stepName);
    }
}

} // namespace srtx
