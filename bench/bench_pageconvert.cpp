// Converting one A4 page bitmap of 1728 x 2300 pixels (24 bit: text bars, a grey wedge, a
// noisy photo-like field) into its JPEG and SFF pages, timed step by step.
//   bench_pageconvert [runs]     (default 5)

#include "faxapp/faxtiff/PageConverter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>

using namespace faxapp;

namespace {

QByteArray TestBitmap() {
    QImage page(1728, 2300, QImage::Format_RGB32);
    page.fill(Qt::white);
    QRandomGenerator random(7);
    for (int y = 0; y < page.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(page.scanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (y < 800 && (y / 20) % 3 == 0 && x > 100 && x < 1600 && (x / 9) % 7 != 0)
                line[x] = qRgb(0, 0, 0);
            else if (y >= 900 && y < 1300)
                line[x] = qRgb(x * 255 / 1728, x * 255 / 1728, 200);
            else if (y >= 1400 && y < 2200 && x > 200 && x < 1500)
                line[x] = qRgb(int(random.bounded(256)), (x + y) % 256, 120);
        }
    }
    page.setDotsPerMeterX(7874);
    page.setDotsPerMeterY(7874);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "BMP");
    return bmp;
}

double Ms(QElapsedTimer& timer) {
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    const QByteArray bmp = TestBitmap();
    std::printf("bitmap %lld bytes\n", static_cast<long long>(bmp.size()));
    std::printf("   read  grey dither   sff  jpeg  total (ms)\n");
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        QElapsedTimer total;
        timer.start();
        total.start();
        QImage page;
        BmpInfo info;
        QString error;
        if (!BmpReader::Read(bmp, page, info, error))
            return 1;
        const double read = Ms(timer);
        const QImage grey = PageConverter::FaxGrey(page, PageConverter::FaxRows(info));
        const double scale = Ms(timer);
        const BilevelPage dots = PageDither::Dither(grey);
        const double dither = Ms(timer);
        const QByteArray sff = PageConverter::EncodeSff(dots);
        const double encode = Ms(timer);
        const QByteArray jpeg = PageConverter::EncodeJpeg(page);
        const double jpg = Ms(timer);
        std::printf("%7.1f %5.1f %6.1f %5.1f %5.1f %6.1f   (%d rows, SFF %lld, JPEG %lld bytes)\n",
                    read, scale, dither, encode, jpg,
                    static_cast<double>(total.nsecsElapsed()) / 1e6, dots.rows,
                    static_cast<long long>(sff.size()), static_cast<long long>(jpeg.size()));
    }
    return 0;
}
