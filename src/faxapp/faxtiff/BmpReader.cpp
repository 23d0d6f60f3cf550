#include "faxapp/faxtiff/BmpReader.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <bit>

namespace faxapp {

namespace {

constexpr std::int64_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeader = 12; // the old header: 16-bit sizes, no compression
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kV4Header = 108;
constexpr std::uint32_t kV5Header = 124;

constexpr int kRgb = 0;
constexpr int kRle8 = 1;
constexpr int kRle4 = 2;
constexpr int kBitfields = 3;

std::uint32_t Le16(const QByteArray& bytes, std::int64_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return p[0] | std::uint32_t(p[1]) << 8;
}

std::uint32_t Le32(const QByteArray& bytes, std::int64_t at) {
    return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

// A colour mask must be one run of bits inside the pixel.
bool GoodMask(std::uint32_t mask, int bits) {
    if (mask == 0 || (bits < 32 && mask >> bits != 0))
        return false;
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

bool CheckMasks(const QByteArray& bytes, std::int64_t at, bool withAlpha, int bits,
                QString& error) {
    const std::uint32_t red = Le32(bytes, at);
    const std::uint32_t green = Le32(bytes, at + 4);
    const std::uint32_t blue = Le32(bytes, at + 8);
    const std::uint32_t alpha = withAlpha ? Le32(bytes, at + 12) : 0;
    if (!GoodMask(red, bits) || !GoodMask(green, bits) || !GoodMask(blue, bits) ||
        (alpha != 0 && !GoodMask(alpha, bits))) {
        error = QStringLiteral("bad colour masks");
        return false;
    }
    if ((red & green) != 0 || (red & blue) != 0 || (green & blue) != 0 ||
        ((red | green | blue) & alpha) != 0) {
        error = QStringLiteral("overlapping colour masks");
        return false;
    }
    return true;
}

bool Fail(QString& error, const char* what) {
    error = QString::fromLatin1(what);
    return false;
}

// Lays a bitmap with transparency on white paper. Some writers declare an alpha mask but
// leave that byte 0 throughout: such a page is opaque, not blank.
QImage OnWhite(const QImage& image) {
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < argb.height() && !anyAlpha; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        anyAlpha = std::any_of(line, line + argb.width(), [](QRgb c) { return qAlpha(c) != 0; });
    }
    if (!anyAlpha)
        return image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = line[x];
            const int a = qAlpha(c);
            const auto mix = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
            line[x] = qRgb(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)));
        }
    }
    return argb.convertToFormat(QImage::Format_RGB32);
}

} // namespace

