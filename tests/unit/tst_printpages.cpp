// Print file pages as the viewer decodes them: SFF documents written by SffWriter compared
// pixel for pixel, TIFF made by libtiff, PCX, colour pages, text; malformed files end in an
// error, never a crash.

#include "fax/SffWriter.h"
#include "faxapp/pages/ColourPages.h"
#include "faxapp/pages/PrintPages.h"
#include "faxapp/pages/TextPages.h"

#include <QBuffer>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <tiffio.h>
#include <vector>

using namespace faxapp;

namespace {

using Rows = std::vector<std::vector<unsigned char>>; // bit rows, most significant bit first

bool Bit(const std::vector<unsigned char>& row, int x) {
    return (row[x / 8] >> (7 - x % 8) & 1) != 0;
}

// Rows of a named pattern; an empty row stands for a blank-row record.
Rows Pattern(const QString& name, int width, int height) {
    Rows rows;
    QRandomGenerator random(42);
    const int bytes = (width + 7) / 8;
    for (int y = 0; y < height; ++y) {
        std::vector<unsigned char> row(bytes, 0);
        if (name == u"stripes") { // vertical stripes of widening runs
            for (int x = 0; x < width; ++x)
                if ((x / (1 + y % 70)) % 2 == 1)
                    row[x / 8] |= 0x80 >> (x % 8);
        } else if (name == u"noise") { // short runs: rows longer than 216 coded bytes
            for (auto& b : row)
                b = static_cast<unsigned char>(random.bounded(256));
        } else if (name == u"blank gaps") {
            if (y % 5 != 0) {
                rows.push_back({});
                continue;
            }
            for (int x = y % width; x < width; x += 3)
                row[x / 8] |= 0x80 >> (x % 8);
        } else if (name == u"black") {
            std::fill(row.begin(), row.end(), 0xFF);
        }
        if (width % 8 != 0) // bits beyond the width are not part of the row
            row.back() &= static_cast<unsigned char>(0xFF << (8 - width % 8));
        rows.push_back(row);
    }
    return rows;
}

QByteArray SffOf(const Rows& rows, int resolution, int width) {
    SffWriter writer;
    writer.BeginPage(resolution, width);
    for (const auto& row : rows) {
        if (row.empty())
            writer.AddBlankRows(1);
        else
            writer.AddBitRow(row.data(), width);
    }
    return writer.Finish();
}

// Whether image shows rows (each repeated factor times); the first differing pixel if not.
QString Compare(const QImage& image, const Rows& rows, int width, int factor) {
    if (image.width() != width || image.height() != int(rows.size()) * factor)
        return QStringLiteral("size %1 x %2").arg(image.width()).arg(image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto& row = rows[y / factor];
        for (int x = 0; x < width; ++x) {
            const bool black = qGray(image.pixel(x, y)) < 128;
            if (black != (!row.empty() && Bit(row, x)))
                return QStringLiteral("pixel %1,%2").arg(x).arg(y);
        }
    }
    return {};
}

QByteArray WriteTiff(const QString& path, const Rows& rows, int width, float yres, int comp) {
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, int(rows.size()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, comp);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0F);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, yres);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        std::vector<unsigned char> row = rows[y];
        row.resize((width + 7) / 8);
        TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(tiff);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// PCX header for width x height with bits per pixel and planes; run-length data follows.
QByteArray PcxHeader(int width, int height, int bits, int planes, int bytesPerLine) {
    QByteArray h(128, '\0');
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 1;
    h[3] = char(bits);
    h[8] = char((width - 1) & 0xFF);
    h[9] = char((width - 1) >> 8);
    h[10] = char((height - 1) & 0xFF);
    h[11] = char((height - 1) >> 8);
    h[65] = char(planes);
    h[66] = char(bytesPerLine & 0xFF);
    h[67] = char(bytesPerLine >> 8);
    return h;
}

QByteArray Jpeg(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

} // namespace

class TestPrintPages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sffPage_data();
    void sffPage();
    void sffDamagedRows();
    void sffPages();
    void tiffPage_data();
    void tiffPage();
    void pcx_data();
    void pcx();
    void colour();
    void text();
    void malformed_data();
    void malformed();
};

void TestPrintPages::sffPage_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("stripes fine") << "stripes" << 196 << 1728 << 300;
    QTest::newRow("stripes normal") << "stripes" << 98 << 1728 << 150;
    QTest::newRow("noise, escape records") << "noise" << 196 << 1728 << 40;
    QTest::newRow("blank rows") << "blank gaps" << 196 << 1728 << 120;
    QTest::newRow("all black, wide") << "black" << 196 << 2560 << 10;
    QTest::newRow("odd width") << "stripes" << 98 << 1001 << 77;
}

