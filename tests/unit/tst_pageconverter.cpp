#include "SffPages.h"
#include "faxapp/faxtiff/PageConverter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using faxapp::BilevelPage;
using faxapp::ConvertedPage;
using faxapp::PageConverter;

namespace {

struct BmpLayout {
    int bits = 24;
    int headerSize = 40; // 12, 40, 108 or 124
    int compression = 0; // 0 RGB, 1 RLE8, 3 bitfields
    bool topDown = false;
    int width = 200;
    int height = 283;
    int dpmX = 0;
    int dpmY = 0;
    int alpha = 0xFF; // of 32-bit pixels
};

void Put16(QByteArray& b, quint32 v) {
    b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
}
void Put32(QByteArray& b, quint32 v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Set32(QByteArray& b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i) & 0xFF);
}

// A bitmap written byte by byte, grey(x, y) (y from the top) in levels 0..255.
QByteArray BuildBmp(const BmpLayout& s, const std::function<int(int, int)>& grey) {
    const bool core = s.headerSize == 12;
    const int colours = s.bits <= 8 ? 1 << s.bits : 0;
    QByteArray header;
    Put32(header, quint32(s.headerSize));
    if (core) {
        Put16(header, quint32(s.width));
        Put16(header, quint32(s.height));
        Put16(header, 1);
        Put16(header, quint32(s.bits));
    } else {
        Put32(header, quint32(s.width));
        Put32(header, quint32(s.topDown ? -s.height : s.height));
        Put16(header, 1);
        Put16(header, quint32(s.bits));
        Put32(header, quint32(s.compression));
        Put32(header, 0);
        Put32(header, quint32(s.dpmX));
        Put32(header, quint32(s.dpmY));
        Put32(header, 0);
        Put32(header, 0);
    }
    QList<quint32> masks;
    if (s.compression == 3)
        masks = s.bits == 16 ? QList<quint32>{0xF800, 0x07E0, 0x001F}
                             : QList<quint32>{0xFF0000, 0xFF00, 0xFF};
    if (s.headerSize >= 108) {
        masks.append(s.compression == 3 && s.bits == 32 ? 0xFF000000u : 0u);
        while (masks.size() < 4)
            masks.prepend(0);
    }
    for (quint32 m : masks)
        Put32(header, m);
    while (header.size() < s.headerSize)
        header.append('\0');
    for (int i = 0; i < colours; ++i) {
        const char level = char(i * 255 / (colours - 1));
        header.append(level).append(level).append(level);
        if (!core)
            header.append('\0');
    }

    QByteArray pixels;
    const int stride = (s.width * s.bits + 31) / 32 * 4;
    for (int r = 0; r < s.height; ++r) {
        const int y = s.topDown ? r : s.height - 1 - r;
        if (s.compression == 1) { // runs of one index, then end of line
            for (int x = 0; x < s.width;) {
                const int index = grey(x, y); // the palette is 256 greys
                int run = 1;
                while (x + run < s.width && run < 255 && grey(x + run, y) == grey(x, y))
                    ++run;
                pixels.append(char(run)).append(char(index));
                x += run;
            }
            pixels.append('\0').append('\0');
            continue;
        }
        QByteArray row(stride, '\0');
        for (int x = 0; x < s.width; ++x) {
            const int g = grey(x, y);
            if (s.bits <= 8) {
                const int index = (g * (colours - 1) + 127) / 255;
                const int shift = 8 - s.bits - (x * s.bits) % 8;
                row[x * s.bits / 8] = char(row[x * s.bits / 8] | index << shift);
            } else if (s.bits == 16) {
                const quint32 v = s.compression == 3 ? (g >> 3) << 11 | (g >> 2) << 5 | g >> 3
                                                     : (g >> 3) << 10 | (g >> 3) << 5 | g >> 3;
                row[x * 2] = char(v & 0xFF);
                row[x * 2 + 1] = char(v >> 8);
            } else {
                const int bytes = s.bits / 8;
                for (int c = 0; c < 3; ++c)
                    row[x * bytes + c] = char(g);
                if (bytes == 4)
                    row[x * bytes + 3] = char(s.alpha);
            }
        }
        pixels.append(row);
    }
    if (s.compression == 1)
        pixels.append('\0').append('\x01');

    QByteArray file("BM");
    Put32(file, quint32(14 + header.size() + pixels.size()));
    Put32(file, 0);
    Put32(file, quint32(14 + header.size()));
    return file + header + pixels;
}

