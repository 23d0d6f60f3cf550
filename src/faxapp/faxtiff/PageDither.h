#pragma once

// Turns a grey fax page into black and white dots so that greys and photos stay readable:
// error diffusion (Floyd-Steinberg, rows walked in alternating directions so that no
// diagonal texture builds up) after a mild tone step that makes near-black black and
// near-white white. Those pure tones take no diffused error and pass none on, so text edges
// stay crisp and white paper gets no stray dots.

#include <QImage>
#include <cstddef>
#include <vector>

namespace faxapp {

// A page of bits, rows most significant bit first, 1 = black (as SffWriter takes them).
struct BilevelPage {
    int width = 0;
    int rows = 0;
    int stride = 0; // bytes a row
    std::vector<unsigned char> bits;

    const unsigned char* Row(int y) const {
        return bits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    }
    bool IsBlack(int x, int y) const { return (Row(y)[x / 8] >> (7 - x % 8) & 1) != 0; }
};

class PageDither {
public:
    // Grey levels at or below this print black, at or above kWhiteLevel white.
    static constexpr int kBlackLevel = 24;
    static constexpr int kWhiteLevel = 232;

    // grey: Format_Grayscale8.
    static BilevelPage Dither(const QImage& grey);
};

} // namespace faxapp