void TestPrintPages::sffPage() {
    QFETCH(QString, pattern);
    QFETCH(int, resolution);
    QFETCH(int, width);
    QFETCH(int, height);
    const Rows rows = Pattern(pattern, width, height);
    PrintPages pages;
    QVERIFY2(pages.OpenBytes(SffOf(rows, resolution, width), "t.sff"), qPrintable(pages.Error()));
    QCOMPARE(pages.PageCount(), 1);
    const QImage image = pages.Page(0);
    QCOMPARE(Compare(image, rows, width, resolution == 98 ? 2 : 1), QString());
    QCOMPARE(pages.BadRows(), 0);
    QCOMPARE(pages.Problem(), QString());
    // From a file the document is read page by page: the same page.
    QTemporaryDir dir;
    QFile file(dir.filePath("t.sff"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(SffOf(rows, resolution, width));
    file.close();
    PrintPages fromFile;
    QVERIFY(fromFile.Open(file.fileName()));
    QCOMPARE(fromFile.Page(0), image);
}

void TestPrintPages::sffDamagedRows() {
    // Good rows around a row of an invalid code, a row cut short, a row the sender marked
    // damaged, and a row that codes more pixels than the line length: each damaged row is
    // white and counted, and the good rows after it are still right.
    const int width = 1728;
    const Rows good = Pattern(QStringLiteral("stripes"), width, 5);
    SffWriter writer;
    writer.BeginPage(196, width);
    const QByteArray longRow = SffWriter::EncodeRow(good[1].data(), width);
    writer.AddBitRow(good[0].data(), width);
    writer.AddCodedRow(QByteArray(3, '\0')); // twelve zero bits: no code begins so
    writer.AddBitRow(good[1].data(), width);
    writer.AddCodedRow(longRow.left(longRow.size() / 2));
    writer.AddBitRow(good[2].data(), width);
    writer.AddRawRecord(QByteArray("\xFF\x00", 2));
    writer.AddBitRow(good[3].data(), width);
    std::vector<unsigned char> wide((width + 32) / 8, 0);
    for (int x = width - 20; x < width + 20; ++x) // a black run across the row's end
        wide[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
    writer.AddCodedRow(SffWriter::EncodeRow(wide.data(), width + 32));
    writer.AddBitRow(good[4].data(), width);
    PrintPages pages;
    QVERIFY(pages.OpenBytes(writer.Finish(), "t.sff"));
    const QImage image = pages.Page(0);
    const Rows expected = {good[0], {}, good[1], {}, good[2], {}, good[3], {}, good[4]};
    QCOMPARE(Compare(image, expected, width, 1), QString());
    QCOMPARE(pages.BadRows(), 4);
}

void TestPrintPages::sffPages() {
    // Pages of different widths and resolutions, user information between records.
    SffWriter writer;
    const Rows a = Pattern(QStringLiteral("stripes"), 1728, 20);
    const Rows b = Pattern(QStringLiteral("noise"), 864, 9);
    writer.BeginPage(196, 1728);
    for (const auto& row : a)
        writer.AddBitRow(row.data(), 1728);
    writer.BeginPage(98, 864);
    writer.AddRawRecord(QByteArray("\xFF\x03xyz", 5));
    for (const auto& row : b)
        writer.AddBitRow(row.data(), 864);
    PrintPages pages;
    QVERIFY(pages.OpenBytes(writer.Finish(), "t.sff"));
    QCOMPARE(pages.PageCount(), 2);
    QCOMPARE(Compare(pages.Page(1), b, 864, 2), QString()); // out of order: pages are lazy
    QCOMPARE(Compare(pages.Page(0), a, 1728, 1), QString());
    QVERIFY(pages.Page(2).isNull());
    QVERIFY(pages.Error().contains("t.sff"));
}

void TestPrintPages::tiffPage_data() {
    QTest::addColumn<int>("compression");
    QTest::addColumn<float>("yres");
    QTest::newRow("G3 normal") << int(COMPRESSION_CCITTFAX3) << 98.0F;
    QTest::newRow("G4 fine") << int(COMPRESSION_CCITTFAX4) << 196.0F;
    QTest::newRow("packbits fine") << int(COMPRESSION_PACKBITS) << 196.0F;
}

void TestPrintPages::tiffPage() {
    QFETCH(int, compression);
    QFETCH(float, yres);
    QTemporaryDir dir;
    const Rows rows = Pattern(QStringLiteral("stripes"), 1728, 100);
    const QByteArray bytes = WriteTiff(dir.filePath("t.tif"), rows, 1728, yres, compression);
    PrintPages pages;
    QVERIFY2(pages.Open(dir.filePath("t.tif")), qPrintable(pages.Error()));
    QCOMPARE(pages.PageCount(), 1);
    QCOMPARE(Compare(pages.Page(0), rows, 1728, yres < 100 ? 2 : 1), QString());
}

void TestPrintPages::pcx_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QRgb>>("pixels"); // the first row, left to right
    QTest::addColumn<int>("height");
    // 1-bit: 1 is white; a run of 2 bytes 0xF0 then a literal 0x0F, for two rows.
    QTest::newRow("1-bit") << PcxHeader(16, 2, 1, 1, 2) + QByteArray("\xC2\xF0\xC1\x0F\xC1\x0F", 6)
                           << QList<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)} << 2;
    QByteArray palette(769, '\0');
    palette[0] = 0x0C;
    palette[1 + 3 * 7] = char(200); // colour 7: red 200
    QTest::newRow("8-bit") << PcxHeader(3, 1, 8, 1, 4) + QByteArray("\xC3\x07\x00", 3) + palette
                           << QList<QRgb>{qRgb(200, 0, 0), qRgb(200, 0, 0), qRgb(200, 0, 0)} << 1;
    // 24-bit: red, green, blue planes of a 2-pixel row; the run crosses from plane to plane.
    QTest::newRow("24-bit") << PcxHeader(2, 1, 8, 3, 2) + QByteArray("\x0A\x14\xC3\x1E\x28", 5)
                            << QList<QRgb>{qRgb(10, 30, 30), qRgb(20, 30, 40)} << 1;
}

