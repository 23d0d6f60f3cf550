#include "faxapp/pages/TiffPages.h"

#include <cmath>

namespace faxapp {

TiffPages::TiffPages(QByteArray bytes) : m_tiff(std::move(bytes)) {
    if (!m_tiff.Open()) {
        m_problem = m_tiff.Error();
        return;
    }
    const tdir_t count = TIFFNumberOfDirectories(m_tiff.Handle());
    m_pageCount = count > kMaxPages ? kMaxPages : static_cast<int>(count);
    if (count > kMaxPages)
        m_problem = QStringLiteral("more than %1 pages").arg(kMaxPages);
    else if (m_pageCount == 0)
        m_problem = QStringLiteral("the TIFF file has no pages");
}

QImage TiffPages::DecodePage(int index, QString& error) {
    TIFF* tiff = m_tiff.Handle();
    const auto fail = [&](const QString& why) {
        error = QStringLiteral("page %1: %2").arg(index + 1).arg(why);
        return QImage();
    };
    if (index < 0 || index >= m_pageCount)
        return fail(QStringLiteral("no such page"));
    m_tiff.ClearMessages();
    if (!TIFFSetDirectory(tiff, static_cast<tdir_t>(index)))
        return fail(m_tiff.Error());
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    if (width == 0 || width > kMaxPageWidth || height == 0 || height > kMaxPageRows)
        return fail(QStringLiteral("size %1 x %2 is out of range (at most %3 x %4)")
                        .arg(width)
                        .arg(height)
                        .arg(kMaxPageWidth)
                        .arg(kMaxPageRows));
    const bool bilevel =
        bits == 1 && samples == 1 && !TIFFIsTiled(tiff) &&
        (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    QImage image = bilevel ? DecodeBilevel(static_cast<int>(width), static_cast<int>(height),
                                           photometric == PHOTOMETRIC_MINISBLACK, error)
                           : DecodeColour(static_cast<int>(width), static_cast<int>(height), error);
    if (image.isNull())
        return fail(error);
    float xres = 0;
    float yres = 0;
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres) &&
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres) && xres > 0 && yres > 0 &&
        yres * 1.5F < xres && (bilevel || static_cast<qint64>(width) * height * 2 <= kMaxPixels)) {
        image = image.scaled(image.width(), image.height() * 2, Qt::IgnoreAspectRatio,
                             Qt::FastTransformation);
        yres *= 2;
    }
    if (xres > 0 && yres > 0) {
        std::uint16_t unit = RESUNIT_INCH;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        const double perMetre = unit == RESUNIT_CENTIMETER ? 100.0 : 100.0 / 2.54;
        image.setDotsPerMeterX(static_cast<int>(std::lround(xres * perMetre)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(yres * perMetre)));
    }
    return image;
}

QImage TiffPages::DecodeBilevel(int width, int height, bool minIsBlack, QString& error) {
    QImage image(width, height, QImage::Format_Mono);
    if (image.isNull()) {
        error = QStringLiteral("out of memory");
        return {};
    }
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    image.setColorTable(minIsBlack ? QList<QRgb>{black, white} : QList<QRgb>{white, black});
    const tmsize_t lineSize = TIFFScanlineSize(m_tiff.Handle());
    if (lineSize != (width + 7) / 8) {
        error = QStringLiteral("unexpected row size");
        return {};
    }
    for (int y = 0; y < height; ++y) {
        if (TIFFReadScanline(m_tiff.Handle(), image.scanLine(y), static_cast<std::uint32_t>(y)) <
            0) {
            error = m_tiff.Error().isEmpty() ? QStringLiteral("row %1 cannot be read").arg(y + 1)
                                             : m_tiff.Error();
            return {};
        }
    }
    return image;
}

QImage TiffPages::DecodeColour(int width, int height, QString& error) {
    if (static_cast<qint64>(width) * height > kMaxPixels) {
        error = QStringLiteral("%1 x %2 pixels are too many").arg(width).arg(height);
        return {};
    }
    // libtiff's RGBA words hold R in their lowest byte: R, G, B, A in memory on this
    // little-endian machine.
    QImage image(width, height, QImage::Format_RGBA8888);
    if (image.isNull()) {
        error = QStringLiteral("out of memory");
        return {};
    }
    if (!TIFFReadRGBAImageOriented(
            m_tiff.Handle(), static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
            reinterpret_cast<std::uint32_t*>(image.bits()), ORIENTATION_TOPLEFT, 0)) {
        error = m_tiff.Error().isEmpty() ? QStringLiteral("cannot be decoded") : m_tiff.Error();
        return {};
    }
    return image;
}

} // namespace faxapp
