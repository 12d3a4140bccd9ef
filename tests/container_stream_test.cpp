// The container stream serves exactly the bytes and failures a plain seek and read would.
#include "container/container.hpp"
#include "container_builder.hpp"
#include "run_tool.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace srtx {
namespace {

using testing::ssdByte;

class ContainerStreamTest : public ::testing::Test {
protected:
    static constexpr std::size_t fileSize = 300 * 1024 + 17;

    void SetUp() override { ASSERT_NE(stream_.file(), nullptr); }
    void TearDown() override { stream_.close(); }

    static std::FILE* openWritten(const std::string& path) {
        testing::writeFile(path, testing::ssdData(fileSize));
        return std::fopen(path.c_str(), "rb");
    }

    // Reads at position and checks the outcome against the file's known bytes.
    void expectRead(std::int64_t position, std::size_t size) {
        SCOPED_TRACE("read of " + std::to_string(size) + " at " + std::to_string(position));
        ASSERT_TRUE(stream_.seek(static_cast<std::int32_t>(position)));
        const bool whole = static_cast<std::size_t>(position) + size <= fileSize;
        ASSERT_EQ(stream_.read(size), whole);
        if (!whole) {
            return;
        }
        for (std::size_t k = 0; k < size; ++k) {
            ASSERT_EQ(ioBuffer[k], ssdByte(static_cast<std::size_t>(position) + k)) << k;
        }
    }

    testing::TempDir dir_;
    std::string path_ = dir_.path("data");
    ContainerStream stream_{openWritten(path_)};
};

TEST_F(ContainerStreamTest, RefusesOnlyNegativePositions) {
    EXPECT_FALSE(stream_.seek(-1));
    EXPECT_FALSE(stream_.seek(std::numeric_limits<std::int32_t>::min()));
    EXPECT_TRUE(stream_.seek(0));
    EXPECT_TRUE(stream_.seek(std::numeric_limits<std::int32_t>::max()));
    EXPECT_FALSE(stream_.read(1)) << "a read past the end comes up short";
}

TEST_F(ContainerStreamTest, ServesReadsAcrossHeldRegionBoundaries) {
    const std::pair<std::int64_t, std::size_t> reads[] = {
        {0, 16},
        {65536 - 8, 16},
        {65536, 144},
        {4096 - 1, 2},
        {131072 - 1, 8192},
        {fileSize - 144, 144},
        {fileSize - 143, 144},
        {fileSize, 1},
        {0, 8192},
        {200000, 4},
        {100, 48},
        {fileSize - 1, 1},
    };
    for (const auto& [position, size] : reads) {
        expectRead(position, size);
    }
}

TEST_F(ContainerStreamTest, MatchesTheFileOnAnyAccessPattern) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int64_t> position(0, fileSize + 200);
    std::uniform_int_distribution<std::size_t> size(1, 8192);
    // Interleave a few walking cursors, as the listing walk does with an index
    // and its entries, with jumps anywhere.
    std::int64_t cursors[3] = {0, 70000, 250000};
    for (int step = 0; step < 3000; ++step) {
        std::int64_t& cursor = cursors[step % 3];
        const std::size_t n = step % 7 == 0 ? size(random) : std::size_t{144};
        expectRead(step % 11 == 0 ? position(random) : cursor, n);
        cursor = (cursor + 144) % static_cast<std::int64_t>(fileSize);
    }
}

} // namespace
} // namespace srtx
