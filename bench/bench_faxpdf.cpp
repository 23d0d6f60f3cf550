// A received fax saved as PDF: a 20-page fine fax of typed text, made with the libtiff tools
// as G4 and as G3 (2-D, bytes filled LSB first, as a fax server keeps what it receives), each
// written as PDF by WritePagesPdf (as the viewer and the journal window save it) against
// tiff2pdf of the same file, alternating in one run; also once through the drawing path that
// other print files take. See bench/README.md.

#include "ShownTime.h"
#include "faxapp/pages/PagesPdf.h"
#include "faxapp/pages/PrintPages.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPages = 20;
constexpr int kWidth = 1728;
constexpr int kRows = 2286; // fine A4

double MedianMs(std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : static_cast<double>(v[v.size() / 2]) / 1000;
}

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return false;
    }
    return true;
}

// A page of typed text at 204 x 196 dpi (a 10 pt font is 27 rows high).
QImage TextPage(int number) {
    QImage page(kWidth, kRows, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    p.setFont(font);
    p.setPen(Qt::black);
    QRandomGenerator random(static_cast<quint32>(number));
    static const QStringList words =
        QStringLiteral("Sehr geehrte Damen und Herren wir bestätigen Ihren "
                       "Auftrag vom Lieferung Rechnung Betrag Zahlung Konto "
                       "freundlichen Grüßen Telefax Seite Datum Nummer")
            .split(u' ');
    p.drawText(150, 200, QStringLiteral("Seite %1 von %2").arg(number).arg(kPages));
    for (int y = 320; y < kRows - 200; y += 48) {
        QString line;
        while (line.size() < 85)
            line += words.at(int(random.bounded(qsizetype(words.size())))) + u' ';
        p.drawText(150, y, line);
    }
    p.end();
    return page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

// The fax as libtiff's tools make it: each page from a PBM with ppm2tiff, its rows set to
// fine resolution, then all pages into one file in the coding asked for, a strip a page.
bool MakeFax(const QTemporaryDir& dir, const QStringList& coding, const QString& fax) {
    QStringList pages;
    for (int n = 1; n <= kPages; ++n) {
        const QString pbm = dir.filePath(QStringLiteral("page%1.pbm").arg(n));
        const QString tif = dir.filePath(QStringLiteral("page%1.tif").arg(n));
        if (!QFile::exists(tif)) {
            if (!TextPage(n).save(pbm, "PBM") ||
                !Run(QStringLiteral("ppm2tiff"),
                     {QStringLiteral("-c"), QStringLiteral("g4"), QStringLiteral("-R"),
                      QStringLiteral("204"), pbm, tif}) ||
                !Run(QStringLiteral("tiffset"),
                     {QStringLiteral("-s"), QStringLiteral("283"), QStringLiteral("196"), tif}))
                return false;
        }
        pages.append(tif);
    }
    return Run(QStringLiteral("tiffcp"),
               coding + QStringList{QStringLiteral("-r"), QString::number(kRows)} + pages +
                   QStringList{fax});
}

long long TimeOurs(const QString& fax, const QString& pdf) {
    QFile::remove(pdf);
    const long long start = NowMicros();
    faxapp::PrintPages pages;
    if (!pages.Open(fax))
        return -1;
    const Result<void> written = faxapp::WritePagesPdf(pdf, pages, QStringLiteral("Fax"));
    const long long took = NowMicros() - start;
    if (!written) {
        std::fprintf(stderr, "WritePagesPdf: %s\n", qPrintable(written.Error().Text()));
        return -1;
    }
    return took;
}

// The drawing path: every page decoded and drawn by QPdfWriter.
long long TimeDrawn(const QString& fax, const QString& pdf) {
    QFile::remove(pdf);
    const long long start = NowMicros();
    faxapp::PrintPages pages;
    if (!pages.Open(fax))
        return -1;
    const Result<void> written =
        faxapp::WritePagesPdf(pdf, pages.PageCount(), [&pages](int index, QString& error) {
            QImage image = pages.Page(index);
            if (image.isNull())
                error = pages.Error();
            return image;
        });
    const long long took = NowMicros() - start;
    return written ? took : -1;
}

long long TimeTiff2pdf(const QString& fax, const QString& pdf) {
    QFile::remove(pdf);
    const long long start = NowMicros();
    if (!Run(QStringLiteral("tiff2pdf"), {QStringLiteral("-o"), pdf, fax}))
        return -1;
    return NowMicros() - start;
}

QString PdfPages(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(30000);
    QStringList found;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(u"Pages:") || line.startsWith(u"Page size:"))
            found.append(line.simplified());
    }
    return found.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    struct Kind {
        const char* name;
        QStringList coding;
    };
    const Kind kinds[] = {
        {"G4", {QStringLiteral("-c"), QStringLiteral("g4")}},
        {"G3 2-D",
         {QStringLiteral("-c"), QStringLiteral("g3:2d:fill"), QStringLiteral("-f"),
          QStringLiteral("lsb2msb")}},
    };
    int status = 0;
    for (const Kind& kind : kinds) {
        const QString fax = dir.filePath(QStringLiteral("fax.tif"));
        QFile::remove(fax);
        if (!MakeFax(dir, kind.coding, fax))
            return 1;
        const QString ours = dir.filePath(QStringLiteral("ours.pdf"));
        const QString theirs = dir.filePath(QStringLiteral("tiff2pdf.pdf"));
        const QString drawn = dir.filePath(QStringLiteral("drawn.pdf"));
        std::vector<long long> ourTimes;
        std::vector<long long> theirTimes;
        for (int i = 0; i < runs; ++i) {
            ourTimes.push_back(TimeOurs(fax, ours));
            theirTimes.push_back(TimeTiff2pdf(fax, theirs));
            if (ourTimes.back() < 0 || theirTimes.back() < 0)
                return 1;
        }
        const long long drawnTime = TimeDrawn(fax, drawn);
        std::printf("%s fax: %d fine pages, %lld bytes\n", kind.name, kPages,
                    static_cast<long long>(QFile(fax).size()));
        std::printf("  WritePagesPdf: median %.1f ms, %lld bytes\n", MedianMs(ourTimes),
                    static_cast<long long>(QFile(ours).size()));
        std::printf("  tiff2pdf:      median %.1f ms, %lld bytes\n", MedianMs(theirTimes),
                    static_cast<long long>(QFile(theirs).size()));
        std::printf("  drawn by QPdfWriter (once): %.1f ms, %lld bytes\n",
                    static_cast<double>(drawnTime) / 1000,
                    static_cast<long long>(QFile(drawn).size()));
        const double ratio = MedianMs(ourTimes) / MedianMs(theirTimes);
        std::printf("  ratio WritePagesPdf / tiff2pdf: %.2f (%d runs)\n", ratio, runs);
        std::printf("  pdfinfo: ours %s; tiff2pdf %s\n", qPrintable(PdfPages(ours)),
                    qPrintable(PdfPages(theirs)));
        if (ratio > 2.0)
            status = 1;
    }
    return status;
}
