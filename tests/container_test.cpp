// Decoding, wrapping position arithmetic, stream-number parsing and line formatting.
#include "container/container.hpp"
#include "modes/modes.hpp"

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace srtx {
namespace {

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();

TEST(Container, ReadBe32TakesTheFirstByteAsTheMostSignificant) {
    struct Case {
        std::array<std::uint8_t, 4> bytes;
        std::uint32_t value;
    };
    const Case cases[] = {
        {{0, 0, 0, 0x10}, 16},
        {{0x12, 0x34, 0x56, 0x78}, 0x12345678},
        {{0xFF, 0xFF, 0xFF, 0xFE}, 0xFFFFFFFE},
        {{0x80, 0, 0, 0}, 0x80000000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readBe32(c.bytes.data()), c.value);
    }
}

TEST(Container, PositionsWrapAsSigned32BitValues) {
    struct Case {
        const char* what;
        std::int32_t actual;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"index slot 0", indexPosition(32, 0), 48},
        {"index slot 3", indexPosition(84, 3), 112},
        {"index slot past the top wraps negative", indexPosition(int32Max - 16, 1), int32Min + 3},
        {"negative block offset stays negative", indexPosition(int32Min, 0), int32Min + 16},
        {"entry offset counts from the header end", entryPosition(84, 4), 104},
        {"entry offset FFFFFFF0 reaches the block start", entryPosition(84, -16), 84},
        {"entry offset with the top bit set before the start", entryPosition(84, -200), -100},
        {"entry position past the top wraps", entryPosition(int32Max, 1), int32Min + 16},
        {"difference wraps", wrappingSub(int32Min, 1), int32Max},
        {"sum wraps", wrappingAdd(int32Max, 144), int32Min + 143},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.what;
    }
}

TEST(StreamNumber, ParsesLikeAPercentDConversionAndSaturates) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"2", 2},
        {"2x", 2},
        {"007", 7},
        {"010", 10},
        {"+5", 5},
        {"-1", -1},
        {"-0", 0},
        {" \t\n\v\f\r3", 3},
        {"  -12 4", -12},
        {"2147483647", int32Max},
        {"-2147483648", int32Min},
        {"2147483648", int32Max},
        {"4294967297", int32Max},
        {"99999999999999999999999", int32Max},
        {"-2147483649", int32Min},
        {"-99999999999999999999999", int32Min},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"x2", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"- 5", std::nullopt},
        {"+-3", std::nullopt},
        {"0x10", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseStreamNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

} // namespace
} // namespace srtx
