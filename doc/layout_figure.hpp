// The byte-map figure of the format guide, drawn from the container builder.
#pragma once

#include <string>

namespace srtx::testing {

// Writes the SVG figure of the 248-byte one-stream container to path.
void writeLayoutFigure(const std::string& path);

} // namespace srtx::testing
