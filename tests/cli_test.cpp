// The command line end to end: argument counts, opening, measuring and the file header.
#include "cli/tool.hpp"
#include "container_builder.hpp"
#include "run_tool.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace srtx::testing {
namespace {

namespace fs = std::filesystem;

const std::string usageTail = " blah.srt [2 blah02.ssd out.kvdsp]\n";

TEST(CommandLine, PrintsUsageForAnyOtherArgumentCount) {
    const std::vector<std::vector<std::string>> argvs = {
        {"srtx"},
        {"./bin/srtx", "a.srt", "b"},
        {"srtx", "a.srt", "1", "b.ssd"},
        {"/usr/bin/srtx", "a", "b", "c", "d", "e"},
    };
    for (const auto& argv : argvs) {
        SCOPED_TRACE(argv.size());
        const RunResult result = runSrtxArgv(argv);
        EXPECT_EQ(result.out, "usage: " + argv[0] + usageTail);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 1);
    }
}

TEST(CommandLine, UsageNamesTheToolWhenThereIsNoArgumentAtAll) {
    const RunResult result = runInProcess([] {
        char* argv[] = {nullptr};
        return runTool(0, argv);
    });
    EXPECT_EQ(result.out, "usage: srtx" + usageTail);
    EXPECT_EQ(result.status, 1);
}

TEST(CommandLine, ReportsContainerStepsInBothModes) {
    TempDir dir;
    const std::string ssd = dir.path("d.ssd");
    writeFile(ssd, ssdData(10));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> container; // empty name: no file at all
        bool exists;
        std::string listingOut;
        std::string listingErr;
        std::string dumpErr;
    };
    std::vector<std::uint8_t> sixteenZeros(16, 0);
    const Case cases[] = {
        {"missing container", {}, false, "", failed("open input"), failed("open input")},
        {"empty container", {}, true, "", failed("read header"), failed("read header")},
        {"15-byte container", std::vector<std::uint8_t>(15, 0), true, "", failed("read header"),
         failed("read header")},
        // Sixteen zero bytes decode as four offsets of 0: the walk goes on into the blocks.
        {"16-byte container", sixteenZeros, true, "@...\n", failed("check RND block header"),
         failed("check SSD block header")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path("c.srt");
        fs::remove(path);
        if (c.exists) {
            writeFile(path, c.container);
        }
        const RunResult listing = runSrtx({path});
        std::string expectedOut = c.listingOut;
        if (!expectedOut.empty()) {
            expectedOut.replace(0, 1, path);
        }
        EXPECT_EQ(listing.out, expectedOut);
        EXPECT_EQ(listing.err, c.listingErr);
        EXPECT_EQ(listing.status, 1);

        const RunResult dump = runSrtx({path, "0", ssd, dir.path("out")});
        EXPECT_EQ(dump.out, "");
        EXPECT_EQ(dump.err, c.dumpErr);
        EXPECT_EQ(dump.status, 1);
        EXPECT_FALSE(fs::exists(dir.path("out")));
    }
}

TEST(CommandLine, MissingContainerIsReportedBeforeAMissingSsdFile) {
    TempDir dir;
    const RunResult result =
        runSrtx({dir.path("none.srt"), "0", dir.path("none.ssd"), dir.path("out")});
    EXPECT_EQ(result.err, failed("open input"));
    EXPECT_EQ(result.status, 1);
}

TEST(CommandLine, RefusesFilesOf2GiBOrMoreAtTheirSizeSteps) {
    TempDir dir;
    const std::string big = dir.path("big");
    {
        // Sparse, costing no disk space: one byte written 3 GiB in. (Node's
        // file system under the WebAssembly build cannot truncate past 2 GiB.)
        std::ofstream out(utf8Path(big), std::ios::binary);
        out.seekp((std::streamoff{3} << 30) - 1);
        out.put('\0');
    }
    const std::string container = dir.path("c.srt");
    ContainerImage(ContainerContents{{1}, 0}).writeTo(container);

    const RunResult listing = runSrtx({big});
    EXPECT_EQ(listing.err, failed("get file size"));
    EXPECT_EQ(listing.out, "");
    EXPECT_EQ(listing.status, 1);

    const RunResult dump = runSrtx({container, "0", big, dir.path("out")});
    EXPECT_EQ(dump.err, failed("get ssd file size"));
    EXPECT_EQ(dump.status, 1);
    EXPECT_FALSE(fs::exists(dir.path("out")));

    // Just under 2 GiB is inside the data model: the container is measured and walked.
    fs::resize_file(big, (std::uintmax_t{1} << 31) - 1);
    const RunResult under = runSrtx({big});
    EXPECT_EQ(under.err, failed("check RND block header"));
}

