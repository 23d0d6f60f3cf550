#pragma once

// Fax TIFFs as a fax server keeps what it receives, written by libtiff: A4 pages 1728 dots
// wide at 204 dpi, fine (2286 rows at 196 lpi) or normal (1143 rows at 98 lpi). Each page
// shows a black bar one inch from the top and the left edge, one inch high and as many inches
// wide as the page's number (page 2: two inches), so that a page tells its number and its
// proportions wherever it is rendered.

#include <QList>
#include <QString>
#include <tiffio.h>
#include <vector>

struct FaxTiffOptions {
    int compression = COMPRESSION_CCITTFAX3;
    std::uint32_t g3Options = GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS;
    int fillOrder = FILLORDER_LSB2MSB;
    int photometric = PHOTOMETRIC_MINISWHITE;
    int rowsPerStrip = 0; // 0: a strip a page
};

// fine: one entry a page, true for fine rows. False when libtiff fails.
inline bool WriteFaxTiff(const QString& path, const QList<bool>& fine,
                         const FaxTiffOptions& options = {}) {
    constexpr int kWidth = 1728;
    constexpr int kDpi = 204;
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "w");
    if (!tiff)
        return false;
    bool ok = true;
    for (int page = 0; page < fine.size() && ok; ++page) {
        const int lpi = fine.at(page) ? 196 : 98;
        const int rows = fine.at(page) ? 2286 : 1143;
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, rows);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, options.compression);
        if (options.compression == COMPRESSION_CCITTFAX3)
            TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, options.g3Options);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, options.photometric);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, options.fillOrder);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(kDpi));
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(lpi));
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                     options.rowsPerStrip > 0 ? options.rowsPerStrip : rows);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, page, int(fine.size()));
        const bool blackIsOne = options.photometric == PHOTOMETRIC_MINISWHITE;
        std::vector<unsigned char> row(kWidth / 8);
        for (int y = 0; y < rows && ok; ++y) {
            const bool bar = y >= lpi && y < 2 * lpi;
            for (int x = 0; x < kWidth; ++x) {
                const bool black = bar && x >= kDpi && x < kDpi * (page + 2);
                const unsigned char bit = static_cast<unsigned char>(0x80 >> (x % 8));
                if (black == blackIsOne)
                    row[x / 8] |= bit;
                else
                    row[x / 8] &= static_cast<unsigned char>(~bit);
            }
            ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) >= 0;
        }
        ok = ok && TIFFWriteDirectory(tiff) != 0;
    }
    TIFFClose(tiff);
    return ok;
}
