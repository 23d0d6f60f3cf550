// PCX print files as the viewer and the fax TIFF decode them, any bytes. A picture is one
// page or none, and then says why; a decoded page is as large as the header says and within
// the page limits; and a decoded page, coded again as PCX (runs across rows, as writers make
// them), decodes to the same pixels and palette.

#include "FuzzInput.h"
#include "faxapp/pages/PcxDecoder.h"

#include <cstring>

namespace {

int Le16(const QByteArray& bytes, qsizetype at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

void PutLe16(QByteArray& bytes, qsizetype at, int value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

// The image as a PCX file of minimal rows; runs of at most 63 bytes.
QByteArray EncodePcx(const QImage& image) {
    const bool mono = image.format() == QImage::Format_Mono;
    const bool indexed = image.format() == QImage::Format_Indexed8;
    const int bits = mono ? 1 : 8;
    const int planes = mono || indexed ? 1 : 3;
    const int width = image.width();
    const int bytesPerLine = (width * bits + 7) / 8;
    QByteArray file(128, '\0');
    file[0] = 0x0A;
    file[1] = 5;
    file[2] = 1;
    file[3] = static_cast<char>(bits);
    PutLe16(file, 8, width - 1);
    PutLe16(file, 10, image.height() - 1);
    file[65] = static_cast<char>(planes);
    PutLe16(file, 66, bytesPerLine);
    QByteArray plain;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        if (planes == 1) {
            plain.append(reinterpret_cast<const char*>(line), bytesPerLine);
            continue;
        }
        for (int p = 0; p < 3; ++p)
            for (int x = 0; x < width; ++x)
                plain.append(static_cast<char>(line[3 * x + p]));
    }
    for (qsizetype i = 0; i < plain.size();) {
        const char value = plain[i];
        qsizetype run = 1;
        while (i + run < plain.size() && plain[i + run] == value && run < 63)
            ++run;
        if (run > 1 || (static_cast<unsigned char>(value) & 0xC0) == 0xC0)
            file.append(static_cast<char>(0xC0 | run));
        file.append(value);
        i += run;
    }
    if (indexed) {
        file.append('\x0C');
        const QList<QRgb> palette = image.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb c = palette.value(i);
            file.append(static_cast<char>(qRed(c)));
            file.append(static_cast<char>(qGreen(c)));
            file.append(static_cast<char>(qBlue(c)));
        }
    }
    return file;
}

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.format() != b.format() || a.size() != b.size() || a.colorTable() != b.colorTable())
        return false;
    const int bytes = a.format() == QImage::Format_Mono       ? (a.width() + 7) / 8
                      : a.format() == QImage::Format_Indexed8 ? a.width()
                                                              : 3 * a.width();
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), static_cast<std::size_t>(bytes)) !=
            0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    faxapp::PcxDecoder pcx(bytes);
    FUZZ_CHECK(pcx.PageCount() == (pcx.Problem().isEmpty() ? 1 : 0));
    QString error;
    FUZZ_CHECK(pcx.DecodePage(1, error).isNull() && !error.isEmpty());
    if (pcx.PageCount() == 0)
        return 0;
    error.clear();
    const QImage page = pcx.DecodePage(0, error);
    if (page.isNull()) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(page.width() == Le16(bytes, 8) - Le16(bytes, 4) + 1);
    FUZZ_CHECK(page.height() == Le16(bytes, 10) - Le16(bytes, 6) + 1);
    FUZZ_CHECK(page.width() <= faxapp::kMaxPageWidth && page.height() <= faxapp::kMaxPageRows);
    const int bits = static_cast<unsigned char>(bytes[3]);
    const int planes = static_cast<unsigned char>(bytes[65]);
    FUZZ_CHECK(page.format() == (bits == 1     ? QImage::Format_Mono
                                 : planes == 1 ? QImage::Format_Indexed8
                                               : QImage::Format_RGB888));
    if (static_cast<qint64>(page.width()) * page.height() > 1'000'000)
        return 0; // right but slow: the fuzzer's time goes to the small ones

    faxapp::PcxDecoder again(EncodePcx(page));
    FUZZ_CHECK(again.Problem().isEmpty());
    const QImage back = again.DecodePage(0, error);
    FUZZ_CHECK(SamePixels(page, back));
    return 0;
}
