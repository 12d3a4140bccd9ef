// The whole run of srtx from its command line.
#pragma once

namespace srtx {

// Chooses the mode by the argument count, opens and measures the container,
// reads its file header and hands over to the mode. Returns the exit status
// when the mode ends normally; every failure ends the run through endRun.
int runTool(int argc, char** argv);

} // namespace srtx
