// The viewer's window on a real document: it opens on page 1 fitted to the width, pages turn
// by the tool bar, the page number and Page Up/Down, zoom leaves fit-to-width, and a page
// that cannot be decoded is reported without ending the window. A received fax's normal pages
// show at their true proportions.

#include "FaxTiffs.h"
#include "fax/SffWriter.h"
#include "faxapp/pages/PrintPages.h"
#include "faxapp/ui/PageView.h"
#include "faxapp/ui/ViewerWindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

using namespace faxapp;

namespace {

// Pages whose first row has page-number + 1 black pixels, so that a page tells its number.
std::unique_ptr<PrintPages> Numbered(int count) {
    SffWriter writer;
    std::vector<unsigned char> row(SffWriter::kStandardWidth / 8);
    for (int p = 0; p < count; ++p) {
        writer.BeginPage(p % 2 == 0 ? 196 : 98);
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x <= p; ++x)
            row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        writer.AddBitRow(row.data(), SffWriter::kStandardWidth);
        writer.AddBlankRows(99);
    }
    auto pages = std::make_unique<PrintPages>();
    if (!pages->OpenBytes(writer.Finish(), "Fax.sff"))
        qFatal("test document");
    return pages;
}

int BlackInFirstRow(const QImage& page) {
    int n = 0;
    for (int x = 0; x < page.width(); ++x)
        n += qGray(page.pixel(x, 0)) < 128 ? 1 : 0;
    return n;
}

} // namespace

class TestViewerWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void navigation();
    void zoom();
    void reducedPage_data();
    void reducedPage();
    void wheelRotateAndPdf();
    void receivedFaxProportions();
};

void TestViewerWindow::navigation() {
    ViewerWindow window(Numbered(5), "Fax.sff");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.windowTitle().startsWith("Fax.sff \u2013 KALMO!fax Betrachter"));
    QCOMPARE(window.CurrentPage(), 0);
    QCOMPARE(BlackInFirstRow(window.CurrentImage()), 1);
    const auto trigger = [&](const char* name) {
        window.findChild<QAction*>(name)->trigger();
        return window.CurrentPage();
    };
    QCOMPARE(trigger("actionNext"), 1);
    QCOMPARE(window.CurrentImage().height(), 200); // normal page: rows doubled
    QCOMPARE(trigger("actionLast"), 4);
    QCOMPARE(trigger("actionNext"), 4); // stays on the last page
    QCOMPARE(trigger("actionPrevious"), 3);
    QCOMPARE(trigger("actionFirst"), 0);
    QCOMPARE(trigger("actionPrevious"), 0);
    QTest::keyClick(&window, Qt::Key_PageDown);
    QTest::keyClick(&window, Qt::Key_PageDown);
    QCOMPARE(window.CurrentPage(), 2);
    QTest::keyClick(&window, Qt::Key_PageUp);
    QCOMPARE(window.CurrentPage(), 1);
    auto* number = window.findChild<QSpinBox*>("pageNumber");
    QCOMPARE(number->value(), 2);
    QCOMPARE(number->maximum(), 5);
    number->setValue(4);
    QCOMPARE(window.CurrentPage(), 3);
    QCOMPARE(BlackInFirstRow(window.CurrentImage()), 4);
}

void TestViewerWindow::zoom() {
    ViewerWindow window(Numbered(2), "Fax.sff");
    window.resize(600, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.FitsWidth());
    // Fitted: the page as wide as the window leaves room for, its height at the fax's aspect.
    const QSize fitted = window.View()->size();
    QVERIFY2(fitted.width() > 400 && fitted.width() < 600,
             qPrintable(QString::number(fitted.width())));
    QCOMPARE(fitted.height(), qRound(fitted.width() * 100.0 / 1728 * 8031 / 7717));
    window.findChild<QAction*>("actionZoomIn")->trigger();
    QVERIFY(!window.FitsWidth());
    QVERIFY(window.View()->width() > fitted.width());
    window.findChild<QAction*>("actionZoomOut")->trigger();
    window.findChild<QAction*>("actionZoomOut")->trigger();
    QVERIFY(window.View()->width() < fitted.width());
    window.findChild<QAction*>("actionFitWidth")->trigger();
    QCOMPARE(window.View()->size(), fitted);
    // A wider window fits the page again while fitting; a zoomed page keeps its size.
    window.resize(900, 700);
    QTRY_VERIFY(window.View()->width() > fitted.width());
}

void TestViewerWindow::reducedPage_data() {
    QTest::addColumn<bool>("blackIsOne");
    QTest::addColumn<int>("width");
    QTest::newRow("black is 1") << true << 300;
    QTest::newRow("black is 0") << false << 300;
    QTest::newRow("row ends inside a byte") << true << 301;
}