// The test page: a black square at the top left, a mid-grey field lower right, white paper.
constexpr int kSquare[4] = {20, 20, 80, 80};   // x0, y0, x1, y1 of 200 x 283
constexpr int kGrey[4] = {110, 150, 190, 260}; // the grey field
int TestPage(int x, int y) {
    if (x >= kSquare[0] && x < kSquare[2] && y >= kSquare[1] && y < kSquare[3])
        return 0;
    if (x >= kGrey[0] && x < kGrey[2] && y >= kGrey[1] && y < kGrey[3])
        return 128;
    return 255;
}

// Black dots in an area given in bitmap pixels of a 200 x 283 page, shrunk by a margin so
// that edges smoothed by the scaling do not count.
double BlackShare(const BilevelPage& page, const int (&area)[4]) {
    const int x0 = area[0] * page.width / 200 + 8;
    const int x1 = area[2] * page.width / 200 - 8;
    const int y0 = area[1] * page.rows / 283 + 8;
    const int y1 = area[3] * page.rows / 283 - 8;
    int black = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            black += page.IsBlack(x, y) ? 1 : 0;
    return double(black) / ((x1 - x0) * (y1 - y0));
}

int BlackDots(const BilevelPage& page) {
    int black = 0;
    for (unsigned char byte : page.bits)
        black += __builtin_popcount(byte);
    return black;
}

} // namespace

Q_DECLARE_METATYPE(BmpLayout)

class TestPageConverter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program; // kalmofax

    // Runs the converter as a colour print does: in the bitmap's folder, under the name
    // programName (a link to kalmofax), or as "kalmofax convert-page" when empty.
    int Run(const QStringList& arguments, QString* errors = nullptr,
            const QString& programName = {}) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        QString program = m_program;
        QStringList args = arguments;
        if (programName.isEmpty()) {
            args.prepend(QStringLiteral("convert-page"));
        } else {
            program = m_dir.filePath(QStringLiteral("program/") + programName);
            QDir().mkpath(QFileInfo(program).path());
            QFile::link(m_program, program);
        }
        process.start(program, args);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (errors)
            *errors = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitCode();
    }

    void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    QStringList Files() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void convertsEveryKind_data();
    void convertsEveryKind();
    void whitePageHasOnlyBlankRows_data();
    void whitePageHasOnlyBlankRows();
    void rejectsMalformed_data();
    void rejectsMalformed();
    void writesBothFilesWithoutFollowingLinks();
    void refusesLinkedBitmapAndBadArguments();
};

void TestPageConverter::initTestCase() {
    m_program = qEnvironmentVariable("KALMOFAX");
    QVERIFY2(QFileInfo(m_program).isExecutable(), "KALMOFAX names the built kalmofax");
}

void TestPageConverter::cleanup() {
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.path()));
}

void TestPageConverter::convertsEveryKind_data() {
    QTest::addColumn<BmpLayout>("layout");
    QTest::addColumn<int>("rows");     // of the fax page
    QTest::addColumn<bool>("hasGrey"); // can the bitmap hold a mid grey?
    // 283 / 200 of the 1728 dots that span 215 mm, at 196 rows an inch.
    QTest::newRow("1 bit") << BmpLayout{1} << 2348 << false;
    QTest::newRow("4 bit, top-down") << BmpLayout{4, 40, 0, true} << 2348 << true;
    QTest::newRow("8 bit") << BmpLayout{8} << 2348 << true;
    QTest::newRow("8 bit RLE") << BmpLayout{8, 40, 1} << 2348 << true;
    QTest::newRow("8 bit, core header") << BmpLayout{8, 12} << 2348 << true;
    QTest::newRow("16 bit 555") << BmpLayout{16} << 2348 << true;
    QTest::newRow("16 bit 565 bitfields") << BmpLayout{16, 40, 3} << 2348 << true;
    QTest::newRow("24 bit, top-down") << BmpLayout{24, 40, 0, true} << 2348 << true;
    QTest::newRow("24 bit, 200 dpi")
        << BmpLayout{24, 40, 0, false, 200, 283, 7874, 7874} << 2348 << true;
    // 200 by 100 dpi: each pixel twice as tall as wide on paper.
    QTest::newRow("24 bit, 200 x 100 dpi")
        << BmpLayout{24, 40, 0, false, 200, 283, 7874, 3937} << 4695 << true;
    // 16 times as tall as wide: no page's resolution; the pixels count as square.
    QTest::newRow("24 bit, 1000 x 62 dpi")
        << BmpLayout{24, 40, 0, false, 200, 283, 39370, 2441} << 2348 << true;
    QTest::newRow("32 bit V4 bitfields") << BmpLayout{32, 108, 3} << 2348 << true;
    // An alpha mask, but every alpha 0: an opaque page all the same.
    QTest::newRow("32 bit V4, alpha all 0")
        << BmpLayout{32, 108, 3, false, 200, 283, 0, 0, 0} << 2348 << true;
    QTest::newRow("32 bit V5, top-down") << BmpLayout{32, 124, 0, true} << 2348 << true;
}

