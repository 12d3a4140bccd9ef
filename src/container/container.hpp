// The SRT container: layout constants, decoding, and the checked block and entry reads.
#pragma once

#include "../cli/checked_step.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace srtx {

// Every read of the run lands at the start of this one buffer: container
// records as well as the chunks of the .ssd copy.
inline constexpr std::size_t ioBufferSize = 8192;
extern std::array<std::uint8_t, ioBufferSize> ioBuffer;

inline constexpr std::int32_t fileHeaderSize = 16;
inline constexpr std::int32_t blockHeaderSize = 16;
inline constexpr std::int32_t indexSlotSize = 4;
inline constexpr std::int32_t dspEntrySize = 144;
// Offset, inside a DspEntry, of the big-endian word that listing prints.
inline constexpr std::size_t dspWordOffset = 88;

// Bytes 8-15 of every block header: a big-endian 16 followed by a big-endian 0.
inline constexpr std::array<std::uint8_t, 8> blockFixedTail{0, 0, 0, 0x10, 0, 0, 0, 0};

enum class BlockKind : std::uint8_t { rnd, ssd, srt, dsp };

// Names of the checked steps of one block kind, as printed in error lines.
struct BlockSteps {
    const char* seekBlock;
    const char* readHeader;
    const char* checkHeader;
    const char* seekIndex;
    const char* readIndex;
    const char* seekEntry;
    const char* readEntry;
};

struct BlockLayout {
    std::array<std::uint8_t, 4> magic;
    std::int32_t entrySize;
    BlockSteps steps;
};

// Indexed by BlockKind. RND has no entries, so it has no entry steps.
inline constexpr std::array<BlockLayout, 4> blockLayouts{{
    {{'R', 'N', 'D', 0},
     0,
     {"seek to RND block", "read RND block header ", "check RND block header", nullptr, nullptr,
      nullptr, nullptr}},
    {{'S', 'S', 'D', 0},
     16,
     {"seek to SSD block", "read SSD block header", "check SSD block header",
      "seek to SSD entry index", "read SSD entry index", "seek to SSD entry", "read SSD entry"}},
    {{'S', 'R', 'T', 0},
     48,
     {"seek to SRT block", "read SRT block header", "check SRT block header",
      "seek to SRT entry index", "read SRT entry index", "seek to SRT entry", "read SRT entry"}},
    {{'D', 'S', 'P', 0},
     dspEntrySize,
     {"seek to DSP block", "read DSP block header", "check DSP block header",
      "seek to DSP entry index", "read DSP entry index", "seek to DSP entry", "read DSP entry"}},
}};

constexpr const BlockLayout& layoutOf(BlockKind kind) {
    return blockLayouts[static_cast<std::size_t>(kind)];
}

constexpr std::uint32_t readBe32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

