// Dump mode end to end: the output file's bytes, messages, status, and untouched inputs.
#include "container_builder.hpp"
#include "run_tool.hpp"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <span>
#include <unistd.h>

namespace srtx::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A container with three streams and a .ssd file in a fresh directory.
struct DumpSetup {
    TempDir dir;
    std::string container = dir.path("c.srt");
    std::string ssd = dir.path("c02.ssd");
    std::string output = dir.path("out");
    ContainerImage image{ContainerContents{{7, 1024, -2}, 2}};
    Bytes ssdBytes = ssdData(300);

    void write() const {
        image.writeTo(container);
        writeFile(ssd, ssdBytes);
    }
    RunResult dump(const std::string& stream) const {
        return runSrtx({container, stream, ssd, output});
    }
    std::string progress(const std::string& shown) const {
        return container + "[" + shown + "]+" + ssd + "->" + output + "...\n";
    }
    // The stream file srtx should write: the stream's DspEntry, then the .ssd bytes.
    Bytes streamFile(std::uint32_t stream) const {
        Bytes bytes = image.entryBytes(Block::dsp, stream);
        bytes.insert(bytes.end(), ssdBytes.begin(), ssdBytes.end());
        return bytes;
    }
    // An output file that is already there when existing is set (its bytes are
    // returned), else none; what a failed run must leave behind.
    Bytes placeOutput(bool existing) const {
        const Bytes kept = existing ? ssdData(20000) : Bytes{};
        if (existing) {
            writeFile(output, kept);
        }
        return kept;
    }
    void expectInputsUnchanged() const {
        EXPECT_EQ(readFile(container), image.bytes()) << "container changed";
        EXPECT_EQ(readFile(ssd), ssdBytes) << ".ssd file changed";
    }
};

// Each case twice: with no output file yet, and with an existing one.
template <typename Case>
std::vector<std::pair<Case, bool>> withAndWithoutExistingOutput(const std::span<const Case> cases) {
    std::vector<std::pair<Case, bool>> runs;
    for (const Case& c : cases) {
        runs.emplace_back(c, false);
        runs.emplace_back(c, true);
    }
    return runs;
}

TEST(Dump, WritesTheEntryFollowedByTheWholeSsdFile) {
    // Sizes around the 8192-byte chunk: none, one chunk, a 1-byte tail, a 5-byte tail.
    for (const std::size_t size : {0u, 1u, 300u, 8191u, 8192u, 8193u, 3u * 8192u + 5u}) {
        for (const std::uint32_t stream : {0u, 2u}) {
            SCOPED_TRACE("ssd size " + std::to_string(size) + ", stream " + std::to_string(stream));
            DumpSetup setup;
            setup.ssdBytes = ssdData(size);
            setup.write();

            const RunResult result = setup.dump(std::to_string(stream));
            EXPECT_EQ(result.out, setup.progress(std::to_string(stream)));
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(result.status, 0);
            const Bytes expected = setup.streamFile(stream);
            EXPECT_EQ(readFile(setup.output), expected);
            setup.expectInputsUnchanged();
        }
    }
}

TEST(Dump, ParsesTheStreamNumberAndChecksItsRange) {
    struct Case {
        std::string argument;
        std::string shown; // in the progress line; empty when the parse fails
        int stream;        // the stream dumped, or -1 when none is
        std::size_t streams = 3;
        std::uint32_t storedCount = 3; // the SSD count, when it is not the stream count
    };
    const Case cases[] = {
        {"2", "2", 2},
        {"2x", "2", 2},
        {" +1", "1", 1},
        {"007", "7", -1},
        {"010", "10", -1},
        {"-1", "-1", -1},
        {"3", "3", -1},
        {"4294967297", "2147483647", -1},
        {"-99999999999", "-2147483648", -1},
        {"x2", "", -1},
        {"", "", -1},
        {"-", "", -1},
        // The range comes from the SSD count, compared as a signed number.
        {"0", "0", 0, 1, 1},
        {"1", "1", -1, 1, 1},
        {"4", "4", 4, 5, 5},
        {"5", "5", -1, 5, 5},
        {"0", "0", -1, 3, 0x80000000},
    };
    for (const auto& [c, existing] : withAndWithoutExistingOutput<Case>(cases)) {
        SCOPED_TRACE("argument \"" + c.argument + "\", " + std::to_string(c.streams) + " streams");
        DumpSetup setup;
        setup.image = ContainerImage(ContainerContents{
            std::vector<std::int32_t>(c.streams, static_cast<std::int32_t>(c.streams)), 2});
        setup.image.setCount(Block::ssd, c.storedCount);
        setup.write();
        const Bytes before = setup.placeOutput(existing);
        const std::string badNumber = "bad stream number, there are " +
                                      std::to_string(static_cast<std::int32_t>(c.storedCount)) +
                                      " stream headers in this .srt\n";
        const RunResult result = setup.dump(c.argument);
        if (c.shown.empty()) {
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, failed("parse stream # to dump"));
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(readFile(setup.output), before) << "output should be left as it was";
        } else if (c.stream < 0) {
            EXPECT_EQ(result.out, setup.progress(c.shown) + badNumber);
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(readFile(setup.output), before) << "output should be left as it was";
        } else {
            EXPECT_EQ(result.out, setup.progress(c.shown));
            EXPECT_EQ(result.status, 0);
            const Bytes expected = setup.streamFile(static_cast<std::uint32_t>(c.stream));
            EXPECT_EQ(readFile(setup.output), expected);
        }
        setup.expectInputsUnchanged();
    }
}

