// The builder lays a one-stream container out byte for byte as the format says.
#include "container_builder.hpp"

#include <gtest/gtest.h>

namespace srtx::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes slice(const Bytes& bytes, std::size_t first, std::size_t last) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(first),
            bytes.begin() + static_cast<std::ptrdiff_t>(last + 1)};
}

TEST(Builder, OneStreamContainerHasTheDocumentedLayout) {
    const ContainerImage image(ContainerContents{{7}, 0});
    const Bytes& bytes = image.bytes();
    ASSERT_EQ(bytes.size(), 248u);

    struct Range {
        std::size_t first;
        std::size_t last;
        Bytes expected;
    };
    const Range ranges[] = {
        {0, 15, {0, 0, 0, 0x10, 0, 0, 0, 0x20, 0, 0, 0, 0x44, 0, 0, 0, 0x54}},
        {16, 31, {0x52, 0x4E, 0x44, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0}},
        {32, 47, {0x53, 0x53, 0x44, 0, 0, 0, 0, 1, 0, 0, 0, 0x10, 0, 0, 0, 0}},
        {48, 51, {0, 0, 0, 4}},
        {68, 83, {0x53, 0x52, 0x54, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0}},
        {84, 99, {0x44, 0x53, 0x50, 0, 0, 0, 0, 1, 0, 0, 0, 0x10, 0, 0, 0, 0}},
        {100, 103, {0, 0, 0, 4}},
        {192, 195, {0, 0, 0, 7}},
    };
    for (const Range& range : ranges) {
        EXPECT_EQ(slice(bytes, range.first, range.last), range.expected)
            << "bytes " << range.first << "-" << range.last;
    }
    EXPECT_EQ(image.entryPosition(Block::ssd, 0), 52u);
    EXPECT_EQ(image.entryPosition(Block::dsp, 0), 104u);
}

TEST(Builder, EntriesOfDifferentStreamsDiffer) {
    const ContainerImage image(ContainerContents{{1, 1, 1}, 2});
    EXPECT_NE(image.entryBytes(Block::dsp, 0), image.entryBytes(Block::dsp, 1));
    EXPECT_NE(image.entryBytes(Block::dsp, 1), image.entryBytes(Block::dsp, 2));
    EXPECT_EQ(image.entryBytes(Block::dsp, 2).size(), 144u);
}

} // namespace
} // namespace srtx::testing
