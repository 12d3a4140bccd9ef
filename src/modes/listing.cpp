// Listing mode: a checked walk of the whole container with the stream listing.
#include "../cli/checked_step.hpp"
#include "modes.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace srtx {

namespace {

constexpr std::array<char, 200> digitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The "%3d:\t" head of the stream lines. The walk numbers the streams 0, 1,
// 2, ..., so the head is counted up in place, one increment per line, rather
// than converted anew.
class LineHead {
public:
    LineHead() {
        text_.fill(' ');
        text_[digitsEnd - 1] = '0';
        text_[digitsEnd] = ':';
        text_[digitsEnd + 1] = '\t';
    }

    const char* begin() const { return text_.data() + std::min(first_, digitsEnd - 3); }
    std::size_t size() const { return static_cast<std::size_t>(text_.data() + headEnd - begin()); }

    void next() {
        std::size_t k = digitsEnd;
        while (text_[--k] == '9') {
            text_[k] = '0';
        }
        if (text_[k] == ' ') {
            text_[k] = '1';
            first_ = k;
        } else {
            ++text_[k];
        }
    }

private:
    // Ten digits hold any index; bytes past the head are copy slack.
    static constexpr std::size_t digitsEnd = 16;
    static constexpr std::size_t headEnd = digitsEnd + 2;
    std::array<char, 32> text_{};
    std::size_t first_ = digitsEnd - 1;
};

std::size_t digitCount(std::uint32_t value) {
    // Comparisons that do not wait on one another, unlike divisions.
    return std::size_t{1} + (value >= 10u) + (value >= 100u) + (value >= 1000u) +
           (value >= 10000u) + (value >= 100000u) + (value >= 1000000u) + (value >= 10000000u) +
           (value >= 100000000u) + (value >= 1000000000u);
}

// Writes the stream line for head and word to out, which has room for
// streamLineMax bytes; returns its length. The head moves in one copy of a
// fixed size (the bytes after it are overwritten); the word's digits are
// stored straight to their places, as reading back bytes just stored one by
// one would stall the processor.
inline std::size_t formatLine(char* out, const LineHead& head, std::int32_t word) {
    static_assert(streamLineMax >= 16 + 12);
    std::memcpy(out, head.begin(), 16);
    char* p = out + head.size();
    std::uint32_t magnitude =
        word < 0 ? 0u - static_cast<std::uint32_t>(word) : static_cast<std::uint32_t>(word);
    if (word < 0) {
        *p++ = '-';
    }
    char* const end = p + digitCount(magnitude);
    p = end;
    while (magnitude >= 100) {
        p -= 2;
        std::memcpy(p, &digitPairs[magnitude % 100 * 2], 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        std::memcpy(p - 2, &digitPairs[magnitude * 2], 2);
    } else {
        p[-1] = static_cast<char>('0' + magnitude);
    }
    *end = '\n';
    return static_cast<std::size_t>(end + 1 - out);
}

} // namespace

namespace {

void warnBadSize() {
    print("BAD SIZE\n");
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
    print(containerPath);
    print("...\n");

    readBlockHeader(container, BlockKind::rnd, fileHeader.rndOffset);

    const std::int32_t streamCount =
        readBlockHeader(container, BlockKind::ssd, fileHeader.ssdOffset);
    char countLine[streamLineMax];
    char* countEnd = std::to_chars(countLine, countLine + sizeof countLine, streamCount).ptr;
    print({countLine, static_cast<std::size_t>(countEnd - countLine)});
    print(" streams\n");
    visitEntries(container, BlockKind::ssd, fileHeader.ssdOffset, streamCount);

    const std::int32_t srtCount = readBlockHeader(container, BlockKind::srt, fileHeader.srtOffset);
    visitEntries(container, BlockKind::srt, fileHeader.srtOffset, srtCount);

    readBlockHeader(container, BlockKind::dsp, fileHeader.dspOffset, streamCount);
    // DSP entries must follow one another 144 bytes apart; a breach is only a warning.
    std::int32_t previousOffset = -1;
    LineHead head;
    for (std::int32_t i = 0; i < streamCount; ++i, head.next()) {
        const std::int32_t currentOffset =
            readEntry(container, BlockKind::dsp, fileHeader.dspOffset, i);
        if (i > 0 && wrappingSub(currentOffset, previousOffset) != dspEntrySize) {
            warnBadSize();
        }
        previousOffset = currentOffset;
        char* const line = outputRoom(streamLineMax);
        printed(formatLine(line, head, wrapping(readBe32(&ioBuffer[dspWordOffset]))));
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
