// The read trace of the web build: the container's checked reads, merged into
// runs and handed to the page's JavaScript, which draws the container map.
#include "../container/container.hpp"

#include <array>
#include <cstdlib>
#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, srtxTraceRun, (const char* step, double start, int size, int count), {
    Module.onTraceRun(UTF8ToString(step), start, size, count);
});
// clang-format on

// Reads of one step that follow one another with no gap: an index read slot
// by slot, or packed entries, become one run however many there are.
struct Run {
    const char* step = nullptr;
    std::int64_t start = 0;
    std::int32_t size = 0;
    std::int32_t count = 0;
};
std::array<Run, 16> openRuns;
Run lastRead;

void flush(Run& run) {
    if (run.count > 0) {
        srtxTraceRun(run.step, static_cast<double>(run.start), run.size, run.count);
    }
    run.count = 0;
}

void flushAll() {
    for (Run& run : openRuns) {
        flush(run);
    }
    // The read attempted last, on its own: where a failed walk stopped.
    srtxTraceRun(lastRead.step == nullptr ? "" : lastRead.step, static_cast<double>(lastRead.start),
                 lastRead.size, -1);
}

} // namespace

namespace srtx {

void traceRead(std::int64_t position, std::int32_t size, const char* step) {
    static const bool flushAtExit = std::atexit(flushAll) == 0;
    (void)flushAtExit;
    lastRead = {step, position, size, 1};
    Run* free = nullptr;
    for (Run& run : openRuns) {
        if (run.count > 0 && run.step == step) {
            if (run.size == size && position == run.start + std::int64_t{run.size} * run.count) {
                ++run.count;
                return;
            }
            flush(run);
            run = lastRead;
            return;
        }
        if (run.count == 0 && free == nullptr) {
            free = &run;
        }
    }
    if (free == nullptr) {
        free = &openRuns[0];
        flush(*free);
    }
    *free = lastRead;
}

} // namespace srtx
