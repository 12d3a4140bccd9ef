// Checked reads of the container's file header, block headers and entries.
#include "container.hpp"

#include "../cli/checked_step.hpp"
#include "../platform/platform.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace srtx {

std::array<std::uint8_t, ioBufferSize> ioBuffer;

std::int32_t measureFileSize(std::FILE* file, const char* seekEndStep, const char* tellStep,
                             const char* rewindStep) {
    checkStep(seekEndStep, !platform::seekToEnd(file));
    const std::int64_t size = platform::tell(file);
    checkStep(tellStep, size == -1 || size > std::numeric_limits<std::int32_t>::max());
    checkStep(rewindStep, !platform::seekToStart(file));
    return static_cast<std::int32_t>(size);
}

namespace {

std::int32_t decodeSigned(std::size_t at) {
    return wrapping(readBe32(&ioBuffer[at]));
}

bool headerMatches(BlockKind kind, const std::int32_t* expectedCount) {
    const BlockLayout& layout = layoutOf(kind);
    const auto* header = ioBuffer.data();
    if (!std::equal(layout.magic.begin(), layout.magic.end(), header) ||
        !std::equal(blockFixedTail.begin(), blockFixedTail.end(), header + 8)) {
        return false;
    }
    return expectedCount == nullptr || decodeSigned(4) == *expectedCount;
}

std::int32_t readCheckedBlockHeader(ContainerStream& container, BlockKind kind,
                                    std::int32_t blockOffset, const std::int32_t* expectedCount) {
    const BlockSteps& steps = layoutOf(kind).steps;
    checkStep(steps.seekBlock, !container.seek(blockOffset));
    traceRead(container.position(), blockHeaderSize, steps.readHeader);
    checkStep(steps.readHeader, !container.read(blockHeaderSize));
    checkStep(steps.checkHeader, !headerMatches(kind, expectedCount));
    return decodeSigned(4);
}

} // namespace

FileHeader readFileHeader(ContainerStream& container) {
    traceRead(container.position(), fileHeaderSize, "read header");
    checkStep("read header", !container.read(fileHeaderSize));
    return FileHeader{decodeSigned(0), decodeSigned(4), decodeSigned(8), decodeSigned(12)};
}

std::int32_t readBlockHeader(ContainerStream& container, BlockKind kind, std::int32_t blockOffset) {
    // The RND block never has entries: its whole header is a fixed image, count 0 included.
    static constexpr std::int32_t rndCount = 0;
    return readCheckedBlockHeader(container, kind, blockOffset,
                                  kind == BlockKind::rnd ? &rndCount : nullptr);
}

std::int32_t readBlockHeader(ContainerStream& container, BlockKind kind, std::int32_t blockOffset,
                             std::int32_t expectedStreamCount) {
    return readCheckedBlockHeader(container, kind, blockOffset, &expectedStreamCount);
}

} // namespace srtx
