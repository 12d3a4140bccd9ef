// Listing mode end to end: stdout, stderr and status for whole and damaged containers.
#include "container_builder.hpp"
#include "run_tool.hpp"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>

namespace srtx::testing {
namespace {

// Three streams whose DSP words are 7, 1024 and -2 (FF FF FF FE); two SRT entries.
ContainerImage threeStreams() {
    return ContainerImage(ContainerContents{{7, 1024, -2}, 2});
}

constexpr const char* wellFormedLines = "3 streams\n  0:\t7\n  1:\t1024\n  2:\t-2\n";

struct ListingCase {
    const char* name;
    std::function<void(ContainerImage&)> change;
    std::string out; // after the progress line
    std::string err;
    int status;
};

// Points the last index slot of the block at an entry of entrySize bytes that
// ends overhang bytes past the end of the file.
void pointAtFileEnd(ContainerImage& image, Block block, std::uint32_t entrySize,
                    std::uint32_t overhang) {
    const auto fileSize = static_cast<std::uint32_t>(image.bytes().size());
    const std::uint32_t entryBase = image.blockOffset(block) + 16;
    image.setSlot(block, 1, fileSize + overhang - entrySize - entryBase);
}

// Stream lines first to last - 1 of a listing whose stream i has words[i].
std::string listingLines(const std::vector<std::int32_t>& words, std::size_t first,
                         std::size_t last);

void runCases(const std::vector<ListingCase>& cases) {
    for (const ListingCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.path("c.srt");
        ContainerImage image = threeStreams();
        c.change(image);
        image.writeTo(path);

        const RunResult result = runSrtx({path});
        EXPECT_EQ(result.out, path + "...\n" + c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(readFile(path), image.bytes()) << "listing changed its input";
    }
}

TEST(Listing, PrintsStreamsAndWarnsOnPackingAndEnd) {
    const std::uint32_t dspBase = 4 * 3; // entry 0 follows the three index slots
    // Words on each side of every change in digit count, of both signs.
    std::vector<std::int32_t> boundaries{0, INT32_MIN, INT32_MAX};
    for (std::int64_t power = 10; power <= 1000000000; power *= 10) {
        for (const std::int64_t word : {power - 1, power, power + 1}) {
            boundaries.push_back(static_cast<std::int32_t>(word));
            boundaries.push_back(static_cast<std::int32_t>(-word));
        }
    }
    runCases({
        {"words at every digit-count boundary",
         [&](ContainerImage& image) {
             image = ContainerImage(ContainerContents{boundaries, 0});
         },
         std::to_string(boundaries.size()) + " streams\n" +
             listingLines(boundaries, 0, boundaries.size()),
         "", 0},
        {"well-formed container", [](ContainerImage&) {}, wellFormedLines, "", 0},
        {"entries at 0, 144 and 300 warn before stream 2 only",
         [&](ContainerImage& image) {
             image.setSlot(Block::dsp, 2, dspBase + 300);
             const std::size_t entry = image.blockOffset(Block::dsp) + 16 + dspBase + 300;
             image.resize(entry + 144);
             image.putBe32(entry + 88, 55);
         },
         "3 streams\n  0:\t7\n  1:\t1024\nBAD SIZE\n  2:\t55\n", "", 0},
        {"one byte after the last entry warns after the last line",
         [](ContainerImage& image) { image.resize(image.bytes().size() + 1); },
         std::string(wellFormedLines) + "BAD SIZE\n", "", 0},
        {"an SSD entry ending at the end of the file is read",
         [](ContainerImage& image) { pointAtFileEnd(image, Block::ssd, 16, 0); }, wellFormedLines,
         "", 0},
        {"an SSD entry ending one byte past the end of the file fails its read",
         [](ContainerImage& image) { pointAtFileEnd(image, Block::ssd, 16, 1); }, "3 streams\n",
         failed("read SSD entry"), 1},
        {"an SRT entry ending at the end of the file is read",
         [](ContainerImage& image) { pointAtFileEnd(image, Block::srt, 48, 0); }, wellFormedLines,
         "", 0},
        {"an SRT entry ending one byte past the end of the file fails its read",
         [](ContainerImage& image) { pointAtFileEnd(image, Block::srt, 48, 1); }, "3 streams\n",
         failed("read SRT entry"), 1},
        {"one byte short of the last entry's end fails its read",
         [](ContainerImage& image) { image.bytes().pop_back(); },
         "3 streams\n  0:\t7\n  1:\t1024\n", failed("read DSP entry"), 1},
        {"descending offsets warn for every entry after the first and at the end",
         [&](ContainerImage& image) {
             image.setSlot(Block::dsp, 0, dspBase + 288);
             image.setSlot(Block::dsp, 2, dspBase);
         },
         "3 streams\n  0:\t-2\nBAD SIZE\n  1:\t1024\nBAD SIZE\n  2:\t7\nBAD SIZE\n", "", 0},
        {"a count with the top bit set visits no SSD or DSP entry",
         [](ContainerImage& image) {
             image.setCount(Block::ssd, 0x80000000);
             image.setCount(Block::dsp, 0x80000000);
         },
         "-2147483648 streams\nBAD SIZE\n", "", 0},
        {"a DSP count other than the stream count fails the DSP check",
         [](ContainerImage& image) { image.setCount(Block::dsp, 2); }, "3 streams\n",
         failed("check DSP block header"), 1},
        {"entry offset FFFFFFF0 reads the entry from the block start",
         [](ContainerImage& image) { image.setSlot(Block::ssd, 1, 0xFFFFFFF0); }, wellFormedLines,
         "", 0},
    });
}

TEST(Listing, ReportsTheFirstFailedStep) {
    runCases({
        {"RND count other than 0", [](ContainerImage& image) { image.setCount(Block::rnd, 1); }, "",
         failed("check RND block header"), 1},
        {"RND last byte", [](ContainerImage& image) { image.setHeaderByte(Block::rnd, 15, 1); }, "",
         failed("check RND block header"), 1},
        {"SSD magic in lower case",
         [](ContainerImage& image) { image.setHeaderByte(Block::ssd, 0, 's'); }, "",
         failed("check SSD block header"), 1},
        {"SSD magic SSDX", [](ContainerImage& image) { image.setHeaderByte(Block::ssd, 3, 'X'); },
         "", failed("check SSD block header"), 1},
        {"SSD fixed tail holding 32",
         [](ContainerImage& image) { image.setHeaderByte(Block::ssd, 11, 0x20); }, "",
         failed("check SSD block header"), 1},
        {"SRT fixed tail second word",
         [](ContainerImage& image) { image.setHeaderByte(Block::srt, 15, 1); }, "3 streams\n",
         failed("check SRT block header"), 1},
        {"DSP magic", [](ContainerImage& image) { image.setHeaderByte(Block::dsp, 2, 'Q'); },
         "3 streams\n", failed("check DSP block header"), 1},
        {"RND offset with the top bit set",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::rnd, 0x80000010); }, "",
         failed("seek to RND block"), 1},
        {"SSD offset with the top bit set",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::ssd, 0xFFFFFFFF); }, "",
         failed("seek to SSD block"), 1},
        {"SRT offset with the top bit set",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::srt, 0x80000000); },
         "3 streams\n", failed("seek to SRT block"), 1},
        {"DSP offset with the top bit set",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::dsp, 0x90000000); },
         "3 streams\n", failed("seek to DSP block"), 1},
        {"RND offset past the end keeps the step name's trailing space",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::rnd, 100000); }, "",
         failed("read RND block header "), 1},
        {"SSD slot pointing past the end",
         [](ContainerImage& image) { image.setSlot(Block::ssd, 2, 100000); }, "3 streams\n",
         failed("read SSD entry"), 1},
        {"SSD slot reaching before the file start",
         [](ContainerImage& image) { image.setSlot(Block::ssd, 0, 0x80000000); }, "3 streams\n",
         failed("seek to SSD entry"), 1},
        {"SRT slot pointing past the end",
         [](ContainerImage& image) { image.setSlot(Block::srt, 1, 0x10000000); }, "3 streams\n",
         failed("read SRT entry"), 1},
        {"SRT offset far past the end",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::srt, 0x7FFFFFF0); },
         "3 streams\n", failed("read SRT block header"), 1},
        {"file ends inside the SSD index",
         [](ContainerImage& image) { image.resize(image.slotPosition(Block::ssd, 0) + 2); },
         "3 streams\n", failed("read SSD entry index"), 1},
        {"file ends inside the DSP block header",
         [](ContainerImage& image) { image.resize(image.blockOffset(Block::dsp) + 8); },
         "3 streams\n", failed("read DSP block header"), 1},
        {"DSP slot reaching before the file start",
         [](ContainerImage& image) { image.setSlot(Block::dsp, 1, 0xF0000000); },
         "3 streams\n  0:\t7\n", failed("seek to DSP entry"), 1},
        {"SSD offset past the end",
         [](ContainerImage& image) { image.setFileHeaderOffset(Block::ssd, 100000); }, "",
         failed("read SSD block header"), 1},
        {"file ends inside the SRT index",
         [](ContainerImage& image) { image.resize(image.slotPosition(Block::srt, 0) + 2); },
         "3 streams\n", failed("read SRT entry index"), 1},
        {"SRT slot reaching before the file start",
         [](ContainerImage& image) { image.setSlot(Block::srt, 0, 0x80000000); }, "3 streams\n",
         failed("seek to SRT entry"), 1},
        // The walk reads every SRT entry before it looks at the DSP block.
        {"damaged SRT entry and DSP header fail at the SRT entry",
         [](ContainerImage& image) {
             image.setSlot(Block::srt, 1, 100000);
             image.setHeaderByte(Block::dsp, 0, 'd');
         },
         "3 streams\n", failed("read SRT entry"), 1},
        {"file ends inside the DSP index",
         [](ContainerImage& image) { image.resize(image.slotPosition(Block::dsp, 0) + 3); },
         "3 streams\n", failed("read DSP entry index"), 1},
    });
}

