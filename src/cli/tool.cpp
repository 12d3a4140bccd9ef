// Entry work shared by both modes: argument count, container open, size and header.
#include "tool.hpp"

#include "../container/container.hpp"
#include "../modes/modes.hpp"
#include "../platform/platform.hpp"
#include "checked_step.hpp"
#include "output.hpp"

#include <cstdio>

namespace srtx {

int runTool(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        const char* programName = argc > 0 && argv[0] != nullptr ? argv[0] : "srtx";
        print({"usage: ", programName, " blah.srt [2 blah02.ssd out.kvdsp]\n"});
        flushOutput();
        return 1;
    }

    std::FILE* file = platform::openForReading(argv[1]);
    checkStep("open input", file == nullptr);
    ContainerStream container(file);
    const std::int32_t containerSize = measureFileSize(container.file(), "seek to file end",
                                                       "get file size", "get back to file start");
    const FileHeader fileHeader = readFileHeader(container);

    if (argc == 2) {
        runListing(container, containerSize, fileHeader, argv[1]);
    } else {
        runDump(container, fileHeader, argv[1], argv[2], argv[3], argv[4]);
    }
    // Printing goes unchecked while the run goes on, but a listing cut short by
    // a full disk must not pass for a whole one: a run that would succeed fails
    // when standard output did not take everything.
    checkStep("write standard output", !flushOutput());
    return 0;
}

} // namespace srtx