TEST(Dump, ReportsTheFirstFailedStep) {
    struct Case {
        const char* name;
        std::function<void(DumpSetup&)> change;
        bool printsProgress;
        bool createsOutput;
        std::string step;
    };
    const Case cases[] = {
        {"missing .ssd file", [](DumpSetup& s) { s.ssdBytes.clear(); }, false, false,
         "open input ssd file"},
        {"missing .ssd file wins over a damaged SSD block",
         [](DumpSetup& s) {
             s.ssdBytes.clear();
             s.image.setHeaderByte(Block::ssd, 0, 'X');
         },
         false, false, "open input ssd file"},
        {"damaged SSD block header", [](DumpSetup& s) { s.image.setHeaderByte(Block::ssd, 9, 1); },
         false, false, "check SSD block header"},
        {"SSD offset with the top bit set",
         [](DumpSetup& s) { s.image.setFileHeaderOffset(Block::ssd, 0x80000000); }, false, false,
         "seek to SSD block"},
        {"SSD offset past the end",
         [](DumpSetup& s) { s.image.setFileHeaderOffset(Block::ssd, 5000); }, false, false,
         "read SSD block header"},
        {"output in a missing directory",
         [](DumpSetup& s) { s.output = s.dir.path("no/such/dir/out"); }, false, false,
         "open output file"},
        {"DSP offset with the top bit set",
         [](DumpSetup& s) { s.image.setFileHeaderOffset(Block::dsp, 0x80000000); }, true, true,
         "seek to DSP entry index"},
        {"DSP index past the end",
         [](DumpSetup& s) { s.image.setFileHeaderOffset(Block::dsp, 100000); }, true, true,
         "read DSP entry index"},
        {"DSP slot reaching before the file start",
         [](DumpSetup& s) { s.image.setSlot(Block::dsp, 1, 0xFFFFF000); }, true, true,
         "seek to DSP entry"},
        {"DSP slot past the end", [](DumpSetup& s) { s.image.setSlot(Block::dsp, 1, 4000); }, true,
         true, "read DSP entry"},
        {"DSP entry ending one byte past the end of the file",
         [](DumpSetup& s) {
             const auto fileSize = static_cast<std::uint32_t>(s.image.bytes().size());
             s.image.setSlot(Block::dsp, 1,
                             fileSize + 1 - 144 - s.image.blockOffset(Block::dsp) - 16);
         },
         true, true, "read DSP entry"},
    };
    for (const auto& [c, existing] : withAndWithoutExistingOutput<Case>(cases)) {
        SCOPED_TRACE(std::string(c.name) + (existing ? ", existing output" : ""));
        DumpSetup setup;
        c.change(setup);
        setup.write();
        if (setup.ssdBytes.empty()) {
            fs::remove(setup.ssd);
        }
        if (existing && !fs::exists(fs::path(setup.output).parent_path())) {
            continue;
        }
        const Bytes before = setup.placeOutput(existing);
        const RunResult result = setup.dump("1");
        EXPECT_EQ(result.out, c.printsProgress ? setup.progress("1") : "");
        EXPECT_EQ(result.err, failed(c.step));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(fs::exists(setup.output), c.createsOutput || existing);
        if (c.createsOutput || existing) {
            EXPECT_EQ(readFile(setup.output), before);
        }
    }
}

TEST(Dump, IgnoresBlocksItDoesNotRead) {
    DumpSetup setup;
    setup.image.setHeaderByte(Block::rnd, 0, 'r');
    setup.image.setHeaderByte(Block::srt, 0, 'x');
    setup.image.setHeaderByte(Block::dsp, 3, '!');
    setup.image.setCount(Block::dsp, 9);
    setup.write();
    const RunResult result = setup.dump("1");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    const Bytes expected = setup.streamFile(1);
    EXPECT_EQ(readFile(setup.output), expected);
}

void expectRefused(const DumpSetup& setup) {
    const RunResult result = setup.dump("0");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, failed("check output is not an input"));
    EXPECT_EQ(result.status, 1);
    setup.expectInputsUnchanged();
}

