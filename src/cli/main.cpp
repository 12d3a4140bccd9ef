// srtx: lists the streams of an SRT container, or dumps one stream with its data.
#include "../platform/platform.hpp"
#include "tool.hpp"

int main(int argc, char** argv) {
    // Before anything is opened: a file that took the place of a closed
    // standard stream would receive the tool's messages.
    if (!srtx::platform::openClosedStandardStreams()) {
        return 1;
    }
    char** arguments = srtx::platform::utf8Arguments(argc, argv);
    return srtx::runTool(argc, arguments);
}
