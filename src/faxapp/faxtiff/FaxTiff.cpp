#include "faxapp/faxtiff/FaxTiff.h"

#include "faxapp/faxtiff/FaxTiffFile.h"
#include "faxapp/faxtiff/PageConverter.h"
#include "faxapp/faxtiff/PageDither.h"
#include "faxapp/faxtiff/SffFaxPages.h"
#include "faxapp/pages/PrintPages.h"

#include <cmath>

namespace faxapp {

namespace {

QString PageFailure(int number, const QString& why) {
    if (why.startsWith(QStringLiteral("page %1:").arg(number)) ||
        why.startsWith(QStringLiteral("page %1 ").arg(number)))
        return why;
    return QStringLiteral("page %1: %2").arg(number).arg(why);
}

// The black-and-white companion of a colour print: the same name with ".SFF".
QString Companion(const QString& colour) {
    const qsizetype dot = colour.lastIndexOf(u'.');
    const bool hasSuffix = dot > colour.lastIndexOf(u'/');
    return (hasSuffix ? colour.left(dot) : colour) + QStringLiteral(".SFF");
}

FaxTiffResult WriteSff(const QString& document, bool fine, const QString& tiffPath) {
    SffFaxPages pages;
    FaxTiffFile out;
    QString error;
    if (!pages.Open(document, error) || !out.Create(tiffPath, pages.PageCount(), error))
        return {0, error};
    for (int i = 0; i < pages.PageCount(); ++i) {
        if (!pages.WritePage(i, fine, out, error))
            return {0, PageFailure(i + 1, error)};
    }
    if (!out.Finish(error))
        return {0, error};
    return {pages.PageCount(), {}};
}

// Fax rows for a page: its width spans the fax row, its height keeps the page's proportions
// (pixels that are not square count with their own size); 0 when that is no page's length.
int FaxRows(const QImage& page, bool fine) {
    double aspect = double(page.height()) / page.width();
    const int dpmX = page.dotsPerMeterX();
    const int dpmY = page.dotsPerMeterY();
    if (dpmX > 0 && dpmY > 0 && dpmX <= 4 * dpmY && dpmY <= 4 * dpmX)
        aspect *= double(dpmX) / dpmY;
    const double rowsPerDot = double(kFaxDotsPerMetreY) / kFaxDotsPerMetreX / (fine ? 1 : 2);
    const double rows = aspect * FaxTiffFile::kWidth * rowsPerDot;
    if (!(rows <= kMaxPageRows))
        return 0;
    return std::max(1, static_cast<int>(std::lround(rows)));
}

// PCX, text and TIFF print files: each page scaled to the fax row and turned into black and
// white dots as the page converter does it. A page that is a fax page already keeps its dots.
FaxTiffResult WritePrintPages(const QString& document, bool fine, const QString& tiffPath) {
    PrintPages pages;
    if (!pages.Open(document))
        return {0, pages.Error()};
    if (!pages.Problem().isEmpty())
        return {0, pages.Problem()};
    FaxTiffFile out;
    QString error;
    if (!out.Create(tiffPath, pages.PageCount(), error))
        return {0, error};
    for (int i = 0; i < pages.PageCount(); ++i) {
        const QImage page = pages.Page(i);
        if (page.isNull())
            return {0, PageFailure(i + 1, pages.Error())};
        const int rows = FaxRows(page, fine);
        if (rows == 0)
            return {0, PageFailure(i + 1, QStringLiteral("too long for a fax page"))};
        const QImage grey = PageConverter::FaxGrey(page, rows);
        if (grey.isNull())
            return {0, PageFailure(i + 1, QStringLiteral("out of memory"))};
        const BilevelPage dots = PageDither::Dither(grey);
        if (!out.AddPage([&dots](int y) { return dots.Row(y); }, rows, fine, 0, error))
            return {0, PageFailure(i + 1, error)};
    }
    if (!out.Finish(error))
        return {0, error};
    return {pages.PageCount(), {}};
}

} // namespace

FaxTiffResult FaxTiff::Write(const QString& document, const QString& convert, Rows rows,
                             const QString& tiffPath) {
    const bool fine = rows == Rows::Fine;
    const QString kind = convert.trimmed().toUpper();
    if (kind == u"SFF")
        return WriteSff(document, fine, tiffPath);
    if (kind == u"CFF")
        return WriteSff(Companion(document), fine, tiffPath);
    if (kind == u"PCX" || kind == u"FXASC")
        return WritePrintPages(document, fine, tiffPath);
    return {0, QStringLiteral("%1: unknown document kind \"%2\"").arg(document, convert)};
}

} // namespace faxapp