TEST(Dump, RefusesAnOutputPathThatNamesAnInput) {
    const std::string separator = onWindows ? "\\" : "/";
    struct Case {
        const char* name;
        std::function<std::string(const DumpSetup&)> output;
        bool sameFile; // whether the name reaches an input on this platform
    };
    const Case cases[] = {
        {"the container itself", [](const DumpSetup& s) { return s.container; }, true},
        {"the .ssd file itself", [](const DumpSetup& s) { return s.ssd; }, true},
        {"the container spelled another way",
         [&](const DumpSetup& s) { return s.dir.path(".") + separator + "c.srt"; }, true},
        {"the .ssd file by way of a subfolder and back",
         [&](const DumpSetup& s) {
             fs::create_directory(s.dir.path("sub"));
             return s.dir.path("sub") + separator + ".." + separator + "c02.ssd";
         },
         true},
        {"a hard link to the container",
         [](const DumpSetup& s) {
             makeHardLink(s.container, s.dir.path("hard"));
             return s.dir.path("hard");
         },
         true},
        // Only where names are case-insensitive is this the container; elsewhere
        // it is a new file and the dump goes ahead.
        {"the container in capitals", [](const DumpSetup& s) { return s.dir.path("C.SRT"); },
         onWindows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DumpSetup setup;
        setup.write();
        setup.output = c.output(setup);
        if (c.sameFile) {
            expectRefused(setup);
        } else {
            const RunResult result = setup.dump("0");
            EXPECT_EQ(result.status, 0);
            EXPECT_EQ(readFile(setup.output), setup.streamFile(0));
            setup.expectInputsUnchanged();
        }
    }
}

TEST(Dump, RefusesASymbolicLinkToAnInput) {
    DumpSetup setup;
    setup.write();
    setup.output = setup.dir.path("link");
    try {
        fs::create_symlink(setup.ssd, setup.output);
    } catch (const fs::filesystem_error& error) {
        GTEST_SKIP() << "symbolic links cannot be made here: " << error.what();
    }
    if (!fs::is_symlink(setup.output)) {
        GTEST_SKIP() << "symbolic links cannot be made here: the link was not created";
    }
    expectRefused(setup);
}

TEST(Dump, TreatsAHyphenAsAPlainFileName) {
    DumpSetup setup;
    setup.write();
    fs::copy_file(setup.ssd, setup.dir.path("-"));
    const fs::path previous = fs::current_path();
    fs::current_path(setup.dir.path(""));
    const RunResult fromHyphen = runSrtx({"c.srt", "0", "-", "out"});
    const RunResult toHyphen = runSrtx({"c.srt", "0", "c02.ssd", "-"});
    fs::current_path(previous);

    const Bytes expected = setup.streamFile(0);
    EXPECT_EQ(fromHyphen.out, "c.srt[0]+-->out...\n");
    EXPECT_EQ(fromHyphen.status, 0);
    EXPECT_EQ(readFile(setup.dir.path("out")), expected);
    EXPECT_EQ(toHyphen.out, "c.srt[0]+c02.ssd->-...\n");
    EXPECT_EQ(toHyphen.status, 0);
    EXPECT_EQ(readFile(setup.dir.path("-")), expected);
}

TEST(Dump, OverwritesAnExistingOutputFile) {
    DumpSetup setup;
    setup.write();
    writeFile(setup.output, ssdData(20000));
    const RunResult result = setup.dump("0");
    EXPECT_EQ(result.status, 0);
    const Bytes expected = setup.streamFile(0);
    EXPECT_EQ(readFile(setup.output), expected);
}

TEST(Dump, FailsWhenTheOutputDeviceIsFull) {
    if (onWindows) {
        GTEST_SKIP() << "Windows has no device that is always full, like /dev/full";
    }
    struct Case {
        std::size_t ssdSize;
        std::string step; // small outputs only fail when the last bytes go out at close
    };
    const Case cases[] = {{300, "close output file"}, {4 << 20, "write output"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ssdSize);
        DumpSetup setup;
        setup.ssdBytes = ssdData(c.ssdSize);
        setup.output = "/dev/full";
        setup.write();
        const RunResult result = setup.dump("2");
        EXPECT_EQ(result.out, setup.progress("2"));
        EXPECT_EQ(result.err, failed(c.step));
        EXPECT_EQ(result.status, 1);
    }
}

TEST(Dump, ProgressComesBeforeTheErrorInOneStream) {
    DumpSetup setup;
    setup.image.setSlot(Block::dsp, 0, 9999);
    setup.write();
    const RunResult result = runSrtxMerged({setup.container, "0", setup.ssd, setup.output});
    EXPECT_EQ(result.out, setup.progress("0") + failed("read DSP entry"));
    EXPECT_EQ(result.status, 1);
}

} // namespace
} // namespace srtx::testing