void TestPrintPages::pcx() {
    QFETCH(QByteArray, file);
    QFETCH(QList<QRgb>, pixels);
    QFETCH(int, height);
    PrintPages pages;
    QVERIFY2(pages.OpenBytes(file, "t.pcx"), qPrintable(pages.Error()));
    const QImage image = pages.Page(0);
    QCOMPARE(image.height(), height);
    if (image.depth() == 1) { // 16 pixels: 1111 0000 1111 0000 -> white x4, black x4, ...
        QCOMPARE(image.pixel(0, 0), pixels[0]);
        QCOMPARE(image.pixel(4, 0), pixels[1]);
        QCOMPARE(image.pixel(12, 1), pixels[0]);
        QCOMPARE(image.pixel(0, 1), pixels[1]);
        return;
    }
    QCOMPARE(image.width(), int(pixels.size()));
    for (int x = 0; x < image.width(); ++x)
        QCOMPARE(image.pixel(x, 0) & 0xFFFFFF, pixels[x] & 0xFFFFFF);
}

void TestPrintPages::colour() {
    // Pictures end to end; the second carries bytes like an end marker in a segment of its
    // own, which must not split it.
    QByteArray second = Jpeg(QSize(30, 50), Qt::blue);
    second.insert(2, QByteArray("\xFF\xE1\x00\x06\xFF\xD9\xFF\xD8", 8));
    const QByteArray print = Jpeg(QSize(40, 20), Qt::red) + second + Jpeg(QSize(8, 8), Qt::green);
    PrintPages pages;
    QVERIFY2(pages.OpenBytes(print, "t.cff"), qPrintable(pages.Error()));
    QCOMPARE(pages.PageCount(), 3);
    QCOMPARE(pages.Page(1).size(), QSize(30, 50));
    QVERIFY(qBlue(pages.Page(1).pixel(10, 10)) > 200);
    QCOMPARE(pages.Page(2).size(), QSize(8, 8));
    QCOMPARE(ColourPages::PictureEnd(print, 0), Jpeg(QSize(40, 20), Qt::red).size());
}

