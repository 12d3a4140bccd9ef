// Listing mode: a checked walk of the whole container with the stream listing.
#include "modes.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace srtx {

std::size_t formatStreamLine(char* out, std::int32_t index, std::int32_t word) {
    char* const end = out + streamLineMax;
    char digits[12];
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, index).ptr;
    const auto width = static_cast<std::size_t>(digitsEnd - digits);
    char* p = out;
    for (std::size_t pad = width; pad < 3; ++pad) {
        *p++ = ' ';
    }
    std::memcpy(p, digits, width);
    p += width;
    *p++ = ':';
    *p++ = '\t';
    p = std::to_chars(p, end, word).ptr;
    *p++ = '\n';
    return static_cast<std::size_t>(p - out);
}

namespace {

void warnBadSize() {
    std::fputs("BAD SIZE\n", stdout);
}

void visitEntries(ContainerStream& container, BlockKind kind, std::int32_t blockOffset,
                  std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        readEntry(container, kind, blockOffset, i);
    }
}

} // namespace

void runListing(ContainerStream& container, std::int32_t containerSize,
                const FileHeader& fileHeader, const char* containerPath) {
    std::printf("%s...\n", containerPath);

    readBlockHeader(container, BlockKind::rnd, fileHeader.rndOffset);

    const std::int32_t streamCount =
        readBlockHeader(container, BlockKind::ssd, fileHeader.ssdOffset);
    std::printf("%d streams\n", streamCount);
    visitEntries(container, BlockKind::ssd, fileHeader.ssdOffset, streamCount);

    const std::int32_t srtCount = readBlockHeader(container, BlockKind::srt, fileHeader.srtOffset);
    visitEntries(container, BlockKind::srt, fileHeader.srtOffset, srtCount);

    readBlockHeader(container, BlockKind::dsp, fileHeader.dspOffset, streamCount);
    // DSP entries must follow one another 144 bytes apart; a breach is only a warning.
    std::int32_t previousOffset = -1;
    for (std::int32_t i = 0; i < streamCount; ++i) {
        const std::int32_t currentOffset =
            readEntry(container, BlockKind::dsp, fileHeader.dspOffset, i);
        if (i > 0 && wrappingSub(currentOffset, previousOffset) != dspEntrySize) {
            warnBadSize();
        }
        previousOffset = currentOffset;
        char line[streamLineMax];
        const std::size_t length =
            formatStreamLine(line, i, wrapping(readBe32(&ioBuffer[dspWordOffset])));
        std::fwrite(line, 1, length, stdout);
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
