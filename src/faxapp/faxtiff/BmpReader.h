#pragma once

// Reads the page bitmaps a printer driver leaves for the page converter. The header is checked
// here, field by field, before any pixel is decoded; only a bitmap that passed goes to Qt's BMP
// decoder, so that what that decoder would accept too loosely (sizes beyond the file, a palette
// that runs into the pixels, dimensions no page has) never reaches it.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>

namespace faxapp {

// What the header says of the bitmap, once checked.
struct BmpInfo {
    int width = 0;
    int height = 0; // rows, always positive; topDown tells the order
    bool topDown = false;
    int bitsPerPixel = 0;
    int compression = 0;   // 0 BI_RGB, 1 BI_RLE8, 2 BI_RLE4, 3 BI_BITFIELDS
    int dotsPerMetreX = 0; // 0 when the header has none
    int dotsPerMetreY = 0;
};

class BmpReader {
public:
    static constexpr int kMaxWidth = 20000;
    static constexpr int kMaxHeight = 30000;
    // Pixels decoded at most: a 600 dpi A4 page with room to spare, and at 4 bytes a pixel
    // within what Qt's image reader allocates by default (256 MB).
    static constexpr std::int64_t kMaxPixels = 64'000'000;

    // Checks the file header and the info header against the bytes; false with a message
    // ("bad magic", ...) when the bitmap is malformed or unsupported.
    static bool CheckHeader(const QByteArray& bytes, BmpInfo& info, QString& error);
    // Checks, then decodes into an RGB32 image (any transparency laid on white).
    static bool Read(const QByteArray& bytes, QImage& image, BmpInfo& info, QString& error);
};

} // namespace faxapp
