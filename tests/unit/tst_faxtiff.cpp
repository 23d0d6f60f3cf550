// Fax TIFF files for the fax server, read back with libtiff: SFF pages copied or coded again
// must show the same dots as the SFF rows they came from (rows doubled or halved for the
// job's resolution, wide and narrow pages centred), the pages carry the fax fields, and the
// server's own check accepts the file. Failures leave no file behind.

#include "fax/SffWriter.h"
#include "faxapp/FaxTiff.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <tiffio.h>
#include <vector>

using faxapp::FaxTiff;
using Row = std::vector<unsigned char>; // most significant bit first; empty: white
using Page = std::vector<Row>;          // fax rows of 1728 dots

namespace {

constexpr int kFax = 1728;
const char* const kTiffCheck = "/usr/lib/hylafax/bin/tiffcheck";

// A source page: rows of words; some rows blank, one with junk after its code, and where
// asked a row of an invalid code and a row the sender marked damaged (both white), and blank
// rows at the end (left out of the fax page beyond an A4 page's length).
struct Source {
    int resolution = 196;
    int width = kFax;
    bool damaged = false;
    int tail = 0;
};

Page SourceRows(const Source& s, int seed) {
    QRandomGenerator random(static_cast<quint32>(seed));
    Page rows;
    for (int y = 0; y < 160; ++y) {
        Row row((s.width + 7) / 8, 0);
        for (int x = 40 + y % 7; y % 20 < 13 && x + 60 < s.width; x += 90)
            for (int i = 0, n = 20 + int(random.bounded(40)); i < n; ++i)
                row[(x + i) / 8] |= static_cast<unsigned char>(0x80 >> ((x + i) % 8));
        rows.push_back(y % 20 < 13 ? row : Row());
    }
    return rows;
}

QByteArray SffOf(const QList<Source>& sources) {
    SffWriter writer;
    for (int p = 0; p < sources.size(); ++p) {
        const Source& s = sources[p];
        writer.BeginPage(s.resolution, s.width);
        const Page rows = SourceRows(s, p);
        for (std::size_t y = 0; y < rows.size(); ++y) {
            if (s.damaged && y == 31)
                writer.AddCodedRow(QByteArray(3, '\0')); // no code begins with twelve zeros
            else if (s.damaged && y == 32)
                writer.AddRawRecord(QByteArray("\xFF\x00", 2));
            else if (rows[y].empty())
                writer.AddBlankRows(1);
            else if (y == 5)
                writer.AddCodedRow(SffWriter::EncodeRow(rows[y].data(), s.width) + "\xFF\x0F");
            else
                writer.AddBitRow(rows[y].data(), s.width);
        }
        writer.AddBlankRows(s.tail);
    }
    return writer.Finish();
}

// What the fax page must show: rows doubled from a normal page for a fine job, every second
// row of a fine one for a normal job, centred on 1728 dots or cut to them.
Page Expected(const Source& s, int seed, bool fine) {
    Page rows = SourceRows(s, seed);
    rows.resize(rows.size() + std::size_t(s.tail));
    Page out;
    const int factor = s.resolution == 98 ? 2 : 1;
    for (int y = 0; y < int(rows.size()) * factor; y += fine ? 1 : 2) {
        const int source = y / factor;
        Row row(kFax / 8, 0);
        for (int x = 0; x < kFax && !rows[source].empty(); ++x) {
            const int from = x + (s.width - kFax) / 2;
            const bool damaged = s.damaged && (source == 31 || source == 32);
            if (!damaged && from >= 0 && from < s.width &&
                (rows[source][from / 8] << from % 8 & 0x80))
                row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        }
        out.push_back(row);
    }
    const std::size_t a4 = fine ? 2291 : 1145;
    while (out.size() > a4 && out.back() == Row(kFax / 8))
        out.pop_back();
    return out;
}

int OnError(TIFF*, void* errors, const char*, const char*, va_list) {
    ++*static_cast<int*>(errors);
    return 1;
}

// The pages of a fax TIFF as rows, after checking each page's fields; a message on failure.
QString ReadFax(const QString& path, bool fine, std::vector<Page>& pages) {
    int errors = 0;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &errors);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnError, &errors);
    TIFF* tiff = TIFFOpenExt(path.toLocal8Bit().constData(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tiff)
        return QStringLiteral("cannot open");
    const int count = TIFFNumberOfDirectories(tiff);
    QString failure;
    for (int p = 0; p < count && failure.isEmpty() && TIFFSetDirectory(tiff, tdir_t(p)); ++p) {
        std::uint32_t width = 0, rows = 0, perStrip = 0, t4 = 0, type = 0;
        std::uint16_t bits = 0, compression = 0, photometric = 0, fill = 0, unit = 0;
        std::uint16_t number = 0, total = 0;
        float xres = 0, yres = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &rows);
        TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &perStrip);
        TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &t4);
        TIFFGetField(tiff, TIFFTAG_SUBFILETYPE, &type);
        TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tiff, TIFFTAG_FILLORDER, &fill);
        TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        TIFFGetField(tiff, TIFFTAG_PAGENUMBER, &number, &total);
        TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres);
        const QString fields =
            QStringLiteral("%1 %2 %3 G%4 t4=%5 pm%6 page %7/%8 %9x%10/%11 type %12 strips %13")
                .arg(width)
                .arg(bits)
                .arg(int(perStrip == rows))
                .arg(compression)
                .arg(t4)
                .arg(photometric)
                .arg(number)
                .arg(total)
                .arg(xres)
                .arg(yres)
                .arg(unit)
                .arg(type)
                .arg(TIFFNumberOfStrips(tiff));
        const QString wanted = QStringLiteral("1728 1 1 G3 t4=4 pm0 page %1/%2 204x%3/2 type 2 "
                                              "strips 1")
                                   .arg(p)
                                   .arg(count)
                                   .arg(fine ? 196 : 98);
        if (fields != wanted || fill == 0)
            return QStringLiteral("page %1: %2, not %3").arg(p + 1).arg(fields, wanted);
        Page page(rows, Row(kFax / 8));
        for (std::uint32_t y = 0; y < rows && failure.isEmpty(); ++y)
            if (TIFFReadScanline(tiff, page[y].data(), y, 0) < 0)
                failure = QStringLiteral("page %1 row %2 unreadable").arg(p + 1).arg(y);
        pages.push_back(page);
    }
    TIFFClose(tiff);
    if (failure.isEmpty() && errors > 0)
        failure = QStringLiteral("%1 libtiff messages").arg(errors);
    return failure;
}

