// The stream lines of a listing, "%3d:\t%d\n", formatted in place: the head
// counted up from the line before, the word converted eight digits at a time.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace srtx {

// Room a stream line takes in the output block while it is formatted.
inline constexpr std::size_t streamLineMax = 32;

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

// The eight decimal digits of value (below 10^8) as ASCII bytes in one 64-bit
// word, the first digit in the lowest byte. After one division each step
// splits every lane of the word at once (four digits into two, two into one),
// so the steps do not wait on a chain of divisions.
constexpr std::uint64_t eightDigits(std::uint32_t value) {
    const std::uint64_t fours = (value / 10000) | (std::uint64_t{value % 10000} << 32);
    const std::uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007Fu;
    const std::uint64_t twos = hundreds | ((fours - 100 * hundreds) << 16);
    const std::uint64_t tens = ((twos * 103) >> 10) & 0x000F000F000F000Fu;
    return (tens | ((twos - 10 * tens) << 8)) + 0x3030303030303030u;
}
static_assert(eightDigits(12345678) == 0x3837363534333231u);
static_assert(eightDigits(7) == 0x3730303030303030u);

// Stores the last `count` of the eight digits at out, in one 8-byte store;
// the bytes after them are of no account.
inline void storeDigits(char* out, std::uint64_t digits, std::size_t count) {
    const auto dropped = static_cast<unsigned>(8 * (8 - count));
    if constexpr (std::endian::native == std::endian::little) {
        digits >>= dropped;
    } else {
        // Big-endian: the first digit must become the highest byte.
        std::uint64_t swapped = 0;
        for (unsigned byte = 0; byte < 8; ++byte) {
            swapped = (swapped << 8) | ((digits >> (8 * byte)) & 0xFF);
        }
        digits = swapped << dropped;
    }
    std::memcpy(out, &digits, sizeof digits);
}

// Writes value in decimal at out, which has room for 16 bytes; returns the end.
inline char* writeDecimal(char* out, std::uint32_t value) {
    if (value >= 100000000u) {
        const std::uint32_t high = value / 100000000u; // 1 to 42
        if (high >= 10) {
            *out++ = static_cast<char>('0' + high / 10);
        }
        *out++ = static_cast<char>('0' + high % 10);
        storeDigits(out, eightDigits(value % 100000000u), 8);
        return out + 8;
    }
    // Comparisons that do not wait on one another, unlike divisions.
    const std::size_t count = std::size_t{1} + (value >= 10u) + (value >= 100u) + (value >= 1000u) +
                              (value >= 10000u) + (value >= 100000u) + (value >= 1000000u) +
                              (value >= 10000000u);
    storeDigits(out, eightDigits(value), count);
    return out + count;
}

// Writes the stream line for head and word to out, which has room for
// streamLineMax bytes; returns its length. Every part goes straight to its
// place in copies of a fixed size, each overwriting the slack of the last.
inline std::size_t formatLine(char* out, const LineHead& head, std::int32_t word) {
    static_assert(streamLineMax >= 16 + 1 + 2 + 8);
    std::memcpy(out, head.begin(), 16);
    char* p = out + head.size();
    if (word < 0) {
        *p++ = '-';
    }
    p = writeDecimal(p, word < 0 ? 0u - static_cast<std::uint32_t>(word)
                                 : static_cast<std::uint32_t>(word));
    *p++ = '\n';
    return static_cast<std::size_t>(p - out);
}

} // namespace srtx
