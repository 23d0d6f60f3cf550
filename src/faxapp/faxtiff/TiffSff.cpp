#include "faxapp/faxtiff/TiffSff.h"

#include "fax/SffWriter.h"
#include "faxapp/pages/MemoryTiff.h"
#include "faxapp/pages/TiffPages.h"

#include <vector>

namespace faxapp {

namespace {

// Rows of an SFF page header are counted in 16 bits.
constexpr int kMaxSffRows = 65535;

// Whether the TIFF page's rows stand twice as far apart as its columns (TiffPages doubles
// them when it decodes the page).
bool NormalRows(TIFF* tiff) {
    float xres = 0;
    float yres = 0;
    return TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres) &&
           TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres) && xres > 0 && yres > 0 &&
           yres * 1.5F < xres;
}

} // namespace

Result<QByteArray> TiffToSff(const QByteArray& tiff) {
    MemoryTiff tags(tiff);
    if (!tags.Open())
        return Problem{0, {}, tags.Error()};
    TiffPages pages(tiff);
    if (pages.PageCount() == 0)
        return Problem{0, {}, pages.Problem()};
    SffWriter writer;
    std::vector<unsigned char> row;
    for (int index = 0; index < pages.PageCount(); ++index) {
        QString error;
        QImage page = pages.DecodePage(index, error);
        if (page.isNull())
            return Problem{0, {}, error};
        const bool normal = TIFFSetDirectory(tags.Handle(), static_cast<tdir_t>(index)) != 0 &&
                            NormalRows(tags.Handle());
        if (page.format() != QImage::Format_Mono || page.colorCount() != 2)
            page = page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        const int step = normal ? 2 : 1;
        if (page.height() / step > kMaxSffRows)
            return Problem{0, {}, QStringLiteral("page %1: too long").arg(index + 1)};
        // SFF's bits are 1 for black.
        const bool invert = qGray(page.color(1)) > qGray(page.color(0));
        const int bytes = (page.width() + 7) / 8;
        row.resize(static_cast<size_t>(bytes));
        writer.BeginPage(normal ? 98 : 196, page.width());
        int blanks = 0; // white rows not yet added: they go in as one skip
        for (int y = 0; y < page.height(); y += step) {
            const uchar* line = page.constScanLine(y);
            bool blank = true;
            for (int i = 0; i < bytes; ++i) {
                row[size_t(i)] = invert ? uchar(~line[i]) : line[i];
                blank = blank && row[size_t(i)] == 0;
            }
            // The bits past the width are no dots.
            if (const int spare = bytes * 8 - page.width(); spare > 0)
                row[size_t(bytes - 1)] &= uchar(0xFF << spare);
            if (blank) {
                ++blanks;
                continue;
            }
            writer.AddBlankRows(blanks);
            blanks = 0;
            writer.AddBitRow(row.data(), page.width());
        }
        writer.AddBlankRows(blanks);
    }
    return writer.Finish();
}

} // namespace faxapp