// The first line of the fax server's check: "OK" when it would send the file as it is.
QString ServerCheck(const QString& path, bool fine) {
    QProcess check;
    check.start(QString::fromLatin1(kTiffCheck), {"-1", "-r", fine ? "196" : "98", path});
    if (!check.waitForFinished(20000))
        return QStringLiteral("%1 did not run: %2").arg(kTiffCheck, check.errorString());
    return QString::fromLocal8Bit(check.readAllStandardOutput()).section(u'\n', 0, 0);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray FaxTiffPrint(const QString& path, const Page& rows, float yres) {
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kFax);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, int(rows.size()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0F);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, yres);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        Row row = rows[y].empty() ? Row(kFax / 8) : rows[y];
        TIFFWriteScanline(tiff, row.data(), std::uint32_t(y), 0);
    }
    TIFFClose(tiff);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A 1-bit PCX of 864 x 1100 dots at 100 dpi, black where x < 432 and 200 <= y < 400.
QByteArray Pcx() {
    QByteArray pcx(128, '\0');
    const char header[] = {0x0A,
                           5,
                           1,
                           1,
                           0,
                           0,
                           0,
                           0,
                           char(863 & 0xFF),
                           char(863 >> 8),
                           char(1099 & 0xFF),
                           char(1099 >> 8),
                           100,
                           0,
                           100,
                           0};
    pcx.replace(0, qsizetype(sizeof header), QByteArray(header, sizeof header));
    pcx[65] = 1;
    pcx[66] = 108;
    for (int y = 0; y < 1100; ++y) // two runs of 54 bytes; 1 is white
        pcx += QByteArray("\xF6") + (y >= 200 && y < 400 ? '\0' : '\xFF') + "\xF6\xFF";
    return pcx;
}