// Positions, counts and sizes are signed 32-bit values whose arithmetic wraps.
// It is done in uint32_t, where wrapping is defined, and converted back.
constexpr std::int32_t wrapping(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

constexpr std::int32_t wrappingAdd(std::int32_t a, std::int32_t b) {
    return wrapping(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t wrappingSub(std::int32_t a, std::int32_t b) {
    return wrapping(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// Position of index slot i of the block at blockOffset.
constexpr std::int32_t indexPosition(std::int32_t blockOffset, std::int32_t i) {
    return wrapping(static_cast<std::uint32_t>(blockOffset) + std::uint32_t{blockHeaderSize} +
                    std::uint32_t{indexSlotSize} * static_cast<std::uint32_t>(i));
}

// Entry offsets count from the end of the block header.
constexpr std::int32_t entryPosition(std::int32_t blockOffset, std::int32_t entryOffset) {
    return wrapping(static_cast<std::uint32_t>(blockOffset) +
                    static_cast<std::uint32_t>(entryOffset) + std::uint32_t{blockHeaderSize});
}

// Every checked read of the container, for a build that draws them (the web
// page's container map): where it starts, how long it is and its step. In
// every other build this is nothing at all.
#ifdef SRTX_READ_TRACE
void traceRead(std::int64_t position, std::int32_t size, const char* step);
#else
inline void traceRead(std::int64_t /*position*/, std::int32_t /*size*/, const char* /*step*/) {}
#endif

struct FileHeader {
    std::int32_t rndOffset;
    std::int32_t ssdOffset;
    std::int32_t srtOffset;
    std::int32_t dspOffset;
};

// The open container: absolute seeks and exact-size reads into ioBuffer.
//
// The walk jumps between an index and the entries it points to, one small
// record at a time. The position is kept here rather than in the file stream,
// and reads are served from a few held regions of the file, each filled by one
// large positioned read on a miss; a walk over a well-formed container then
// costs one memory copy per record instead of a system call.
class ContainerStream {
public:
    // Takes over a stream freshly opened for reading. The position starts at 0.
    explicit ContainerStream(std::FILE* file);

    // Moves to an absolute position; false when the position is refused
    // (it is negative). A position past the end is accepted.
    bool seek(std::int32_t position) {
        if (position < 0) {
            return false;
        }
        position_ = position;
        return true;
    }

    // Reads size bytes (at most ioBufferSize) at the current position into the
    // start of ioBuffer; false when fewer are there.
    bool read(std::size_t size) {
        // A walk alternates between an index and its entries, so almost every
        // read falls in one of the two regions used last, whose bounds are
        // kept at hand.
        for (const Window& window : recent_) {
            if (position_ >= window.start &&
                position_ + static_cast<std::int64_t>(size) <= window.end) {
                std::memcpy(ioBuffer.data(), window.bytes + (position_ - window.start), size);
                position_ += static_cast<std::int64_t>(size);
                return true;
            }
        }
        return readFromAnotherRegion(size);
    }

    std::int64_t position() const { return position_; }

    std::FILE* file() const { return file_; }

    void close();

    static constexpr std::size_t heldRegionCount = 4;

private:
    struct HeldRegion {
        std::int64_t start = 0;
        std::size_t length = 0; // only what the file returned
        std::uint64_t lastUse = 0;
    };
    // A recently used region: its slot, where its bytes are and which file
    // positions they hold.
    struct Window {
        std::size_t slot = 0;
        const std::uint8_t* bytes = nullptr;
        std::int64_t start = 0;
        std::int64_t end = 0;
    };

    bool readFromAnotherRegion(std::size_t size);

    std::FILE* file_;
    std::int64_t position_ = 0;
    std::uint64_t useClock_ = 0;
    std::array<Window, 2> recent_{{{0}, {1}}}; // the two regions used last, most recent first
    std::array<HeldRegion, heldRegionCount> regions_{};
};

// Measures an open file by seeking to its end, then seeks back to its start.
// A file of 2 GiB or more does not fit the 32-bit data model and fails at the
// tell step.
std::int32_t measureFileSize(std::FILE* file, const char* seekEndStep, const char* tellStep,
                             const char* rewindStep);

// Reads the 16-byte file header at the current position (the start of the file).
FileHeader readFileHeader(ContainerStream& container);

// Seeks to the block, reads and checks its header, and returns its count.
// Use for RND, SSD and SRT.
std::int32_t readBlockHeader(ContainerStream& container, BlockKind kind, std::int32_t blockOffset);

// The DSP form: its count must also equal the stream count.
std::int32_t readBlockHeader(ContainerStream& container, BlockKind kind, std::int32_t blockOffset,
                             std::int32_t expectedStreamCount);

// Reads index slot i of the block, then the entry it points to, into ioBuffer;
// returns the entry offset held in the slot. Inline, so that with the block
// kind known at the call the entry size is a constant: the listing walk comes
// here twice for every stream. Always, as WebAssembly compilers weigh the
// checks' calls and would otherwise keep it apart.
[[gnu::always_inline]] inline std::int32_t readEntry(ContainerStream& container, BlockKind kind,
                                                     std::int32_t blockOffset, std::int32_t i) {
    const BlockLayout& layout = layoutOf(kind);
    checkStep(layout.steps.seekIndex, !container.seek(indexPosition(blockOffset, i)));
    traceRead(container.position(), indexSlotSize, layout.steps.readIndex);
    checkStep(layout.steps.readIndex, !container.read(indexSlotSize));
    const std::int32_t entryOffset = wrapping(readBe32(ioBuffer.data()));
    checkStep(layout.steps.seekEntry, !container.seek(entryPosition(blockOffset, entryOffset)));
    traceRead(container.position(), layout.entrySize, layout.steps.readEntry);
    checkStep(layout.steps.readEntry, !container.read(static_cast<std::size_t>(layout.entrySize)));
    return entryOffset;
}

} // namespace srtx