// A two-stream container and a 10-byte .ssd file under the given names, and
// the name of a dump's output, in a fresh directory.
struct TwoStreams {
    TwoStreams(const std::string& containerName, const std::string& ssdName,
               const std::string& outputName)
        : container(dir.path(containerName)), ssd(dir.path(ssdName)), output(dir.path(outputName)) {
        image.writeTo(container);
        writeFile(ssd, ssdData(10));
    }
    // What a dump of stream 1 writes.
    std::vector<std::uint8_t> streamOneFile() const {
        std::vector<std::uint8_t> bytes = image.entryBytes(Block::dsp, 1);
        const std::vector<std::uint8_t> data = ssdData(10);
        bytes.insert(bytes.end(), data.begin(), data.end());
        return bytes;
    }

    TempDir dir;
    std::string container;
    std::string ssd;
    std::string output;
    ContainerImage image{ContainerContents{{7, 9}, 0}};
};

TEST(CommandLine, OpensAndPrintsNamesInAnyScript) {
    const TwoStreams files("日本語の.srt", "Ελληνικά.ssd", "кириллица-😀.out");

    const RunResult listing = runSrtx({files.container});
    EXPECT_EQ(listing.out, files.container + "...\n2 streams\n  0:\t7\n  1:\t9\n");
    EXPECT_EQ(listing.status, 0);

    const RunResult dump = runSrtx({files.container, "1", files.ssd, files.output});
    EXPECT_EQ(dump.out, files.container + "[1]+" + files.ssd + "->" + files.output + "...\n");
    EXPECT_EQ(dump.err, "");
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(readFile(files.output), files.streamOneFile());
}

TEST(CommandLine, RefusesAnOutputNameThatIsNotValidUtf16) {
    if (!onWindows) {
        GTEST_SKIP() << "POSIX names are bytes; only Windows names are UTF-16";
    }
    // U+D800 alone, as WTF-8. Read loosely it would be U+FFFD, the name of
    // another file, which must not be touched.
    const TwoStreams files("c.srt", "d.ssd", "o\xED\xA0\x80.bin");
    const std::string lookAlike = files.dir.path("o\uFFFD.bin");
    writeFile(lookAlike, ssdData(50));
    const RunResult dump = runSrtx({files.container, "1", files.ssd, files.output});
    EXPECT_EQ(dump.err, failed("open output file"));
    EXPECT_EQ(dump.status, 1);
    EXPECT_EQ(readFile(lookAlike), ssdData(50));
}

TEST(CommandLine, FailsWhenStandardOutputCannotBeWritten) {
    if (onWindows) {
        GTEST_SKIP() << "Windows has no device that is always full, like /dev/full";
    }
    const TwoStreams files("c.srt", "d.ssd", "out");

    const RunResult listing = runSrtxWithStdoutTo("/dev/full", {files.container});
    EXPECT_EQ(listing.err, failed("write standard output"));
    EXPECT_EQ(listing.status, 1);

    // The dump itself is complete; only its progress line was lost.
    const RunResult dump =
        runSrtxWithStdoutTo("/dev/full", {files.container, "1", files.ssd, files.output});
    EXPECT_EQ(dump.err, failed("write standard output"));
    EXPECT_EQ(dump.status, 1);
    EXPECT_EQ(readFile(files.output), files.streamOneFile());
}

TEST(CommandLine, KeepsMessagesOutOfFilesOpenedWhereStandardStreamsWereClosed) {
    if (onWindows) {
        GTEST_SKIP() << "standard handles cannot be left closed by the Windows launcher";
    }
    // Without a guard the container, the .ssd file and the output would take
    // descriptors 0, 1 and 2, and the error line would land in the output.
    TwoStreams files("c.srt", "d.ssd", "out");
    EXPECT_EQ(runSrtxWithStandardStreamsClosed({files.container, "1", files.ssd, files.output}), 0);
    EXPECT_EQ(readFile(files.output), files.streamOneFile());
    // Refused because it names the container, which must come through whole.
    EXPECT_EQ(runSrtxWithStandardStreamsClosed({files.container, "1", files.ssd, files.container}),
              1);
    EXPECT_EQ(readFile(files.container), files.image.bytes());
}

TEST(CommandLine, ProgressComesBeforeTheErrorInOneStream) {
    TempDir dir;
    const std::string path = dir.path("c.srt");
    ContainerImage image(ContainerContents{{1, 2, 3}, 2});
    image.setHeaderByte(Block::srt, 3, 'T');
    image.writeTo(path);
    const RunResult result = runSrtxMerged({path});
    EXPECT_EQ(result.out, path + "...\n3 streams\n" + failed("check SRT block header"));
    EXPECT_EQ(result.status, 1);
}

} // namespace
} // namespace srtx::testing
