// SFF documents turned into the fax TIFF a HylaFAX server sends, any bytes, fine or normal
// rows by the input's length. Either the TIFF is written with every page of the document, or
// the conversion says why and leaves no file behind. A written TIFF reads back with as many
// pages, each 1728 dots wide, and its dots are the document's: the
// page centred on the fax row or cut to it, without the white rows beyond an A4 page.

#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "faxapp/faxtiff/FaxTiff.h"
#include "faxapp/faxtiff/FaxTiffFile.h"
#include "faxapp/pages/SffDecoder.h"
#include "faxapp/pages/TiffPages.h"

#include <QFile>

using faxapp::FaxTiff;
using faxapp::FaxTiffFile;

namespace {

bool Dot(const QImage& image, int x, int y) {
    return (image.constScanLine(y)[x / 8] >> (7 - x % 8) & 1) != 0;
}

// Whether the TIFF page shows the document's page: the same dots where both have rows, and
// only white rows of the document's beyond the TIFF's.
bool SameDots(const QImage& sff, const QImage& tiff) {
    if (tiff.width() != FaxTiffFile::kWidth || tiff.height() > std::max(sff.height(), 2))
        return false;
    const int offset = (sff.width() - FaxTiffFile::kWidth) / 2;
    const bool tiffBlackIsOne = tiff.colorTable().value(1) == qRgb(0, 0, 0);
    for (int y = 0; y < sff.height(); ++y) {
        for (int x = 0; x < FaxTiffFile::kWidth; ++x) {
            const int sx = x + offset;
            const bool black = sx >= 0 && sx < sff.width() && Dot(sff, sx, y);
            if (y >= tiff.height()) {
                if (black)
                    return false;
                continue;
            }
            if ((Dot(tiff, x, y) == tiffBlackIsOne) != black)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QString document = FuzzPath("in.sff");
    const QString tiffPath = FuzzPath("out.tif");
    WriteFuzzFile(document, data, size);
    QFile::remove(tiffPath);
    const bool fine = size % 2 == 0;
    const faxapp::FaxTiffResult result =
        FaxTiff::Write(document, QStringLiteral("SFF"),
                       fine ? FaxTiff::Rows::Fine : FaxTiff::Rows::Normal, tiffPath);
    if (!result.error.isEmpty()) {
        FUZZ_CHECK(!QFile::exists(tiffPath));
        return 0;
    }
    const QByteArray sffBytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    faxapp::SffDecoder sff(sffBytes);
    FUZZ_CHECK(result.pages >= 1 && result.pages == sff.PageCount());
    FUZZ_CHECK(sff.Problem().isEmpty());

    faxapp::TiffPages tiff(ReadFuzzFile(tiffPath));
    FUZZ_CHECK(tiff.PageCount() == result.pages);
    for (int i = 0; i < result.pages; ++i) {
        QString error;
        const QImage page = tiff.DecodePage(i, error);
        FUZZ_CHECK(!page.isNull());
        FUZZ_CHECK(page.width() == FaxTiffFile::kWidth);
        // Normal rows show doubled; the document's fine rows kept every second one of them.
        if (!fine && sff.PageResolution(i) == 196)
            continue;
        const int badBefore = sff.BadRows();
        const QImage original = sff.DecodePage(i, error);
        if (original.isNull() || sff.BadRows() != badBefore || original.height() > 3000)
            continue; // damaged rows go white; long pages are right but slow
        FUZZ_CHECK(SameDots(original, page));
    }
    return 0;
}
