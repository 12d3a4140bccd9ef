// The two modes: listing walks and checks a whole container, dump writes one stream.
#pragma once

#include "../container/container.hpp"

#include <cstdint>
#include <optional>

namespace srtx {

// Walks every block and entry of the container and prints the stream listing.
// Closes the container.
void runListing(ContainerStream& container, std::int32_t containerSize,
                const FileHeader& fileHeader, const char* containerPath);

// Writes stream N's DspEntry followed by the whole .ssd file to the output path.
// Closes the container and the two files it opens.
void runDump(ContainerStream& container, const FileHeader& fileHeader, const char* containerPath,
             const char* streamNumberText, const char* ssdPath, const char* outputPath);

// Reads a stream number as a "%d" conversion does: optional white space, an
// optional sign, then at least one decimal digit; what follows the digits is
// ignored. Values beyond the 32-bit range saturate. Empty when nothing converts.
std::optional<std::int32_t> parseStreamNumber(const char* text);

} // namespace srtx
