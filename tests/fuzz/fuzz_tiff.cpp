// TIFF print files as the viewer and the fax TIFF read them, any bytes. The page count is
// within the limit, a file without pages says why; a page decodes to an image as wide as the
// file says, as high or twice as high (rows of normal fax resolution), or to an error; and a
// black-and-white page written again as TIFF (coded in one of libtiff's ways) reads back
// with the same dots.

#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "faxapp/pages/TiffPages.h"

#include <cstring>

namespace {

constexpr int kPagesLooked = 4;

// Writes the 1-bit page as a one-page TIFF at square resolution; its bytes.
QByteArray WriteBilevel(const QImage& page, std::uint16_t compression) {
    const QString path = FuzzPath("again.tif");
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "w");
    FUZZ_CHECK(tiff != nullptr);
    const bool minIsBlack = page.colorTable().value(0) == qRgb(0, 0, 0);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(page.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(page.height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 200.0F);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 200.0F);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<unsigned char> row(static_cast<std::size_t>((page.width() + 7) / 8));
    for (int y = 0; y < page.height(); ++y) {
        std::memcpy(row.data(), page.constScanLine(y), row.size());
        FUZZ_CHECK(TIFFWriteScanline(tiff, row.data(), std::uint32_t(y), 0) == 1);
    }
    TIFFClose(tiff);
    return ReadFuzzFile(path);
}

bool SameDots(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format() || a.colorTable() != b.colorTable())
        return false;
    const int full = a.width() / 8;
    const int rest = a.width() % 8;
    const auto mask = static_cast<unsigned char>(0xFF00 >> rest);
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        if (std::memcmp(p, q, static_cast<std::size_t>(full)) != 0 ||
            (rest != 0 && ((p[full] ^ q[full]) & mask) != 0))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    faxapp::TiffPages pages(bytes);
    FUZZ_CHECK(pages.PageCount() >= 0 && pages.PageCount() <= faxapp::kMaxPages);
    FUZZ_CHECK(pages.PageCount() > 0 || !pages.Problem().isEmpty());
    QString error;
    FUZZ_CHECK(pages.DecodePage(pages.PageCount(), error).isNull() && !error.isEmpty());
    for (int i = 0; i < pages.PageCount() && i < kPagesLooked; ++i) {
        error.clear();
        const QImage page = pages.DecodePage(i, error);
        if (page.isNull()) {
            FUZZ_CHECK(!error.isEmpty());
            continue;
        }
        FUZZ_CHECK(page.width() >= 1 && page.width() <= faxapp::kMaxPageWidth);
        FUZZ_CHECK(page.height() >= 1 && page.height() <= 2 * faxapp::kMaxPageRows);
        FUZZ_CHECK(page.format() == QImage::Format_Mono ||
                   page.format() == QImage::Format_RGBA8888);
        if (page.format() != QImage::Format_Mono ||
            static_cast<qint64>(page.width()) * page.height() > 4'000'000)
            continue;
        static constexpr std::uint16_t kCodings[] = {COMPRESSION_NONE, COMPRESSION_CCITTFAX3,
                                                     COMPRESSION_CCITTFAX4, COMPRESSION_PACKBITS,
                                                     COMPRESSION_LZW};
        const std::uint16_t coding = kCodings[(size + static_cast<std::size_t>(i)) % 5];
        faxapp::TiffPages again(WriteBilevel(page, coding));
        FUZZ_CHECK(again.PageCount() == 1);
        const QImage back = again.DecodePage(0, error);
        FUZZ_CHECK(SameDots(page, back));
    }
    return 0;
}
