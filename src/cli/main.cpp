// srtx: lists the streams of an SRT container, or dumps one stream with its data.
#include "tool.hpp"

int main(int argc, char** argv) {
    return srtx::runTool(argc, argv);
}
