#include "faxapp/PageConverter.h"

#include "fax/SffWriter.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cmath>

namespace faxapp {

int PageConverter::FaxRows(const BmpInfo& info) {
    if (info.width <= 0 || info.height <= 0)
        return 0;
    // Height over width on paper; pixels that are not square count with their own size.
    double aspect = double(info.height) / info.width;
    if (info.dotsPerMetreX > 0 && info.dotsPerMetreY > 0)
        aspect *= double(info.dotsPerMetreX) / info.dotsPerMetreY;
    const double rows = aspect * kFaxWidthMm / 25.4 * kFineResolution;
    if (!(rows <= kMaxRows))
        return 0;
    return std::max(1, static_cast<int>(std::lround(rows)));
}

QImage PageConverter::FaxGrey(const QImage& page, int rows) {
    return page.convertToFormat(QImage::Format_Grayscale8)
        .scaled(kFaxWidth, rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray PageConverter::EncodeSff(const BilevelPage& page) {
    SffWriter writer;
    writer.BeginPage(kFineResolution, page.width);
    int blank = 0; // white rows go as skip records, several to a byte
    for (int y = 0; y < page.rows; ++y) {
        const unsigned char* row = page.Row(y);
        if (std::all_of(row, row + page.stride, [](unsigned char b) { return b == 0; })) {
            ++blank;
            continue;
        }
        if (blank > 0)
            writer.AddBlankRows(std::exchange(blank, 0));
        writer.AddBitRow(row, page.width);
    }
    if (blank > 0)
        writer.AddBlankRows(blank);
    return writer.Finish();
}

QByteArray PageConverter::EncodeJpeg(const QImage& page) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(page))
        return {};
    return jpeg;
}

bool PageConverter::Convert(const QByteArray& bmp, ConvertedPage& result, QString& error) {
    BilevelPage bilevel;
    return Convert(bmp, result, bilevel, error);
}

bool PageConverter::Convert(const QByteArray& bmp, ConvertedPage& result, BilevelPage& bilevel,
                            QString& error) {
    result = {};
    bilevel = {};
    QImage page;
    BmpInfo info;
    if (!BmpReader::Read(bmp, page, info, error))
        return false;
    const int rows = FaxRows(info);
    if (rows == 0) {
        error = QStringLiteral("page too long for a fax page");
        return false;
    }
    const QImage grey = FaxGrey(page, rows);
    if (grey.width() != kFaxWidth || grey.height() != rows) {
        error = QStringLiteral("out of memory scaling the page");
        return false;
    }
    bilevel = PageDither::Dither(grey);
    result.rows = rows;
    result.sff = EncodeSff(bilevel);
    result.jpeg = EncodeJpeg(page);
    if (!result.jpeg.startsWith("\xFF\xD8")) {
        error = QStringLiteral("cannot encode the colour page as JPEG");
        return false;
    }
    return true;
}

} // namespace faxapp
