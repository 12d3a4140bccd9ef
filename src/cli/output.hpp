// Standard output of a run: one static block handed to the standard output
// stream in large pieces, and signed numbers as decimal text.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace srtx {

// Standard output of a listing, gathered in one static block and handed to the
// standard output stream in large pieces: a stream line costs a copy, not a
// library call. Anything still pending goes out before an error line.
inline constexpr std::size_t outputBlockSize = std::size_t{64} * 1024;
extern std::array<char, outputBlockSize> outputBlock;
extern std::size_t outputPending;

void writeOutputBlock();
void writeStandardOutput(std::string_view text);

inline void print(std::string_view text) {
    if (text.size() > outputBlockSize - outputPending) {
        writeOutputBlock();
        if (text.size() > outputBlockSize) {
            writeStandardOutput(text);
            return;
        }
    }
    std::memcpy(outputBlock.data() + outputPending, text.data(), text.size());
    outputPending += text.size();
}

inline void print(std::initializer_list<std::string_view> parts) {
    for (const std::string_view part : parts) {
        print(part);
    }
}

// A signed number as decimal text, for print.
class Decimal {
public:
    explicit Decimal(std::int32_t value)
        : size_(static_cast<std::size_t>(
              std::to_chars(text_.data(), text_.data() + text_.size(), value).ptr - text_.data())) {
    }
    operator std::string_view() const { return {text_.data(), size_}; }

private:
    std::array<char, 12> text_{};
    std::size_t size_;
};

// Room for at least size bytes (at most outputBlockSize) after what is
// pending, for text formatted in place; printed(n) then takes the first n.
inline char* outputRoom(std::size_t size) {
    if (size > outputBlockSize - outputPending) {
        writeOutputBlock();
    }
    return outputBlock.data() + outputPending;
}

inline void printed(std::size_t length) {
    outputPending += length;
}

// Writes what is pending and flushes standard output; false when standard
// output could not take everything printed during the run.
bool flushOutput();

} // namespace srtx
