#include "faxapp/faxtiff/PageConverter.h"

#include "fax/SffWriter.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace faxapp {

namespace {

// The bitmap pixels one scaled pixel covers, from first on, with the share each has.
struct AreaSpan {
    int first = 0;
    std::vector<float> weights;
};

std::vector<AreaSpan> AreaSpans(int from, int to) {
    std::vector<AreaSpan> spans(static_cast<std::size_t>(to));
    const double scale = double(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * scale;
        const double end = (i + 1) * scale;
        AreaSpan& span = spans[static_cast<std::size_t>(i)];
        span.first = std::min(from - 1, static_cast<int>(begin));
        const int last = std::clamp(static_cast<int>(std::ceil(end)) - 1, span.first, from - 1);
        for (int j = span.first; j <= last; ++j) {
            const double covered = std::min(end, j + 1.0) - std::max(begin, double(j));
            span.weights.push_back(static_cast<float>(std::max(covered, 0.0) / scale));
        }
    }
    return spans;
}

} // namespace

int PageConverter::FaxRows(const BmpInfo& info) {
    if (info.width <= 0 || info.height <= 0)
        return 0;
    // Height over width on paper; pixels that are not square count with their own size. A
    // resolution whose pixels are more than four times as tall as wide (or the other way) is
    // no page's: the pixel counts decide then.
    double aspect = double(info.height) / info.width;
    if (info.dotsPerMetreX > 0 && info.dotsPerMetreY > 0) {
        const double pixelAspect = double(info.dotsPerMetreX) / info.dotsPerMetreY;
        if (pixelAspect >= 0.25 && pixelAspect <= 4.0)
            aspect *= pixelAspect;
    }
    const double rows = aspect * kFaxWidthMm / 25.4 * kFineResolution;
    if (!(rows <= kMaxRows))
        return 0;
    return std::max(1, static_cast<int>(std::lround(rows)));
}

QImage PageConverter::FaxGrey(const QImage& page, int rows) {
    // Each dot of the fax page is the average of the bitmap's area it covers, so that a page
    // scaled down keeps its greys and one scaled up keeps sharp edges for the dithering.
    const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    QImage grey(kFaxWidth, rows, QImage::Format_Grayscale8);
    if (rgb.isNull() || grey.isNull() || rows <= 0)
        return {};
    const std::vector<AreaSpan> across = AreaSpans(rgb.width(), kFaxWidth);
    const std::vector<AreaSpan> down = AreaSpans(rgb.height(), rows);

    // Bitmap rows in luminance, scaled across; the last two are kept, since neighbouring
    // fax rows share the bitmap row on their border.
    std::vector<float> cached[2] = {std::vector<float>(kFaxWidth), std::vector<float>(kFaxWidth)};
    int cachedRow[2] = {-1, -1};
    std::vector<float> luminance(static_cast<std::size_t>(rgb.width()));
    const auto scaledRow = [&](int y) -> const std::vector<float>& {
        for (int i = 0; i < 2; ++i) {
            if (cachedRow[i] == y)
                return cached[i];
        }
        const int slot = cachedRow[0] < cachedRow[1] ? 0 : 1; // the older row goes
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = line[x];
            luminance[static_cast<std::size_t>(x)] =
                0.299F * qRed(c) + 0.587F * qGreen(c) + 0.114F * qBlue(c);
        }
        std::vector<float>& out = cached[slot];
        for (int x = 0; x < kFaxWidth; ++x) {
            const AreaSpan& span = across[static_cast<std::size_t>(x)];
            float sum = 0;
            for (std::size_t k = 0; k < span.weights.size(); ++k)
                sum += span.weights[k] * luminance[static_cast<std::size_t>(span.first) + k];
            out[static_cast<std::size_t>(x)] = sum;
        }
        cachedRow[slot] = y;
        return out;
    };

    std::vector<float> sum(kFaxWidth);
    for (int y = 0; y < rows; ++y) {
        const AreaSpan& span = down[static_cast<std::size_t>(y)];
        std::fill(sum.begin(), sum.end(), 0.0F);
        for (std::size_t k = 0; k < span.weights.size(); ++k) {
            const std::vector<float>& row = scaledRow(span.first + static_cast<int>(k));
            const float w = span.weights[k];
            for (int x = 0; x < kFaxWidth; ++x)
                sum[static_cast<std::size_t>(x)] += w * row[static_cast<std::size_t>(x)];
        }
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < kFaxWidth; ++x) {
            const auto v = static_cast<int>(std::lround(sum[static_cast<std::size_t>(x)]));
            out[x] = static_cast<uchar>(std::clamp(v, 0, 255));
        }
    }
    return grey;
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
