// make-container: writes containers and .ssd files from the test builder, for
// the shipped examples and the benchmarks.
//
//   make-container example DIR          DIR/example.srt and DIR/example02.ssd
//   make-container streams COUNT FILE   a well-formed container with COUNT streams
//   make-container ssd SIZE FILE        a .ssd file of SIZE bytes
//   make-container dsp-entry COUNT N FILE
//                                       the DspEntry of stream N of the COUNT-stream container
#include "container_builder.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace srtx::testing;

namespace {

int usage() {
    std::fputs("usage: make-container example DIR | streams COUNT FILE | ssd SIZE FILE |"
               " dsp-entry COUNT N FILE\n",
               stderr);
    return 2;
}

ContainerImage streamsContainer(std::size_t count) {
    std::vector<std::int32_t> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = static_cast<std::int32_t>(i * 3);
    }
    return ContainerImage(ContainerContents{words, 16});
}

void writeSsd(const std::string& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk(1 << 20);
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(chunk.size(), size - done);
        for (std::size_t k = 0; k < n; ++k) {
            chunk[k] = static_cast<char>(ssdByte(done + k));
        }
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        done += n;
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "example") {
        ContainerImage image(ContainerContents{{7, 1024, -2}, 2});
        image.writeTo(args[1] + "/example.srt");
        writeSsd(args[1] + "/example02.ssd", 300);
        return 0;
    }
    if (args.size() == 3 && args[0] == "streams") {
        streamsContainer(std::strtoul(args[1].c_str(), nullptr, 10)).writeTo(args[2]);
        return 0;
    }
    if (args.size() == 4 && args[0] == "dsp-entry") {
        const ContainerImage image = streamsContainer(std::strtoul(args[1].c_str(), nullptr, 10));
        const auto stream = static_cast<std::uint32_t>(std::strtoul(args[2].c_str(), nullptr, 10));
        writeFile(args[3], image.entryBytes(Block::dsp, stream));
        return 0;
    }
    if (args.size() == 3 && args[0] == "ssd") {
        writeSsd(args[2], static_cast<std::size_t>(std::strtoull(args[1].c_str(), nullptr, 10)));
        return 0;
    }
    return usage();
}