TEST(Listing, CountsOfZeroMeasureTheEndFromMinusOne) {
    runCases({
        {"no streams and the file ending 159 bytes after the DSP block",
         [](ContainerImage& image) {
             image = ContainerImage(ContainerContents{{}, 1});
             image.resize(image.blockOffset(Block::dsp) + 159);
         },
         "0 streams\n", "", 0},
        {"no streams and the file ending at the DSP header",
         [](ContainerImage& image) {
             image = ContainerImage(ContainerContents{{}, 1});
         },
         "0 streams\nBAD SIZE\n", "", 0},
        {"one stream keeps the plural",
         [](ContainerImage& image) {
             image = ContainerImage(ContainerContents{{7}, 0});
         },
         "1 streams\n  0:\t7\n", "", 0},
    });
}

std::string listingLines(const std::vector<std::int32_t>& words, std::size_t first,
                         std::size_t last) {
    std::string text;
    for (std::size_t i = first; i < last; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "%3d:\t%d\n", static_cast<int>(i), words[i]);
        text += line;
    }
    return text;
}

TEST(Listing, WidensTheIndexFieldPastThreeDigits) {
    TempDir dir;
    const std::string path = dir.path("wide.srt");
    std::vector<std::int32_t> words(1001);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::int32_t>(i) - 500;
    }
    ContainerImage(ContainerContents{words, 3}).writeTo(path);

    const RunResult result = runSrtx({path});
    EXPECT_EQ(result.out, path + "...\n1001 streams\n" + listingLines(words, 0, words.size()));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

