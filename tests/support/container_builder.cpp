// Lays out SRT container images byte by byte.
#include "container_builder.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace srtx::testing {

namespace {

constexpr std::uint32_t entrySizes[4] = {0, 16, 48, 144};
constexpr char magics[4][4] = {
    {'R', 'N', 'D', 0}, {'S', 'S', 'D', 0}, {'S', 'R', 'T', 0}, {'D', 'S', 'P', 0}};

std::size_t index(Block block) {
    return static_cast<std::size_t>(block);
}

void appendBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

} // namespace

ContainerImage::ContainerImage(const ContainerContents& contents) {
    const auto streams = static_cast<std::uint32_t>(contents.dspWords.size());
    counts_[index(Block::rnd)] = 0;
    counts_[index(Block::ssd)] = streams;
    counts_[index(Block::srt)] = contents.srtCount;
    counts_[index(Block::dsp)] = streams;

    std::uint32_t position = 16;
    for (std::size_t b = 0; b < 4; ++b) {
        offsets_[b] = position;
        position += 16 + counts_[b] * (4 + entrySizes[b]);
    }
    bytes_.reserve(position);
    for (std::uint32_t offset : offsets_) {
        appendBe32(bytes_, offset);
    }
    for (std::size_t b = 0; b < 4; ++b) {
        bytes_.insert(bytes_.end(), magics[b], magics[b] + 4);
        appendBe32(bytes_, counts_[b]);
        appendBe32(bytes_, 16);
        appendBe32(bytes_, 0);
        const std::uint32_t count = counts_[b];
        for (std::uint32_t i = 0; i < count; ++i) {
            appendBe32(bytes_, 4 * count + i * entrySizes[b]);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            for (std::uint32_t k = 0; k < entrySizes[b]; ++k) {
                bytes_.push_back(static_cast<std::uint8_t>(b * 64 + i * 7 + k));
            }
        }
    }
    for (std::uint32_t i = 0; i < streams; ++i) {
        putBe32(entryPosition(Block::dsp, i) + 88,
                static_cast<std::uint32_t>(contents.dspWords[i]));
    }
}

std::uint32_t ContainerImage::blockOffset(Block block) const {
    return offsets_[index(block)];
}

std::size_t ContainerImage::slotPosition(Block block, std::uint32_t i) const {
    return std::size_t{blockOffset(block)} + 16 + 4 * std::size_t{i};
}

std::size_t ContainerImage::entryPosition(Block block, std::uint32_t i) const {
    const std::size_t b = index(block);
    return std::size_t{offsets_[b]} + 16 + 4 * std::size_t{counts_[b]} +
           std::size_t{i} * entrySizes[b];
}

std::vector<std::uint8_t> ContainerImage::entryBytes(Block block, std::uint32_t i) const {
    const std::size_t start = entryPosition(block, i);
    return {bytes_.begin() + static_cast<std::ptrdiff_t>(start),
            bytes_.begin() + static_cast<std::ptrdiff_t>(start + entrySizes[index(block)])};
}

void ContainerImage::putBe32(std::size_t position, std::uint32_t value) {
    if (position + 4 > bytes_.size()) {
        throw std::out_of_range("putBe32 past the end of the image");
    }
    for (std::size_t k = 0; k < 4; ++k) {
        bytes_[position + k] = static_cast<std::uint8_t>(value >> (24 - 8 * k));
    }
}

void ContainerImage::setFileHeaderOffset(Block block, std::uint32_t offset) {
    putBe32(4 * index(block), offset);
}

void ContainerImage::setCount(Block block, std::uint32_t count) {
    putBe32(std::size_t{blockOffset(block)} + 4, count);
}

void ContainerImage::setSlot(Block block, std::uint32_t i, std::uint32_t entryOffset) {
    putBe32(slotPosition(block, i), entryOffset);
}

void ContainerImage::setHeaderByte(Block block, std::size_t byte, std::uint8_t value) {
    bytes_.at(std::size_t{blockOffset(block)} + byte) = value;
}

void ContainerImage::writeTo(const std::string& path) const {
    writeFile(path, bytes_);
}

std::uint8_t ssdByte(std::size_t i) {
    return static_cast<std::uint8_t>((i * 31 + i / 251) & 0xFF);
}

std::vector<std::uint8_t> ssdData(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = ssdByte(i);
    }
    return data;
}

std::filesystem::path utf8Path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(utf8Path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace srtx::testing
