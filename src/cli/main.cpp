// srtx: lists the streams of an SRT container, or dumps one stream with its data.
#include "../platform/platform.hpp"
#include "tool.hpp"

int main(int argc, char** argv) {
    char** arguments = srtx::platform::utf8Arguments(argc, argv);
    return srtx::runTool(argc, arguments);
}
