#include "faxapp/receiving/ReceivedTiff.h"

#include <QFile>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace faxapp {

namespace {

// A fax page is 1728 or 2432 dots wide and a few thousand rows long; far beyond that, the
// file is not a fax and decoding it only takes memory and time.
constexpr uint32_t kMaxWidth = 10000;
constexpr uint32_t kMaxRows = 100000;
constexpr int kMaxPages = 10000;

struct Errors {
    QString first;
};

int OnError(TIFF* /*tiff*/, void* user, const char* /*module*/, const char* format, va_list args) {
    auto* errors = static_cast<Errors*>(user);
    if (errors->first.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        errors->first = QString::fromLocal8Bit(text);
    }
    return 1;
}

int OnWarning(TIFF* /*tiff*/, void* /*user*/, const char* /*module*/, const char* /*format*/,
              va_list /*args*/) {
    return 1; // unknown tags of fax servers and modems: nothing to tell
}

struct Closer {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

} // namespace

Result<int> CheckReceivedTiff(const QString& path) {
    Errors errors;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &errors);
    const std::unique_ptr<TIFF, Closer> tiff(
        TIFFOpenExt(QFile::encodeName(path).constData(), "r", options));
    TIFFOpenOptionsFree(options);
    const auto failed = [&](const QString& what) {
        return Problem{0, path,
                       errors.first.isEmpty() ? what : what + QStringLiteral(": ") + errors.first};
    };
    if (!tiff)
        return failed(QStringLiteral("not a TIFF file"));
    int pages = 0;
    do {
        ++pages;
        const QString page = QStringLiteral("page %1").arg(pages);
        uint32_t width = 0;
        uint32_t rows = 0;
        uint16_t bits = 1;
        if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
            !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &rows) || width == 0 || rows == 0 ||
            width > kMaxWidth || rows > kMaxRows) {
            return failed(page + QStringLiteral(" has no fax page size"));
        }
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
        if (bits != 1 || TIFFIsTiled(tiff.get()))
            return failed(page + QStringLiteral(" is not a black-and-white fax page"));
        std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tiff.get())));
        for (uint32_t r = 0; r < rows; ++r) {
            if (TIFFReadScanline(tiff.get(), row.data(), r, 0) < 0 || !errors.first.isEmpty())
                return failed(page + QStringLiteral(", row %1 does not decode").arg(r + 1));
        }
        if (pages >= kMaxPages)
            return failed(QStringLiteral("more than %1 pages").arg(kMaxPages));
    } while (TIFFReadDirectory(tiff.get()));
    if (!errors.first.isEmpty())
        return failed(QStringLiteral("after page %1").arg(pages));
    return pages;
}

} // namespace faxapp