TEST(Listing, KeepsItsOrderAcrossOutputBlocks) {
    // Enough streams that the listing fills several output blocks, with words
    // of every length and sign.
    constexpr std::size_t count = 12000;
    std::vector<std::int32_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(i) * 2654435761u) >> (i % 29);
    }
    const std::string head = std::to_string(count) + " streams\n";
    const std::size_t moved = 9000; // well past the first output block

    struct Case {
        const char* name;
        std::function<void(ContainerImage&)> change;
        std::string out; // after the progress line, both streams merged
        int status;
    };
    // Entry `moved` points at the next one: it shows that word, and the
    // packing breaks before it and after it.
    std::vector<std::int32_t> movedWords = words;
    movedWords[moved] = words[moved + 1];
    const std::string movedOut = head + listingLines(movedWords, 0, moved) + "BAD SIZE\n" +
                                 listingLines(movedWords, moved, moved + 1) + "BAD SIZE\n" +
                                 listingLines(movedWords, moved + 1, count);
    const Case cases[] = {
        {"well-formed", [](ContainerImage&) {}, head + listingLines(words, 0, count), 0},
        {"a moved entry warns in place",
         [&](ContainerImage& image) {
             const std::uint32_t next =
                 static_cast<std::uint32_t>(image.entryPosition(Block::dsp, moved + 1)) -
                 image.blockOffset(Block::dsp) - 16;
             image.setSlot(Block::dsp, static_cast<std::uint32_t>(moved), next);
         },
         movedOut, 0},
        {"a failure after many lines comes after all of them",
         [](ContainerImage& image) { image.setSlot(Block::dsp, count - 1, 0x10000000); },
         head + listingLines(words, 0, count - 1) + failed("read DSP entry"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.path("many.srt");
        ContainerImage image(ContainerContents{words, 1});
        c.change(image);
        image.writeTo(path);
        const RunResult result = runSrtxMerged({path});
        EXPECT_EQ(result.out, path + "...\n" + c.out);
        EXPECT_EQ(result.status, c.status);
    }
}

} // namespace
} // namespace srtx::testing
