// Dump mode: one stream's DspEntry followed by the bytes of a .ssd file.
#include "../cli/checked_step.hpp"
#include "../cli/output.hpp"
#include "../platform/platform.hpp"
#include "modes.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace srtx {

std::optional<std::int32_t> parseStreamNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    if (*p < '0' || *p > '9') {
        return std::nullopt;
    }
    // Accumulate the magnitude, stopping at a value past any int32_t so that
    // out-of-range numbers saturate instead of wrapping into a valid one.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = std::min(magnitude * 10 + (*p - '0'), limit);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

namespace {

// Stream buffers for the copy. The loop moves 8192 bytes at a time; with
// buffers this large the file traffic goes in the large blocks cat uses.
constexpr std::size_t copyStreamBufferSize = std::size_t{128} * 1024;
char ssdStreamBuffer[copyStreamBufferSize];
char outputStreamBuffer[copyStreamBufferSize];

// True when the open output is one of the open inputs, under whatever name,
// symbolic link or hard link it was reached. A file that cannot be identified
// might be either, so it counts as one.
bool isAnInput(std::FILE* output, std::FILE* container, std::FILE* ssd) {
    const auto outputIdentity = platform::identify(output);
    const auto containerIdentity = platform::identify(container);
    const auto ssdIdentity = platform::identify(ssd);
    return !outputIdentity || !containerIdentity || !ssdIdentity ||
           *outputIdentity == *containerIdentity || *outputIdentity == *ssdIdentity;
}

} // namespace

void runDump(ContainerStream& container, const FileHeader& fileHeader, const char* containerPath,
             const char* streamNumberText, const char* ssdPath, const char* outputPath) {
    std::FILE* ssd = platform::openForReading(ssdPath);
    checkStep("open input ssd file", ssd == nullptr);
    std::setvbuf(ssd, ssdStreamBuffer, _IOFBF, copyStreamBufferSize);
    const std::int32_t ssdSize = measureFileSize(ssd, "seek to ssd file end", "get ssd file size",
                                                 "seek back to ssd file start");

    const std::int32_t streamCount =
        readBlockHeader(container, BlockKind::ssd, fileHeader.ssdOffset);

    // Truncating an input would destroy the data it was about to be copied
    // from. The output is opened without truncation and the open file itself is
    // compared, so a name swapped in between cannot slip past the check.
    std::FILE* output = platform::openForWritingKeepingContents(outputPath);
    checkStep("open output file", output == nullptr);
    checkStep("check output is not an input", isAnInput(output, container.file(), ssd));
    std::setvbuf(output, outputStreamBuffer, _IOFBF, copyStreamBufferSize);

    const std::optional<std::int32_t> streamNumber = parseStreamNumber(streamNumberText);
    checkStep("parse stream # to dump", !streamNumber);
    print({containerPath, "[", Decimal(*streamNumber), "]+", ssdPath, "->", outputPath, "...\n"});
    flushOutput();
    if (*streamNumber < 0 || *streamNumber >= streamCount) {
        print({"bad stream number, there are ", Decimal(streamCount),
               " stream headers in this .srt\n"});
        flushOutput();
        endRun(1);
    }

    readEntry(container, BlockKind::dsp, fileHeader.dspOffset, *streamNumber);
    // Only now is there something worth writing: a mistyped stream number or
    // a damaged entry leaves an existing output as it was.
    checkStep("open output file", !platform::truncateToEmpty(output));
    checkStep("write DSP entry",
              std::fwrite(ioBuffer.data(), 1, dspEntrySize, output) != dspEntrySize);

    for (std::int32_t remaining = ssdSize; remaining > 0;) {
        const auto chunk =
            static_cast<std::size_t>(std::min(remaining, static_cast<std::int32_t>(ioBufferSize)));
        checkStep("read ssd", std::fread(ioBuffer.data(), 1, chunk, ssd) != chunk);
        checkStep("write output", std::fwrite(ioBuffer.data(), 1, chunk, output) != chunk);
        remaining -= static_cast<std::int32_t>(chunk);
    }
    // A .ssd that grew since it was measured would be copied cut short.
    checkStep("read ssd", std::fread(ioBuffer.data(), 1, 1, ssd) != 0 || std::ferror(ssd) != 0);

    // A full disk may only show when the last buffered bytes are written out.
    checkStep("close output file", std::fclose(output) != 0);
    std::fclose(ssd);
    container.close();
}

} // namespace srtx
