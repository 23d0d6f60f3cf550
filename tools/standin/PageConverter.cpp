#include "PageConverter.h"

#include "fax/SffWriter.h"
#include "support/PathUtil.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <cmath>
#include <cstdio>
#include <vector>

namespace standin {

namespace {

constexpr double kMetresPerInch = 0.0254;

// Fine mode for pages rendered at 150 dots per inch or more.
int FaxResolution(const QImage& page) {
    const double dpi = page.dotsPerMeterY() * kMetresPerInch;
    return dpi >= 150.0 ? 196 : 98;
}

QByteArray BlackAndWhitePage(const QImage& page) {
    const int resolution = FaxResolution(page);
    const int width = SffWriter::kStandardWidth;
    // A fax row has 1728 pixels at about 203 per inch; rows follow the vertical resolution.
    const double scale = double(width) / page.width();
    const int rows =
        std::max(1, static_cast<int>(std::lround(page.height() * scale * resolution / 203.0)));
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8)
                            .scaled(width, rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    SffWriter writer;
    writer.BeginPage(resolution, width);
    std::vector<unsigned char> bits(static_cast<std::size_t>(width + 7) / 8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        std::fill(bits.begin(), bits.end(), 0);
        bool any = false;
        for (int x = 0; x < width; ++x) {
            if (line[x] < 128) {
                bits[static_cast<std::size_t>(x / 8)] |= static_cast<unsigned char>(0x80 >> x % 8);
                any = true;
            }
        }
        if (any)
            writer.AddBitRow(bits.data(), width);
        else
            writer.AddBlankRows(1);
    }
    return writer.Finish();
}

} // namespace

int RunPageConverter(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: R3ozav.exe <bitmap> <output>\n");
        return 2;
    }
    QCoreApplication app(argc, argv); // image format plug-ins are found through it
    const QString bitmap = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QImage page;
    if (!page.load(bitmap) || page.isNull() || page.width() <= 0) {
        std::fprintf(stderr, "R3ozav.exe: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!page.convertToFormat(QImage::Format_RGB32).save(output, "JPEG", 85)) {
        std::fprintf(stderr, "R3ozav.exe: cannot write %s\n", argv[2]);
        return 1;
    }
    QSaveFile sff(StripExtension(bitmap) + QStringLiteral(".SFF"));
    const QByteArray document = BlackAndWhitePage(page);
    if (!sff.open(QIODevice::WriteOnly) || sff.write(document) != document.size() ||
        !sff.commit()) {
        std::fprintf(stderr, "R3ozav.exe: cannot write the SFF page\n");
        return 1;
    }
    return 0;
}

} // namespace standin
