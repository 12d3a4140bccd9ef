// Listing mode: a checked walk of the whole container with the stream listing.
#include "../cli/output.hpp"
#include "modes.hpp"
#include "stream_line.hpp"

#include <algorithm>
#include <cstdint>

namespace srtx {

namespace {

void warnBadSize() {
    print("BAD SIZE\n");
}

// The walk goes through the entries in runs, each run one call. Native code
// pays a call per run; a JIT that can swap a function's optimised code in
// only between calls (V8 for WebAssembly) then runs all but the first runs of
// a large container in it, rather than the whole walk in its first-tier code.
constexpr std::int32_t runLength = 4096;

// The end of the run that starts at first, for count entries in all.
constexpr std::int32_t runEnd(std::int32_t first, std::int32_t count) {
    return first + std::min(count - first, runLength);
}

[[gnu::noinline]] void visitRun(ContainerStream& container, BlockKind kind,
                                std::int32_t blockOffset, std::int32_t first, std::int32_t end) {
    for (std::int32_t i = first; i < end; ++i) {
        readEntry(container, kind, blockOffset, i);
    }
}

// Lists streams first to end - 1 after the one whose DSP entry offset was
// previousOffset; returns the offset of the last one.
[[gnu::noinline]] std::int32_t listRun(ContainerStream& container, std::int32_t dspOffset,
                                       std::int32_t first, std::int32_t end,
                                       std::int32_t previousOffset, LineHead& head) {
    for (std::int32_t i = first; i < end; ++i, head.next()) {
        const std::int32_t currentOffset = readEntry(container, BlockKind::dsp, dspOffset, i);
        if (i > 0 && wrappingSub(currentOffset, previousOffset) != dspEntrySize) {
            warnBadSize();
        }
        previousOffset = currentOffset;
        char* const line = outputRoom(streamLineMax);
        printed(formatLine(line, head, wrapping(readBe32(&ioBuffer[dspWordOffset]))));
    }
    return previousOffset;
}

void visitEntries(ContainerStream& container, BlockKind kind, std::int32_t blockOffset,
                  std::int32_t count) {
    for (std::int32_t first = 0; first < count; first = runEnd(first, count)) {
        visitRun(container, kind, blockOffset, first, runEnd(first, count));
    }
}

} // namespace

void runListing(ContainerStream& container, std::int32_t containerSize,
                const FileHeader& fileHeader, const char* containerPath) {
    print({containerPath, "...\n"});

    readBlockHeader(container, BlockKind::rnd, fileHeader.rndOffset);

    const std::int32_t streamCount =
        readBlockHeader(container, BlockKind::ssd, fileHeader.ssdOffset);
    print({Decimal(streamCount), " streams\n"});
    visitEntries(container, BlockKind::ssd, fileHeader.ssdOffset, streamCount);

    const std::int32_t srtCount = readBlockHeader(container, BlockKind::srt, fileHeader.srtOffset);
    visitEntries(container, BlockKind::srt, fileHeader.srtOffset, srtCount);

    readBlockHeader(container, BlockKind::dsp, fileHeader.dspOffset, streamCount);
    // DSP entries must follow one another 144 bytes apart; a breach is only a warning.
    std::int32_t previousOffset = -1;
    LineHead head;
    for (std::int32_t first = 0; first < streamCount; first = runEnd(first, streamCount)) {
        previousOffset = listRun(container, fileHeader.dspOffset, first, runEnd(first, streamCount),
                                 previousOffset, head);
    }

    // The file must end where the DSP entry visited last ends.
    const std::int32_t lastEntryStart =
        wrappingAdd(wrappingAdd(fileHeader.dspOffset, previousOffset), blockHeaderSize);
    if (wrappingSub(containerSize, lastEntryStart) != dspEntrySize) {
        warnBadSize();
    }

    container.close();
}

} // namespace srtx
