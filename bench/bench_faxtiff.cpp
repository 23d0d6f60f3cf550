// The fax TIFF for the fax server: FaxTiff::Write turning a 100-page SFF document (fine
// pages, every tenth normal) into a TIFF of G3 pages, against sfftobmp writing the same
// document as a multi-page G3 TIFF; then both files' pages compared dot for dot. See
// bench/README.md.

#include "ShownTime.h"
#include "TextLikeSff.h"
#include "faxapp/faxtiff/FaxTiff.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace {

double MedianMs(std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : static_cast<double>(v[v.size() / 2]) / 1000;
}

double LeastMs(const std::vector<long long>& v) {
    return v.empty() ? 0 : static_cast<double>(*std::min_element(v.begin(), v.end())) / 1000;
}

// Microseconds of one FaxTiff::Write into a fresh file; -1 on failure.
long long TimeWrite(const QString& sff, faxapp::FaxTiff::Rows rows, const QString& tiff) {
    QFile::remove(tiff);
    const long long start = NowMicros();
    const faxapp::FaxTiffResult result =
        faxapp::FaxTiff::Write(sff, QStringLiteral("SFF"), rows, tiff);
    const long long took = NowMicros() - start;
    if (!result.error.isEmpty()) {
        std::fprintf(stderr, "FaxTiff::Write: %s\n", qPrintable(result.error));
        return -1;
    }
    return took;
}

// Microseconds of sfftobmp -t (its process included); -1 on failure.
long long TimeSfftobmp(const QString& sff, const QString& tiff) {
    QFile::remove(tiff);
    const long long start = NowMicros();
    const int rc =
        QProcess::execute(QStringLiteral("sfftobmp"), {QStringLiteral("-q"), QStringLiteral("-t"),
                                                       sff, QStringLiteral("-o"), tiff});
    const long long took = NowMicros() - start;
    if (rc != 0) {
        std::fprintf(stderr, "sfftobmp failed (%d)\n", rc);
        return -1;
    }
    return took;
}

// Whether two fax TIFF files show the same dots on every page; the first difference if not.
QString Difference(const QString& a, const QString& b) {
    TIFF* one = TIFFOpen(a.toLocal8Bit().constData(), "r");
    TIFF* two = TIFFOpen(b.toLocal8Bit().constData(), "r");
    QString difference;
    if (!one || !two)
        difference = QStringLiteral("cannot open");
    for (int page = 1; difference.isEmpty(); ++page) {
        std::uint32_t rows[2] = {};
        std::uint32_t widths[2] = {};
        TIFFGetField(one, TIFFTAG_IMAGELENGTH, &rows[0]);
        TIFFGetField(two, TIFFTAG_IMAGELENGTH, &rows[1]);
        TIFFGetField(one, TIFFTAG_IMAGEWIDTH, &widths[0]);
        TIFFGetField(two, TIFFTAG_IMAGEWIDTH, &widths[1]);
        if (rows[0] != rows[1] || widths[0] != 1728 || widths[1] != 1728)
            difference = QStringLiteral("page %1: size").arg(page);
        std::vector<unsigned char> lines[2] = {std::vector<unsigned char>(216),
                                               std::vector<unsigned char>(216)};
        for (std::uint32_t y = 0; y < rows[0] && difference.isEmpty(); ++y) {
            if (TIFFReadScanline(one, lines[0].data(), y, 0) < 0 ||
                TIFFReadScanline(two, lines[1].data(), y, 0) < 0 || lines[0] != lines[1])
                difference = QStringLiteral("page %1 row %2").arg(page).arg(y);
        }
        const bool more[2] = {TIFFReadDirectory(one) != 0, TIFFReadDirectory(two) != 0};
        if (more[0] != more[1])
            difference = QStringLiteral("page count");
        if (!more[0])
            break;
    }
    if (one)
        TIFFClose(one);
    if (two)
        TIFFClose(two);
    return difference;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    // The folder decides what putting the file on the disk costs: give one on a real disk.
    const auto dir = argc > 2 ? std::make_unique<QTemporaryDir>(QString::fromLocal8Bit(argv[2]) +
                                                                QStringLiteral("/faxtiff-XXXXXX"))
                              : std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) {
        std::fprintf(stderr, "usage: bench_faxtiff [runs] [folder]\n");
        return 2;
    }
    const QString sff = dir->filePath(QStringLiteral("hundred.sff"));
    {
        QFile file(sff);
        if (!file.open(QIODevice::WriteOnly) || file.write(TextLikeSff(100, 10)) < 0)
            return 1;
    }
    std::printf("document: 100 pages (90 fine, 10 normal), %lld bytes, in %s\n",
                static_cast<long long>(QFile(sff).size()), qPrintable(dir->path()));

    std::vector<long long> fine;
    std::vector<long long> normal;
    std::vector<long long> theirs;
    const QString ours = dir->filePath(QStringLiteral("ours.tif"));
    const QString other = dir->filePath(QStringLiteral("sfftobmp.tif"));
    for (int i = 0; i < runs; ++i) { // alternating, so that the load falls on all alike
        fine.push_back(TimeWrite(sff, faxapp::FaxTiff::Rows::Fine, ours));
        normal.push_back(TimeWrite(sff, faxapp::FaxTiff::Rows::Normal, ours));
        theirs.push_back(TimeSfftobmp(sff, other));
        if (fine.back() < 0 || normal.back() < 0 || theirs.back() < 0)
            return 1;
    }
    if (TimeWrite(sff, faxapp::FaxTiff::Rows::Fine, ours) < 0) // the fine file, to compare
        return 1;
    const auto ourSize = static_cast<long long>(QFile(ours).size());
    std::printf("FaxTiff::Write, fine rows:   median %.1f ms (least %.1f), %lld bytes\n",
                MedianMs(fine), LeastMs(fine), ourSize);
    std::printf("FaxTiff::Write, normal rows: median %.1f ms (least %.1f)\n", MedianMs(normal),
                LeastMs(normal));
    std::printf("sfftobmp -t:                 median %.1f ms (least %.1f), %lld bytes\n",
                MedianMs(theirs), LeastMs(theirs), static_cast<long long>(QFile(other).size()));
    std::printf("ratio sfftobmp / FaxTiff::Write (fine), medians: %.2f (%d runs)\n",
                MedianMs(theirs) / MedianMs(fine), runs);
    const QString difference = Difference(ours, other);
    std::printf("pages decoded by libtiff: %s\n",
                difference.isEmpty() ? "the same dots in both files"
                                     : qPrintable(QStringLiteral("differ (%1)").arg(difference)));
    return difference.isEmpty() ? 0 : 1;
}
