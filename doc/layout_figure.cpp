// Draws doc/layout.svg for make-container: the byte map of the one-stream
// container, with the arrows from the file header to the blocks and from index
// slots to entries.
#include "layout_figure.hpp"

#include "container_builder.hpp"

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace srtx::testing {

namespace {

struct Row {
    std::size_t first;
    std::size_t last;
    std::string name;
    std::string detail;
    const char* fill;
};

std::string hexBytes(const std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t count) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        text.push_back(hexDigits[bytes[first + i] >> 4]);
        text.push_back(hexDigits[bytes[first + i] & 0xF]);
    }
    return text;
}

std::string number(std::size_t value) {
    return std::to_string(value);
}

} // namespace

void writeLayoutFigure(const std::string& path) {
    const ContainerImage image(ContainerContents{{7}, 0});
    const std::vector<std::uint8_t>& bytes = image.bytes();
    const std::size_t rnd = image.blockOffset(Block::rnd);
    const std::size_t ssd = image.blockOffset(Block::ssd);
    const std::size_t srt = image.blockOffset(Block::srt);
    const std::size_t dsp = image.blockOffset(Block::dsp);
    const std::size_t ssdSlot = image.slotPosition(Block::ssd, 0);
    const std::size_t ssdEntry = image.entryPosition(Block::ssd, 0);
    const std::size_t dspSlot = image.slotPosition(Block::dsp, 0);
    const std::size_t dspEntry = image.entryPosition(Block::dsp, 0);
    const std::size_t word = dspEntry + 88;

    const char* header = "#e8eef7";
    const char* block = "#fdf1d6";
    const char* slot = "#e3f2e1";
    const char* entry = "#f4e4f1";
    const std::vector<Row> rows = {
        {0, 15, "file header",
         "rndOffset " + number(rnd) + ", ssdOffset " + number(ssd) + ", srtOffset " + number(srt) +
             ", dspOffset " + number(dsp),
         header},
        {rnd, rnd + 15, "RND block header", hexBytes(bytes, rnd, 16) + "  (fixed image, count 0)",
         block},
        {ssd, ssd + 15, "SSD block header", hexBytes(bytes, ssd, 16) + "  (count 1 = streams)",
         block},
        {ssdSlot, ssdSlot + 3, "SSD index slot 0",
         hexBytes(bytes, ssdSlot, 4) + "  entry offset 4, from the header's end", slot},
        {ssdEntry, ssdEntry + 15, "SsdEntry 0", "16 bytes, read but not interpreted", entry},
        {srt, srt + 15, "SRT block header", hexBytes(bytes, srt, 16) + "  (count 0: no index)",
         block},
        {dsp, dsp + 15, "DSP block header",
         hexBytes(bytes, dsp, 16) + "  (count 1, must equal SSD's)", block},
        {dspSlot, dspSlot + 3, "DSP index slot 0",
         hexBytes(bytes, dspSlot, 4) + "  entry offset 4, from the header's end", slot},
        {dspEntry, bytes.size() - 1, "DspEntry 0",
         "144 bytes, ends the file; bytes 88-91 (file " + number(word) + "-" + number(word + 3) +
             ") = " + hexBytes(bytes, word, 4) + ": listing prints  0:\t7",
         entry},
    };

    constexpr int width = 1010;
    constexpr int top = 56;
    constexpr int rowHeight = 40;
    constexpr int boxLeft = 220;
    constexpr int boxWidth = 600;
    const int height = top + static_cast<int>(rows.size()) * rowHeight + 40;
    const auto rowY = [&](std::size_t position) {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (position >= rows[r].first && position <= rows[r].last) {
                return top + static_cast<int>(r) * rowHeight + rowHeight / 2 - 2;
            }
        }
        throw std::logic_error("position outside the figure");
    };

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << " " << height
        << "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"12\">\n"
        << "<defs><marker id=\"head\" markerWidth=\"8\" markerHeight=\"8\" refX=\"7\" refY=\"4\" "
           "orient=\"auto\"><path d=\"M0,0 L8,4 L0,8 z\" fill=\"#444\"/></marker></defs>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << boxLeft << "\" y=\"24\" font-size=\"15\" font-weight=\"bold\">"
        << "The 248-byte SRT container with one stream</text>\n"
        << "<text x=\"" << boxLeft
        << "\" y=\"42\" fill=\"#555\">Every number is big-endian; "
           "arrows: offsets from the file header (left), index slots to entries (right)</text>\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        const int y = top + static_cast<int>(r) * rowHeight;
        out << "<text x=\"" << boxLeft - 70 << "\" y=\"" << y + 24
            << "\" text-anchor=\"end\" fill=\"#333\">bytes " << row.first << "-" << row.last
            << "</text>\n"
            << "<rect x=\"" << boxLeft << "\" y=\"" << y + 3 << "\" width=\"" << boxWidth
            << "\" height=\"" << rowHeight - 6 << "\" rx=\"4\" fill=\"" << row.fill
            << "\" stroke=\"#888\"/>\n"
            << "<text x=\"" << boxLeft + 10 << "\" y=\"" << y + 18 << "\" font-weight=\"bold\">"
            << row.name << "</text>\n"
            << "<text x=\"" << boxLeft + 10 << "\" y=\"" << y + 32
            << "\" font-family=\"DejaVu Sans Mono, monospace\" font-size=\"11\" "
               "xml:space=\"preserve\">"
            << row.detail << "</text>\n";
    }
    // File header offsets to their blocks, on the left.
    const int headerY = rowY(0);
    int lane = 0;
    for (const std::size_t target : {rnd, ssd, srt, dsp}) {
        const int x = boxLeft - 56 + 12 * lane++;
        const int y = rowY(target);
        out << "<path d=\"M" << boxLeft << "," << headerY << " L" << x << "," << headerY << " L"
            << x << "," << y << " L" << boxLeft - 2 << "," << y
            << "\" fill=\"none\" stroke=\"#6a7fa8\" marker-end=\"url(#head)\"/>\n";
    }
    // Index slots to their entries, on the right: at the header's end + offset.
    lane = 0;
    for (const auto& [from, to] : {std::pair{ssdSlot, ssdEntry}, std::pair{dspSlot, dspEntry}}) {
        const int x = boxLeft + boxWidth + 30 + 20 * lane++;
        out << "<path d=\"M" << boxLeft + boxWidth << "," << rowY(from) << " L" << x << ","
            << rowY(from) << " L" << x << "," << rowY(to) << " L" << boxLeft + boxWidth + 2 << ","
            << rowY(to) << "\" fill=\"none\" stroke=\"#5b8f57\" marker-end=\"url(#head)\"/>\n";
    }
    out << "<text x=\"" << boxLeft + boxWidth + 60 << "\" y=\"" << rowY(ssdSlot) + 4
        << "\" fill=\"#5b8f57\">" << ssd << " + 16 + 4 = " << ssdEntry << "</text>\n"
        << "<text x=\"" << boxLeft + boxWidth + 60 << "\" y=\"" << rowY(dspSlot) + 4
        << "\" fill=\"#5b8f57\">" << dsp << " + 16 + 4 = " << dspEntry << "</text>\n"
        << "<text x=\"" << boxLeft << "\" y=\"" << height - 14
        << "\" fill=\"#555\">The file ends where the last DspEntry ends: 248 = " << dsp
        << " + 16 + 4 + 144.</text>\n"
        << "</svg>\n";
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace srtx::testing