void TestPageConverter::convertsEveryKind() {
    QFETCH(BmpLayout, layout);
    QFETCH(int, rows);
    QFETCH(bool, hasGrey);
    ConvertedPage page;
    BilevelPage dots;
    QString error;
    QVERIFY2(PageConverter::Convert(BuildBmp(layout, TestPage), page, dots, error),
             qPrintable(error));

    QCOMPARE(page.rows, rows);
    const QList<SffPage> pages = SffPages(page.sff);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].width, 1728);
    QCOMPARE(pages[0].rows, rows);
    QCOMPARE(pages[0].resolution, 196);
    QCOMPARE(dots.width, 1728);
    QCOMPARE(dots.rows, rows);

    QCOMPARE(BlackShare(dots, kSquare), 1.0);
    const int paper[4] = {100, 10, 190, 120};
    QCOMPARE(BlackShare(dots, paper), 0.0);
    if (hasGrey) {
        const double share = BlackShare(dots, kGrey);
        QVERIFY2(share > 0.35 && share < 0.65, qPrintable(QString::number(share)));
    }

    QVERIFY(page.jpeg.startsWith("\xFF\xD8"));
    const QImage colour = QImage::fromData(page.jpeg, "JPEG");
    QCOMPARE(colour.size(), QSize(layout.width, layout.height));
    QVERIFY(qGray(colour.pixel(40, 40)) < 40); // the square, right way up
    QVERIFY(qGray(colour.pixel(40, 240)) > 215);
}

void TestPageConverter::whitePageHasOnlyBlankRows_data() {
    QTest::addColumn<int>("bits");
    for (int bits : {1, 4, 8, 16, 24, 32})
        QTest::newRow(qPrintable(QString::number(bits))) << bits;
}

void TestPageConverter::whitePageHasOnlyBlankRows() {
    QFETCH(int, bits);
    ConvertedPage page;
    BilevelPage dots;
    QString error;
    QVERIFY(PageConverter::Convert(BuildBmp(BmpLayout{bits}, [](int, int) { return 255; }), page,
                                   dots, error));
    QCOMPARE(BlackDots(dots), 0);
    const QList<SffPage> pages = SffPages(page.sff);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].onlyBlankRows);
    QCOMPARE(pages[0].rows, 2348);
    // 2348 rows at 37 a skip record: the whole page in 64 bytes of records.
    QVERIFY(page.sff.size() < 20 + 18 + 64 + 2 + 1);
}

void TestPageConverter::rejectsMalformed_data() {
    QTest::addColumn<QByteArray>("bmp");
    QTest::addColumn<QString>("message");
    const auto grey = [](int x, int y) { return (x * 13 + y * 7) % 256; };
    const QByteArray rgb = BuildBmp(BmpLayout{24, 40, 0, false, 20, 20}, grey);
    const auto changed = [](QByteArray b, int at, quint32 value) {
        Set32(b, at, value);
        return b;
    };
    const auto cut = [](QByteArray b, qsizetype size) {
        b.truncate(size);
        Set32(b, 2, quint32(size)); // a consistent header, but for what is missing
        return b;
    };
    QByteArray magic = rgb;
    magic[0] = 'X';
    QTest::newRow("bad magic") << magic << "bad magic";
    QTest::newRow("empty") << QByteArray() << "too short";
    QTest::newRow("size beyond the file")
        << changed(rgb, 2, quint32(rgb.size() + 100)) << "file size";
    QTest::newRow("unknown info header") << changed(rgb, 14, 64) << "info header";
    QTest::newRow("zero width") << changed(rgb, 18, 0) << "width";
    QTest::newRow("huge width") << changed(rgb, 18, 100000) << "width";
    QTest::newRow("zero height") << changed(rgb, 22, 0) << "height";
    QTest::newRow("huge height") << changed(rgb, 22, quint32(-40000)) << "height";
    QTest::newRow("12 bits") << changed(rgb, 26, 0x000C0001) << "bits per pixel";
    QTest::newRow("JPEG compression") << changed(rgb, 30, 4) << "compression";
    QTest::newRow("truncated pixel data") << cut(rgb, rgb.size() - 10) << "truncated";
    const QByteArray indexed = BuildBmp(BmpLayout{8, 40, 0, false, 20, 20}, grey);
    QTest::newRow("palette beyond the file") << cut(indexed, 14 + 40 + 100) << "palette";
    QTest::newRow("palette of 300 colours") << changed(indexed, 46, 300) << "palette";
    QTest::newRow("pixels inside the palette") << changed(indexed, 10, 14 + 40 + 16) << "overlaps";
    const QByteArray rle = BuildBmp(BmpLayout{8, 40, 1, false, 20, 20}, grey);
    QTest::newRow("RLE top-down") << changed(rle, 22, quint32(-20)) << "top-down";
    const QByteArray fields = BuildBmp(BmpLayout{32, 108, 3, false, 20, 20}, grey);
    QTest::newRow("zero colour mask") << changed(fields, 14 + 40, 0) << "colour masks";
    QTest::newRow("overlapping masks") << changed(fields, 14 + 44, 0xFFFF) << "overlapping";
    // 1 x 30000 pixels: a strip that no fax page holds.
    QTest::newRow("page too long")
        << BuildBmp(BmpLayout{1, 40, 0, false, 1, 30000}, grey) << "too long";
}

