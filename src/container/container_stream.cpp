// Positioned reads of the container served from held regions of the file.
#include "../platform/platform.hpp"
#include "container.hpp"

namespace srtx {

namespace {

// Four regions of 128 KiB: an index and its entries each stream through one,
// and the two stay in the processor's cache while the walk reads them.
constexpr std::size_t regionSize = std::size_t{128} * 1024;
constexpr std::int64_t regionAlignment = 4096;

// Backing storage of the held regions, one row per region slot. Static, so a
// run allocates nothing; only one container is open at a time.
alignas(64) std::uint8_t regionStorage[ContainerStream::heldRegionCount][regionSize];

} // namespace

ContainerStream::ContainerStream(std::FILE* file) : file_(file) {}

bool ContainerStream::readFromAnotherRegion(std::size_t size) {
    static_assert(regionSize >= ioBufferSize + regionAlignment);
    const std::int64_t end = position_ + static_cast<std::int64_t>(size);

    // Reads served by the two recent regions leave no trace in lastUse; they
    // are the two used last.
    regions_[recent_[1].slot].lastUse = ++useClock_;
    regions_[recent_[0].slot].lastUse = ++useClock_;
    std::size_t slot = 0;
    bool held = false;
    for (std::size_t i = 0; i < heldRegionCount; ++i) {
        const HeldRegion& region = regions_[i];
        if (position_ >= region.start &&
            end <= region.start + static_cast<std::int64_t>(region.length)) {
            slot = i;
            held = true;
            break;
        }
        if (region.lastUse < regions_[slot].lastUse) {
            slot = i;
        }
    }

    HeldRegion& region = regions_[slot];
    if (!held) {
        // Refill the least recently used region from a little before the
        // position, so a step back into the same page stays held too.
        region.start = position_ - position_ % regionAlignment;
        region.length = platform::readAt(file_, region.start, regionStorage[slot], regionSize);
        if (end > region.start + static_cast<std::int64_t>(region.length)) {
            return false;
        }
    }
    if (slot != recent_[0].slot) {
        recent_[1] = recent_[0];
    }
    recent_[0] = {slot, regionStorage[slot], region.start,
                  region.start + static_cast<std::int64_t>(region.length)};
    region.lastUse = ++useClock_;
    std::memcpy(ioBuffer.data(), regionStorage[slot] + (position_ - region.start), size);
    position_ = end;
    return true;
}

void ContainerStream::close() {
    std::fclose(file_);
}

} // namespace srtx