int Black(const Page& page, int x0, int y0, int x1, int y1) {
    int black = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            black += page[std::size_t(y)][std::size_t(x / 8)] >> (7 - x % 8) & 1;
    return black;
}

} // namespace

Q_DECLARE_METATYPE(QList<Source>)

class TestFaxTiff : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sffPages_data();
    void sffPages();
    void printFiles_data();
    void printFiles();
    void failures_data();
    void failures();
};

void TestFaxTiff::sffPages_data() {
    QTest::addColumn<QList<Source>>("sources");
    QTest::addColumn<QString>("convert");
    QTest::addColumn<bool>("fine");
    const QList<Source> fine = {{196}, {196}, {196, kFax, false, 2200}};
    const QList<Source> normal = {{98}, {98, kFax, false, 1100}};
    const QList<Source> mixed = {{196}, {98, kFax, true}, {196, 2048}, {98, 1000}, {196}};
    for (const bool job : {true, false}) {
        const char* rows = job ? ", fine job" : ", normal job";
        QTest::addRow("fine%s", rows) << fine << "SFF" << job;
        QTest::addRow("normal%s", rows) << normal << "SFF" << job;
        QTest::addRow("damaged, wide, narrow%s", rows) << mixed << "SFF" << job;
        QTest::addRow("colour print's companion%s", rows) << normal << "CFF" << job;
    }
}

void TestFaxTiff::sffPages() {
    QFETCH(QList<Source>, sources);
    QFETCH(QString, convert);
    QFETCH(bool, fine);
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("_FX00001.SFF"), SffOf(sources)));
    QVERIFY(WriteFile(dir.filePath("_FX00001.CFF"), "not looked at"));
    const QString tiff = dir.filePath("out.tif");
    const auto result = FaxTiff::Write(dir.filePath("_FX00001." + convert), convert,
                                       fine ? FaxTiff::Rows::Fine : FaxTiff::Rows::Normal, tiff);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.pages, sources.size());
    std::vector<Page> pages;
    QCOMPARE(ReadFax(tiff, fine, pages), QString());
    QCOMPARE(int(pages.size()), sources.size());
    for (int p = 0; p < sources.size(); ++p) {
        const Page expected = Expected(sources[p], p, fine);
        QCOMPARE(pages[p].size(), expected.size());
        for (std::size_t y = 0; y < expected.size(); ++y)
            QVERIFY2(pages[p][y] == expected[y],
                     qPrintable(QStringLiteral("page %1 row %2").arg(p + 1).arg(y)));
    }
    QCOMPARE(ServerCheck(tiff, fine), QStringLiteral("OK"));
}

void TestFaxTiff::printFiles_data() {
    QTest::addColumn<QString>("kind"); // fax TIFF fine / normal, PCX, text
    QTest::addColumn<bool>("fine");
    QTest::addColumn<int>("rows");
    QTest::newRow("fine TIFF, fine job") << "fine" << true << 160;
    QTest::newRow("normal TIFF, fine job") << "normal" << true << 320;
    QTest::newRow("normal TIFF, normal job") << "normal" << false << 160;
    QTest::newRow("PCX, fine job") << "pcx" << true << 2114;
    QTest::newRow("PCX, normal job") << "pcx" << false << 1057;
    QTest::newRow("text, normal job") << "text" << false << 1145;
}