void TestPageConverter::rejectsMalformed() {
    QFETCH(QByteArray, bmp);
    QFETCH(QString, message);
    WriteFile(QStringLiteral("Page1.bmp"), bmp);
    QString errors;
    QCOMPARE(Run({QStringLiteral("Page1.bmp"), m_dir.filePath(QStringLiteral("Tmp.TMP"))}, &errors),
             1);
    QVERIFY2(errors.startsWith(QStringLiteral("kalmofax convert-page: Page1.bmp: ")),
             qPrintable(errors));
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QCOMPARE(Files(), QStringList{QStringLiteral("Page1.bmp")});
}

// Started by its program folder name, as a colour print does. A link in place of either
// output is replaced, never written through.
void TestPageConverter::writesBothFilesWithoutFollowingLinks() {
    WriteFile(QStringLiteral("Page1.bmp"), BuildBmp(BmpLayout{}, TestPage));
    WriteFile(QStringLiteral("victim"), "keep");
    const QString victim = m_dir.filePath(QStringLiteral("victim"));
    QVERIFY(QFile::link(victim, m_dir.filePath(QStringLiteral("Page1.SFF"))));
    QVERIFY(QFile::link(victim, m_dir.filePath(QStringLiteral("Out.TMP"))));
    QString errors;
    QCOMPARE(Run({QStringLiteral("Page1.bmp"), m_dir.filePath(QStringLiteral("Out.TMP"))}, &errors,
                 QStringLiteral("R3ozav.exe")),
             0);
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
    QCOMPARE(Files(), (QStringList{"Out.TMP", "Page1.SFF", "Page1.bmp", "victim"}));
    QFile kept(victim);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep"));
    QFile colour(m_dir.filePath(QStringLiteral("Out.TMP")));
    QVERIFY(!QFileInfo(colour.fileName()).isSymLink());
    QVERIFY(colour.open(QIODevice::ReadOnly));
    QVERIFY(colour.readAll().startsWith("\xFF\xD8"));
    QFile sff(m_dir.filePath(QStringLiteral("Page1.SFF")));
    QVERIFY(sff.open(QIODevice::ReadOnly));
    const QList<SffPage> pages = SffPages(sff.readAll());
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].width, 1728);
}

void TestPageConverter::refusesLinkedBitmapAndBadArguments() {
    WriteFile(QStringLiteral("real.bmp"), BuildBmp(BmpLayout{}, TestPage));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("real.bmp")),
                        m_dir.filePath(QStringLiteral("Page1.bmp"))));
    const QString out = m_dir.filePath(QStringLiteral("Out.TMP"));
    QString errors;
    QCOMPARE(Run({QStringLiteral("Page1.bmp"), out}, &errors, QStringLiteral("R3ozav.exe")), 1);
    QVERIFY2(errors.startsWith(QStringLiteral("R3ozav.exe: Page1.bmp: ")), qPrintable(errors));
    QCOMPARE(Run({QStringLiteral("missing.bmp"), out}, &errors), 1);
    QCOMPARE(
        Run({QStringLiteral("real.bmp"), m_dir.filePath(QStringLiteral("no/Out.TMP"))}, &errors),
        1);
    QVERIFY2(errors.contains(QStringLiteral("no/Out.TMP")), qPrintable(errors));
    QCOMPARE(Run({QStringLiteral("real.bmp"), m_dir.filePath(QStringLiteral("real.SFF"))}, &errors),
             1);
    QVERIFY2(errors.contains(QStringLiteral("would replace")), qPrintable(errors));
    QCOMPARE(Run({QStringLiteral("real.bmp")}, &errors), 2);
    QCOMPARE(Run({QStringLiteral("real.bmp"), out, out}, &errors), 2);
    QCOMPARE(Files(), (QStringList{"Page1.bmp", "real.bmp"}));
}

QTEST_GUILESS_MAIN(TestPageConverter)
#include "tst_pageconverter.moc"
