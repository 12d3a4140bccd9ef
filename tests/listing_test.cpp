// Listing mode end to end: stdout, stderr and status for whole and damaged containers.
#include "container_builder.hpp"
#include "run_tool.hpp"

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
    runCases({
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

TEST(Listing, WidensTheIndexFieldPastThreeDigits) {
    TempDir dir;
    const std::string path = dir.path("wide.srt");
    std::vector<std::int32_t> words(1001);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::int32_t>(i) - 500;
    }
    ContainerImage(ContainerContents{words, 3}).writeTo(path);

    const RunResult result = runSrtx({path});
    std::string expected = path + "...\n1001 streams\n";
    for (std::size_t i = 0; i < words.size(); ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "%3d:\t%d\n", static_cast<int>(i), words[i]);
        expected += line;
    }
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

} // namespace
} // namespace srtx::testing