void TestFaxTiff::printFiles() {
    QFETCH(QString, kind);
    QFETCH(bool, fine);
    QFETCH(int, rows);
    QTemporaryDir dir;
    const QString document = dir.filePath("print");
    const Page source = SourceRows({}, 9);
    if (kind == u"pcx")
        QVERIFY(WriteFile(document, Pcx()));
    else if (kind == u"text")
        QVERIFY(WriteFile(document, "Seite eins\fSeite zwei\n"));
    else
        FaxTiffPrint(document, source, kind == u"fine" ? 196.0F : 98.0F);
    const QString tiff = dir.filePath("out.tif");
    const auto result = FaxTiff::Write(document, kind == u"pcx" ? "PCX" : "FXASC",
                                       fine ? FaxTiff::Rows::Fine : FaxTiff::Rows::Normal, tiff);
    QCOMPARE(result.error, QString());
    std::vector<Page> pages;
    QCOMPARE(ReadFax(tiff, fine, pages), QString());
    QCOMPARE(int(pages.size()), kind == u"text" ? 2 : 1);
    QCOMPARE(int(pages[0].size()), rows);
    if (kind == u"pcx") { // the black box: left half, 200 to 400 of 1100 rows
        const int top = rows * 200 / 1100;
        const int bottom = rows * 400 / 1100;
        QCOMPARE(Black(pages[0], 8, top + 4, 856, bottom - 4), 848 * (bottom - top - 8));
        QCOMPARE(Black(pages[0], 0, 0, kFax, top - 4) + Black(pages[0], 872, 0, kFax, rows), 0);
    } else if (kind == u"text") {
        QVERIFY(Black(pages[1], 0, 0, kFax, rows) > 100);
    } else { // a fax page keeps its dots: rows repeated, or one of each pair
        const int factor = kind == u"fine" ? 1 : 2;
        for (int y = 0; y < rows; ++y) {
            const Row& row = source[std::size_t(y * (fine ? 1 : 2) / factor)];
            QVERIFY(pages[0][std::size_t(y)] == (row.empty() ? Row(kFax / 8) : row));
        }
    }
    QCOMPARE(ServerCheck(tiff, fine), QStringLiteral("OK"));
}

void TestFaxTiff::failures_data() {
    QTest::addColumn<QByteArray>("document"); // empty: no document
    QTest::addColumn<QString>("convert");
    QTest::addColumn<QString>("output"); // "exists", "link", "no folder" or a free name
    QTest::addColumn<QString>("error");  // how the error begins
    const QByteArray good = SffOf({{196}, {98}});
    SffWriter undecodable; // page 2: every row an invalid code
    undecodable.BeginPage(196);
    undecodable.AddBlankRows(3);
    undecodable.BeginPage(196);
    for (int y = 0; y < 10; ++y)
        undecodable.AddCodedRow(QByteArray(4, '\0'));
    QByteArray header = good;
    header[2] = 'x';
    QTest::newRow("missing document") << QByteArray() << "SFF"
                                      << "free"
                                      << "/";
    QTest::newRow("damaged header") << header << "SFF"
                                    << "free"
                                    << "/";
    QTest::newRow("cut short") << good.left(good.size() - 30) << "SFF"
                               << "free"
                               << "page 2:";
    QTest::newRow("page that does not decode") << undecodable.Finish() << "SFF"
                                               << "free"
                                               << "page 2:";
    QTest::newRow("colour print without companion") << good << "CFF"
                                                    << "free"
                                                    << "/";
    QTest::newRow("unknown kind") << good << "TIFF"
                                  << "free"
                                  << "/";
    QTest::newRow("output exists") << good << "SFF"
                                   << "exists"
                                   << "/";
    QTest::newRow("output is a link") << good << "SFF"
                                      << "link"
                                      << "/";
    QTest::newRow("no output folder") << good << "SFF"
                                      << "no folder"
                                      << "/";
}

void TestFaxTiff::failures() {
    QFETCH(QByteArray, document);
    QFETCH(QString, convert);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath("_FX00002.CFF");
    QVERIFY(document.isEmpty() || WriteFile(path, document));
    QString tiff = dir.filePath("out.tif");
    if (output == u"exists")
        QVERIFY(WriteFile(tiff, "earlier"));
    if (output == u"link")
        QVERIFY(QFile::link(dir.filePath("target.tif"), tiff));
    if (output == u"no folder")
        tiff = dir.filePath("gone/out.tif");
    const auto result = FaxTiff::Write(path, convert, FaxTiff::Rows::Fine, tiff);
    QVERIFY2(result.error.startsWith(error), qPrintable(result.error));
    QCOMPARE(result.pages, 0);
    // Nothing written: no file, the earlier file as it was, the link not followed.
    const QStringList expected = output == u"exists" || output == u"link"
                                     ? QStringList{"_FX00002.CFF", "out.tif"}
                                     : QStringList{"_FX00002.CFF"};
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System),
             document.isEmpty() ? expected.mid(1) : expected);
    if (output == u"exists") {
        QFile earlier(tiff);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    }
}

QTEST_MAIN(TestFaxTiff) // text pages need fonts
#include "tst_faxtiff.moc"