bool BmpReader::CheckHeader(const QByteArray& bytes, BmpInfo& info, QString& error) {
    info = {};
    const std::int64_t fileSize = bytes.size();
    if (fileSize < kFileHeaderSize + 4)
        return Fail(error, "too short for a bitmap");
    if (bytes[0] != 'B' || bytes[1] != 'M')
        return Fail(error, "bad magic (not a BMP file)");
    // Some writers leave the size 0; one beyond the file means the file was cut short, and
    // bytes after the size are not the bitmap's.
    const std::int64_t declared = Le32(bytes, 2);
    if (declared > fileSize)
        return Fail(error, "file size in the header does not match the file (truncated?)");
    const std::int64_t size = declared == 0 ? fileSize : declared;
    const std::int64_t pixelsAt = Le32(bytes, 10);

    const std::uint32_t headerSize = Le32(bytes, kFileHeaderSize);
    if (headerSize != kCoreHeader && headerSize != kInfoHeader && headerSize != kV4Header &&
        headerSize != kV5Header)
        return Fail(error, "unsupported info header size");
    if (kFileHeaderSize + headerSize > size)
        return Fail(error, "info header beyond the end of the file");

    const std::int64_t h = kFileHeaderSize;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t compression = kRgb;
    std::int64_t colours = 0;
    if (headerSize == kCoreHeader) {
        width = Le16(bytes, h + 4);
        height = Le16(bytes, h + 6);
        planes = Le16(bytes, h + 8);
        info.bitsPerPixel = static_cast<int>(Le16(bytes, h + 10));
    } else {
        width = static_cast<std::int32_t>(Le32(bytes, h + 4));
        height = static_cast<std::int32_t>(Le32(bytes, h + 8));
        planes = Le16(bytes, h + 12);
        info.bitsPerPixel = static_cast<int>(Le16(bytes, h + 14));
        compression = Le32(bytes, h + 16);
        const auto dpmX = static_cast<std::int32_t>(Le32(bytes, h + 24));
        const auto dpmY = static_cast<std::int32_t>(Le32(bytes, h + 28));
        // A resolution counts only when both directions have one.
        if (dpmX > 0 && dpmY > 0) {
            info.dotsPerMetreX = dpmX;
            info.dotsPerMetreY = dpmY;
        }
        colours = Le32(bytes, h + 32);
    }
    const int bits = info.bitsPerPixel;
    if (planes != 1)
        return Fail(error, "bad number of planes");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Fail(error, "unsupported bits per pixel");
    if (headerSize == kCoreHeader && bits > 8 && bits != 24)
        return Fail(error, "unsupported bits per pixel");
    if (width < 1 || width > kMaxWidth)
        return Fail(error, "width out of range (1 to 20000)");
    info.topDown = height < 0;
    if (height < 0)
        height = -height;
    if (height < 1 || height > kMaxHeight)
        return Fail(error, "height out of range (1 to 30000)");
    if (width * height > kMaxPixels)
        return Fail(error, "too many pixels");
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);

    info.compression = static_cast<int>(compression);
    const bool rle = (compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4);
    if (compression != kRgb && !rle && !(compression == kBitfields && (bits == 16 || bits == 32)))
        return Fail(error, "unsupported compression");
    if (rle && info.topDown)
        return Fail(error, "compressed bitmap stored top-down");

    std::int64_t paletteAt = h + headerSize;
    if (compression == kBitfields) {
        const bool inHeader = headerSize >= kV4Header;
        const std::int64_t masksAt = inHeader ? h + 40 : paletteAt;
        if (!inHeader)
            paletteAt += 12;
        if (paletteAt > size)
            return Fail(error, "colour masks beyond the end of the file");
        if (!CheckMasks(bytes, masksAt, inHeader, bits, error))
            return false;
    }
    if (bits <= 8) {
        if (colours == 0)
            colours = std::int64_t(1) << bits;
        if (colours > std::int64_t(1) << bits)
            return Fail(error, "palette larger than the bits allow");
    }
    const std::int64_t paletteEnd = paletteAt + colours * (headerSize == kCoreHeader ? 3 : 4);
    if (paletteEnd > size)
        return Fail(error, "palette beyond the end of the file");
    if (pixelsAt < paletteEnd)
        return Fail(error, "pixel data overlaps the headers or the palette");
    if (pixelsAt >= size)
        return Fail(error, "pixel data beyond the end of the file");
    if (!rle) {
        const std::int64_t stride = (width * bits + 31) / 32 * 4;
        if (stride * height > size - pixelsAt)
            return Fail(error, "pixel data truncated");
    }
    return true;
}

bool BmpReader::Read(const QByteArray& bytes, QImage& image, BmpInfo& info, QString& error) {
    image = QImage();
    if (!CheckHeader(bytes, info, error))
        return false;
    QByteArray data = bytes; // shared, not copied: the buffer only reads
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage decoded;
    if (!reader.read(&decoded) || decoded.isNull())
        return Fail(error, "cannot decode the pixel data");
    if (decoded.width() != info.width || decoded.height() != info.height)
        return Fail(error, "decoded size differs from the header");
    image = decoded.hasAlphaChannel() ? OnWhite(decoded)
                                      : decoded.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return Fail(error, "out of memory");
    return true;
}

} // namespace faxapp