void TestViewerWindow::reducedPage() {
    // A 1-bit page drawn smaller: left half black, right half a checkerboard of single
    // pixels, which must come out grey, not black or white as dropped pixels would. It is
    // painted in two parts, as scrolling does, so that rows made later are checked too.
    QFETCH(bool, blackIsOne);
    QFETCH(int, width);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    QImage page(width, 200, QImage::Format_Mono);
    page.setColorTable(blackIsOne ? QList<QRgb>{white, black} : QList<QRgb>{black, white});
    const uint blackIndex = blackIsOne ? 1 : 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            page.setPixel(x, y, x < 150 || (x + y) % 2 == 1 ? blackIndex : 1 - blackIndex);
    PageView view;
    view.SetPage(page, QSize(100, 70));
    QImage top(100, 10, QImage::Format_ARGB32);
    view.render(&top, QPoint(), QRegion(0, 0, 100, 10));
    QCOMPARE(qGray(top.pixel(10, 5)), 0);
    const QImage shown = view.grab().toImage();
    QCOMPARE(shown.size(), QSize(100, 70));
    for (const QPoint& at : {QPoint(10, 5), QPoint(10, 40)})
        QCOMPARE(qGray(shown.pixel(at)), 0);
    for (const QPoint& at : {QPoint(80, 5), QPoint(80, 30), QPoint(99, 69)})
        QVERIFY2(std::abs(qGray(shown.pixel(at)) - 128) < 30,
                 qPrintable(QString::number(qGray(shown.pixel(at)))));
}

// Ctrl and the wheel zoom and the level shows; a quarter turn swaps the page's sides; the
// document saved as PDF has a page a fax page, each as large as the fax page is.
void TestViewerWindow::wheelRotateAndPdf() {
    ViewerWindow window(Numbered(2), "Fax.sff");
    window.resize(600, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize fitted = window.View()->size();
    QWidget* viewport = window.View()->parentWidget();
    QWheelEvent wheel(QPointF(50, 50), viewport->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QVERIFY(!window.FitsWidth());
    QVERIFY(window.View()->width() > fitted.width());
    const QString percent = QLocale().toString(qRound(window.Zoom() * 100)) + " %";
    QVERIFY2(window.statusBar()->findChild<QLabel*>()->text().endsWith(percent),
             qPrintable(window.statusBar()->findChild<QLabel*>()->text()));

    const QSize before = window.View()->size();
    window.findChild<QAction*>("actionRotate")->trigger();
    QCOMPARE(window.Rotation(), 90);
    // The same page on its side: its sides' ratio turned round.
    const QSize after = window.View()->size();
    const double ratio = double(after.height()) / after.width();
    QVERIFY2(qAbs(ratio / (double(before.width()) / before.height()) - 1) < 0.03,
             qPrintable(QStringLiteral("%1x%2 -> %3x%4")
                            .arg(before.width())
                            .arg(before.height())
                            .arg(after.width())
                            .arg(after.height())));

    QTemporaryDir dir;
    const QString pdf = dir.filePath("Fax.pdf");
    QVERIFY(window.WritePdf(pdf));
    QCOMPARE(QFile::permissions(pdf) & 0x0077, QFileDevice::Permissions());
    QProcess info;
    info.start("pdfinfo", {"-f", "1", "-l", "2", pdf});
    QVERIFY(info.waitForFinished(20000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression("Pages: +2\\n")), qPrintable(text));
    // 1728 x 100 pixels at 204 x 196 dpi (fine), then at 204 x 98 dpi (standard): 609.9 pt wide,
    // 36.7 pt and 73.5 pt high (the writer gives whole points).
    QVERIFY2(text.contains(
                 QRegularExpression("Page +1 size: +6(09|10)(\\.\\d+)? x 3[67](\\.\\d+)? pts")),
             qPrintable(text));
    QVERIFY2(text.contains(
                 QRegularExpression("Page +2 size: +6(09|10)(\\.\\d+)? x 7[34](\\.\\d+)? pts")),
             qPrintable(text));
}

// 204 x 98 dpi: a normal page's rows stand twice as far apart as its columns, so it shows as
// tall as a fine page of the same paper, and its bar (one inch square on page 1) square.
void TestViewerWindow::receivedFaxProportions() {
    QTemporaryDir dir;
    const QString tiff = dir.filePath("fax000000012.tif");
    QVERIFY(WriteFaxTiff(tiff, {false, true}));
    auto pages = std::make_unique<PrintPages>();
    QVERIFY(pages->Open(tiff));
    ViewerWindow window(std::move(pages), "fax000000012.tif");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize normal = window.View()->sizeHint();
    QVERIFY2(qAbs(double(normal.height()) / normal.width() - 2286.0 / 196 / (1728.0 / 204)) < 0.01,
             qPrintable(QStringLiteral("%1 x %2").arg(normal.width()).arg(normal.height())));
    const QImage page = window.CurrentImage();
    const auto black = [&](double xInch, double yInch) {
        return qGray(page.pixel(int(xInch * page.dotsPerMeterX() * 0.0254),
                                int(yInch * page.dotsPerMeterY() * 0.0254))) < 128;
    };
    QVERIFY(black(1.1, 1.1) && black(1.9, 1.9));
    QVERIFY(!black(1.5, 2.1) && !black(2.1, 1.5));
    window.NextPage();
    QCOMPARE(window.View()->sizeHint(), normal);
}

QTEST_MAIN(TestViewerWindow)
#include "tst_viewerwindow.moc"
