// make-container: writes containers and .ssd files from the test builder, for
// the shipped examples and the benchmarks.
//
//   make-container example DIR          DIR/example.srt and DIR/example02.ssd
//   make-container streams COUNT FILE   a well-formed container with COUNT streams
//   make-container ssd SIZE FILE        a .ssd file of SIZE bytes
//   make-container dsp-entry COUNT N FILE
//                                       the DspEntry of stream N of the COUNT-stream container
//   make-container layout-figure FILE   doc/layout.svg, the byte map of the one-stream container
//   make-container damaged SEED FILE    a small container with random contents and
//                                       random damage, the same for the same SEED
#include "container_builder.hpp"
#include "layout_figure.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace srtx::testing;

namespace {

int usage() {
    std::fputs("usage: make-container example DIR | streams COUNT FILE | ssd SIZE FILE |"
               " dsp-entry COUNT N FILE | damaged SEED FILE | layout-figure FILE\n",
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

// A container for differential runs: random counts and words, then a few
// damages of the kinds the format's rules are about.
ContainerImage damagedContainer(unsigned seed) {
    std::mt19937 random(seed);
    const auto below = [&](std::size_t n) { return static_cast<std::uint32_t>(random() % n); };
    std::vector<std::int32_t> words(below(40));
    for (std::int32_t& word : words) {
        word = static_cast<std::int32_t>(random());
    }
    ContainerImage image(ContainerContents{words, below(6)});
    const Block blocks[] = {Block::rnd, Block::ssd, Block::srt, Block::dsp};
    const std::uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};
    const auto anyValue = [&] {
        return below(3) == 0 ? extremes[below(6)] : below(image.bytes().size() + 300);
    };
    for (std::uint32_t damage = below(4); damage > 0; --damage) {
        const Block block = blocks[below(4)];
        try {
            switch (below(7)) {
            case 0:
                image.setFileHeaderOffset(block, anyValue());
                break;
            case 1:
                image.setCount(block,
                               below(2) ? anyValue()
                                        : static_cast<std::uint32_t>(words.size()) + below(3) - 1);
                break;
            case 2:
                image.setSlot(block == Block::rnd ? Block::ssd : block, 0, anyValue());
                break;
            case 3:
                image.setHeaderByte(block, below(16), static_cast<std::uint8_t>(random()));
                break;
            case 4:
                image.resize(below(image.bytes().size() + 200));
                break;
            case 5:
                image.setSlot(Block::dsp, below(words.size() + 1), below(6000));
                break;
            default:
                image.bytes().at(below(image.bytes().size() + 1)) =
                    static_cast<std::uint8_t>(random());
                break;
            }
        } catch (const std::out_of_range&) {
            // The damage fell past the end of a cut image: nothing to change.
        }
    }
    return image;
}

int makeFiles(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "example") {
        std::filesystem::create_directories(args[1]);
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
    if (args.size() == 2 && args[0] == "layout-figure") {
        writeLayoutFigure(args[1]);
        return 0;
    }
    if (args.size() == 3 && args[0] == "damaged") {
        damagedContainer(static_cast<unsigned>(std::strtoul(args[1].c_str(), nullptr, 10)))
            .writeTo(args[2]);
        return 0;
    }
    if (args.size() == 3 && args[0] == "ssd") {
        writeSsd(args[2], static_cast<std::size_t>(std::strtoull(args[1].c_str(), nullptr, 10)));
        return 0;
    }
    return usage();
}

} // namespace

int main(int argc, char** argv) {
    // A file that cannot be written (a missing folder, say) is an error line
    // and status 1, not an abort.
    try {
        return makeFiles(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-container: error: %s\n", error.what());
        return 1;
    }
}
