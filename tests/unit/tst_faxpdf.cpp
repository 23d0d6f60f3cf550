// A received TIFF fax saved as PDF and read back by poppler (pdfinfo, pdftoppm): a page per fax
// page at its size, the page's picture where it belongs at its resolution, whichever way the
// TIFF is coded; and the same fax as the SFF document the send dialog takes, dot for dot.

#include "FaxTiffs.h"
#include "fax/PrintFileFormat.h"
#include "fax/PrintFileInfo.h"
#include "faxapp/faxtiff/TiffSff.h"
#include "faxapp/pages/PagesPdf.h"
#include "faxapp/pages/PrintPages.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDpi = 36; // of the rendered pages: an inch is 36 pixels

QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

// "w x h" of each page in points, rounded.
QStringList PageSizes(const QString& pdf) {
    const QString info = Run("pdfinfo", {"-f", "1", "-l", "99", pdf});
    QStringList sizes;
    static const QRegularExpression size(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)");
    for (auto it = size.globalMatch(info); it.hasNext();) {
        const auto match = it.next();
        sizes << QStringLiteral("%1 x %2")
                     .arg(qRound(match.captured(1).toDouble()))
                     .arg(qRound(match.captured(2).toDouble()));
    }
    return sizes;
}

// Whether the rendered page shows page number's bar where it belongs and nothing around it,
// at kDpi: the bar spans one inch from the left to (number + 1) inches, one inch down to two.
QString BarProblem(const QImage& page, int number) {
    const auto black = [&](double xInch, double yInch) {
        return qGray(page.pixel(int(xInch * kDpi), int(yInch * kDpi))) < 128;
    };
    if (!black(1.5, 1.5) || !black(number + 0.8, 1.9) || !black(1.1, 1.1))
        return QStringLiteral("page %1: the bar is missing").arg(number);
    if (black(0.5, 0.5) || black(1.5, 2.2) || black(number + 1.2, 1.5) || black(1.5, 0.8))
        return QStringLiteral("page %1: black outside the bar").arg(number);
    return {};
}

} // namespace

class TestFaxPdf : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pagesAtTheirSize_data();
    void pagesAtTheirSize();
    void forwardedAsSff();
};

void TestFaxPdf::pagesAtTheirSize_data() {
    QTest::addColumn<QList<bool>>("fine");
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("photometric");
    QTest::addColumn<int>("rowsPerStrip");
    // A G4 page in one strip goes in as coded: bits of either order, black of either value.
    QTest::newRow("G4 in one strip")
        << QList<bool>{true, true} << COMPRESSION_CCITTFAX4 << PHOTOMETRIC_MINISWHITE << 0;
    QTest::newRow("G4, zero is black")
        << QList<bool>{true, false} << COMPRESSION_CCITTFAX4 << PHOTOMETRIC_MINISBLACK << 0;
    // Decoded: G3, and G4 in several strips; normal pages at their height.
    QTest::newRow("G3 fine and normal")
        << QList<bool>{true, false, true} << COMPRESSION_CCITTFAX3 << PHOTOMETRIC_MINISWHITE << 0;
    QTest::newRow("G4 in strips") << QList<bool>{false, true} << COMPRESSION_CCITTFAX4
                                  << PHOTOMETRIC_MINISWHITE << 64;
}

void TestFaxPdf::pagesAtTheirSize() {
    QFETCH(QList<bool>, fine);
    QFETCH(int, compression);
    QFETCH(int, photometric);
    QFETCH(int, rowsPerStrip);
    QTemporaryDir dir;
    const QString tiff = dir.filePath("fax.tif");
    QVERIFY(WriteFaxTiff(tiff, fine,
                         {compression, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS, FILLORDER_LSB2MSB,
                          photometric, rowsPerStrip}));
    faxapp::PrintPages pages;
    QVERIFY2(pages.Open(tiff), qPrintable(pages.Error()));
    const QString pdf = dir.filePath("fax.pdf");
    const Result<void> written = faxapp::WritePagesPdf(pdf, pages, "Fax von +49 711");
    QVERIFY2(written, qPrintable(written.Error().Text()));
    QVERIFY(!(QFile(pdf).permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                          QFileDevice::ReadOther | QFileDevice::WriteOther)));

    // 1728 dots at 204 dpi, 2286 rows at 196 lpi or 1143 at 98: 610 x 840 points.
    QCOMPARE(PageSizes(pdf), QStringList(fine.size(), "610 x 840"));
    QVERIFY(Run("pdfinfo", {pdf}).contains(QRegularExpression("Title:\\s+Fax von \\+49 711")));
    QCOMPARE(Run("pdftoppm", {"-r", QString::number(kDpi), "-gray", pdf, dir.filePath("page")}),
             QString());
    for (int number = 1; number <= fine.size(); ++number) {
        const QImage page(dir.filePath(QStringLiteral("page-%1.pgm").arg(number)));
        QVERIFY2(!page.isNull(), "page not rendered");
        QCOMPARE(BarProblem(page, number), QString());
    }
}

// The send dialog takes SFF: every page at the fax's resolution, showing the same dots.
void TestFaxPdf::forwardedAsSff() {
    QTemporaryDir dir;
    const QString tiff = dir.filePath("fax.tif");
    QVERIFY(WriteFaxTiff(tiff, {false, true},
                         {COMPRESSION_CCITTFAX3, 0, FILLORDER_LSB2MSB, PHOTOMETRIC_MINISWHITE, 0}));
    QFile file(tiff);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Result<QByteArray> sff = faxapp::TiffToSff(file.readAll());
    QVERIFY2(sff, sff ? "" : qPrintable(sff.Error().Text()));
    const QString sffPath = dir.filePath("fax.sff");
    QFile out(sffPath);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(*sff);
    out.close();
    QCOMPARE(CheckPrintFile(sffPath), PrintFileProblem::None);
    QCOMPARE(GetSffResolution(sffPath), 98); // the first page's, which the job is sent at

    faxapp::PrintPages original;
    faxapp::PrintPages forwarded;
    QVERIFY(original.Open(tiff));
    QVERIFY2(forwarded.Open(sffPath), qPrintable(forwarded.Error()));
    QCOMPARE(forwarded.Format(), kFormatSff);
    QCOMPARE(forwarded.PageCount(), 2);
    for (int index = 0; index < 2; ++index) {
        const QImage a = original.Page(index).convertToFormat(QImage::Format_Grayscale8);
        const QImage b = forwarded.Page(index).convertToFormat(QImage::Format_Grayscale8);
        QCOMPARE(b.size(), a.size());
        QVERIFY2(a == b, qPrintable(QStringLiteral("page %1 differs").arg(index + 1)));
    }

    QVERIFY(!faxapp::TiffToSff("II*\0 no TIFF"));
}

QTEST_MAIN(TestFaxPdf)
#include "tst_faxpdf.moc"
