#include "faxapp/receiving/ReceivedTiff.h"

#include <QFile>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <thread>
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
using Tiff = std::unique_ptr<TIFF, Closer>;

Tiff Open(const QString& path, Errors& errors) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &errors);
    Tiff tiff(TIFFOpenExt(QFile::encodeName(path).constData(), "r", options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

// Decodes every row of the current page; an empty text when it does, else what is wrong.
QString DecodePage(TIFF* tiff, const Errors& errors) {
    uint32_t width = 0;
    uint32_t rows = 0;
    uint16_t bits = 1;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &rows) || width == 0 || rows == 0 ||
        width > kMaxWidth || rows > kMaxRows) {
        return QStringLiteral(" has no fax page size");
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits != 1 || TIFFIsTiled(tiff))
        return QStringLiteral(" is not a black-and-white fax page");
    std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
    for (uint32_t r = 0; r < rows; ++r) {
        if (TIFFReadScanline(tiff, row.data(), r, 0) < 0 || !errors.first.isEmpty())
            return QStringLiteral(", row %1 does not decode").arg(r + 1);
    }
    return {};
}

// What one worker found: the first page of its share that does not decode (0: none).
struct Share {
    int badPage = 0;
    QString what;
    Errors errors;
};

// Decodes the pages first, first + step, ... of the file (counted from 1).
void DecodeShare(const QString& path, int pages, int first, int step, Share& share) {
    const Tiff tiff = Open(path, share.errors);
    for (int page = first; page <= pages && tiff; page += step) {
        const QString what = TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(page - 1))
                                 ? DecodePage(tiff.get(), share.errors)
                                 : QStringLiteral(" cannot be read");
        if (!what.isEmpty()) {
            share.badPage = page;
            share.what = what;
            return;
        }
    }
    if (!tiff) {
        share.badPage = first;
        share.what = QStringLiteral(" cannot be read");
    }
}

} // namespace

Result<int> CheckReceivedTiff(const QString& path) {
    Errors errors;
    const Tiff tiff = Open(path, errors);
    const auto failed = [&path](const Errors& found, const QString& what) {
        return Problem{0, path,
                       found.first.isEmpty() ? what : what + QStringLiteral(": ") + found.first};
    };
    if (!tiff)
        return failed(errors, QStringLiteral("not a TIFF file"));
    // The pages are counted first (their directories only), then decoded by as many workers
    // as there are cores: decoding is most of the time a fetched fax takes.
    int pages = 1;
    while (TIFFReadDirectory(tiff.get())) {
        if (++pages > kMaxPages)
            return failed(errors, QStringLiteral("more than %1 pages").arg(kMaxPages));
    }
    if (!errors.first.isEmpty())
        return failed(errors, QStringLiteral("after page %1").arg(pages));
    const int workers =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, std::min(pages, 4));
    std::vector<Share> shares(static_cast<size_t>(workers));
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w)
        threads.emplace_back(DecodeShare, path, pages, w + 1, workers,
                             std::ref(shares[static_cast<size_t>(w)]));
    DecodeShare(path, pages, 1, workers, shares[0]);
    for (std::thread& thread : threads)
        thread.join();
    const Share* bad = nullptr;
    for (const Share& share : shares) {
        if (share.badPage > 0 && (bad == nullptr || share.badPage < bad->badPage))
            bad = &share;
    }
    if (bad != nullptr)
        return failed(bad->errors, QStringLiteral("page %1%2").arg(bad->badPage).arg(bad->what));
    return pages;
}

} // namespace faxapp
