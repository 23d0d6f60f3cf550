#include "faxapp/faxtiff/PageDither.h"

#include <array>
#include <cmath>

namespace faxapp {

namespace {

// The tone step: levels stretched between the black and the white level, with a slight
// lightening of the middle tones, since a fax printer's dots spread and darken greys.
std::array<int, 256> ToneTable() {
    std::array<int, 256> table{};
    constexpr double kGamma = 0.9;
    for (int v = 0; v < 256; ++v) {
        if (v <= PageDither::kBlackLevel) {
            table[static_cast<std::size_t>(v)] = 0;
        } else if (v >= PageDither::kWhiteLevel) {
            table[static_cast<std::size_t>(v)] = 255;
        } else {
            const double t = double(v - PageDither::kBlackLevel) /
                             (PageDither::kWhiteLevel - PageDither::kBlackLevel);
            const int tone = static_cast<int>(std::lround(255.0 * std::pow(t, kGamma)));
            // Only the two ends are pure: a grey never loses its dots.
            table[static_cast<std::size_t>(v)] = tone < 1 ? 1 : tone > 254 ? 254 : tone;
        }
    }
    return table;
}

} // namespace

BilevelPage PageDither::Dither(const QImage& grey) {
    static const std::array<int, 256> tone = ToneTable();
    BilevelPage page;
    page.width = grey.width();
    page.rows = grey.height();
    page.stride = (page.width + 7) / 8;
    page.bits.assign(static_cast<std::size_t>(page.stride) * static_cast<std::size_t>(page.rows),
                     0);
    // Diffused error in sixteenths of a grey level, one slot of margin on either side.
    const auto cells = static_cast<std::size_t>(page.width) + 2;
    std::vector<int> current(cells, 0);
    std::vector<int> next(cells, 0);
    for (int y = 0; y < page.rows; ++y) {
        const uchar* line = grey.constScanLine(y);
        unsigned char* out =
            page.bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(page.stride);
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        int* here = current.data() + 1; // here[-1] and here[width] are the margins
        int* below = next.data() + 1;
        for (int i = 0; i < page.width; ++i) {
            const int x = leftToRight ? i : page.width - 1 - i;
            const int level = tone[line[x]];
            bool black = false;
            if (level == 0 || level == 255) {
                black = level == 0; // pure tones neither take nor pass on error
            } else {
                const int value = level * 16 + here[x];
                black = value < 128 * 16;
                const int error = value - (black ? 0 : 255 * 16);
                here[x + step] += error * 7 / 16;
                below[x - step] += error * 3 / 16;
                below[x] += error * 5 / 16;
                below[x + step] += error / 16;
            }
            if (black)
                out[x / 8] = static_cast<unsigned char>(out[x / 8] | 0x80u >> (x % 8));
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
    return page;
}

} // namespace faxapp
