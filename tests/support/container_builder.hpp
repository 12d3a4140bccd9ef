// Builds SRT containers in memory from a description, for tests, examples and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace srtx::testing {

enum class Block : std::uint8_t { rnd, ssd, srt, dsp };

// What a well-formed container holds: one DSP word per stream and a number of
// SRT entries.
struct ContainerContents {
    std::vector<std::int32_t> dspWords;
    std::uint32_t srtCount = 2;
};

// A container image laid out as: file header, RND, SSD (header, index, entries),
// SRT (likewise), DSP (likewise), with the file ending right after the last DSP
// entry. Every entry holds a pattern unique to its block and index.
class ContainerImage {
public:
    explicit ContainerImage(const ContainerContents& contents);

    std::vector<std::uint8_t>& bytes() { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    std::uint32_t blockOffset(Block block) const;
    std::size_t slotPosition(Block block, std::uint32_t i) const;
    // Where the builder put entry i (before any damage).
    std::size_t entryPosition(Block block, std::uint32_t i) const;
    std::vector<std::uint8_t> entryBytes(Block block, std::uint32_t i) const;

    // Deliberate damage and variations.
    void putBe32(std::size_t position, std::uint32_t value);
    void setFileHeaderOffset(Block block, std::uint32_t offset);
    void setCount(Block block, std::uint32_t count);
    void setSlot(Block block, std::uint32_t i, std::uint32_t entryOffset);
    void setHeaderByte(Block block, std::size_t byte, std::uint8_t value);
    void resize(std::size_t size) { bytes_.resize(size, 0xEE); }

    void writeTo(const std::string& path) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t offsets_[4]{};
    std::uint32_t counts_[4]{};
};

// Deterministic data for .ssd files: byte i of the file is ssdByte(i).
std::uint8_t ssdByte(std::size_t i);
std::vector<std::uint8_t> ssdData(std::size_t size);

// Paths in tests are UTF-8 on every platform, as srtx takes them.
std::filesystem::path utf8Path(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

} // namespace srtx::testing