void TestPrintPages::text() {
    QByteArray text = "Seite eins\f\xC3\xBC"
                      "ber Seite zwei\r\n";
    for (int i = 0; i < 130; ++i)
        text += "Zeile " + QByteArray::number(i) + "\n";
    text += QByteArray(200, 'x') + "\n\f";
    PrintPages pages;
    QVERIFY(pages.OpenBytes(text, "t.txt"));
    // Page 2: its first line and 63 more; page 3: 64; page 4: the last 3 and the long one
    // wrapped.
    QCOMPARE(pages.PageCount(), 4);
    const QImage first = pages.Page(0);
    QCOMPARE(first.size(), QSize(TextPages::kPageWidth, TextPages::kPageHeight));
    QVERIFY(first.copy(0, 0, 800, 200).allGray());
    const QImage top = first.copy(0, 0, 800, 200).convertToFormat(QImage::Format_Grayscale8);
    bool inked = false;
    for (int y = 0; y < top.height() && !inked; ++y)
        for (int x = 0; x < top.width() && !inked; ++x)
            inked = qGray(top.pixel(x, y)) < 100;
    QVERIFY2(inked, "the first line is drawn");
    TextPages layout(text);
    QCOMPARE(layout.PageLines(1).first(), QStringLiteral("\u00fcber Seite zwei"));
    QCOMPARE(layout.PageLines(3),
             (QStringList{"Zeile 127", "Zeile 128", "Zeile 129", QString(80, 'x'), QString(80, 'x'),
                          QString(40, 'x')}));
    // Not UTF-8: the OEM code page (0x81 is u with diaeresis there too).
    QCOMPARE(TextPages(QByteArray("\x81"
                                  "ber\tx"))
                 .PageLines(0)
                 .first(),
             "\u00fcber    x");
}

void TestPrintPages::malformed_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("problem");
    const Rows rows = Pattern(QStringLiteral("stripes"), 1728, 10);
    const QByteArray sff = SffOf(rows, 196, 1728);
    QByteArray sffHeader = sff.left(20);
    const auto page = [&](int width, int coding, QByteArray records) {
        QByteArray p = sffHeader;
        p += QByteArray("\xFE\x10\x01\x00", 4) + char(coding) + '\0' + char(width & 0xFF) +
             char(width >> 8) + QByteArray(10, '\0');
        return p + records + QByteArray("\xFE\x00", 2);
    };
    QTest::newRow("sff header only") << sff.left(20) << "outside the file";
    QTest::newRow("sff cut in a record") << sff.left(sff.size() - 40) << "ends inside a record";
    QTest::newRow("sff first page offset outside")
        << QByteArray("Sfff\x01\0\0\0\x01\0\xFF\x7F", 12) + QByteArray(8, '\0') << "outside";
    QTest::newRow("sff width 0") << page(0, 0, "\x01\x00") << "line length 0";
    QTest::newRow("sff width 20000") << page(20000, 0, "\x01\x00") << "line length 20000";
    QTest::newRow("sff coding 2") << page(1728, 2, "\x01\x00") << "unsupported coding";
    QTest::newRow("sff 20,001 rows") << page(1728, 0, QByteArray(541, '\xFD')) << "more than 20000";
    QTest::newRow("sff escape past the end")
        << page(1728, 0, QByteArray("\x00\xFF\xFF\x01", 4)) << "ends inside a record";
    QTest::newRow("sff short page header")
        << sffHeader + QByteArray("\xFE\x02\x01\x00\x01\x00", 6) << "too short";
    QTest::newRow("pcx huge") << PcxHeader(30000, 10, 1, 1, 3750) << "out of range";
    QTest::newRow("pcx cut") << PcxHeader(16, 20, 1, 1, 2) + "\xC2\xF0"
                             << "ends after 1 of 20";
    QTest::newRow("pcx 4 planes") << PcxHeader(16, 2, 1, 4, 2) << "not supported";
    QTest::newRow("pcx palette missing") << PcxHeader(3, 1, 8, 1, 4) + "\x01\x02\x03\x04"
                                         << "palette";
    QTest::newRow("tiff garbage") << QByteArray("II*\0\x08\0\0\0\xFF\xFF", 10) << "t.bin:";
    QTest::newRow("jpeg cut") << Jpeg(QSize(10, 10), Qt::red).left(100) << "not a whole JPEG";
}

void TestPrintPages::malformed() {
    QFETCH(QByteArray, file);
    QFETCH(QString, problem);
    // The same from a file (SFF is read from the file as pages are shown) and from bytes.
    QTemporaryDir dir;
    const QString path = dir.filePath("t.bin");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    QDir::setCurrent(dir.path());
    for (const bool fromFile : {true, false}) {
        PrintPages pages;
        bool failed = fromFile ? !pages.Open("t.bin") : !pages.OpenBytes(file, "t.bin");
        QString message = pages.Error() + pages.Problem();
        for (int i = 0; i < pages.PageCount(); ++i) {
            if (pages.Page(i).isNull()) {
                failed = true;
                message += pages.Error();
            }
        }
        QVERIFY2(failed || !pages.Problem().isEmpty(), "a problem is reported");
        QVERIFY2(message.contains(problem), qPrintable(message));
        QVERIFY2(message.startsWith("t.bin: "), qPrintable(message));
    }
}

QTEST_MAIN(TestPrintPages)
#include "tst_printpages.moc"
