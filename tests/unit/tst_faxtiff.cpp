// Fax TIFF files for the fax server, read back with libtiff: SFF pages copied or coded again
// must show the same dots as the SFF rows they came from (rows doubled or halved for the
// job's resolution, wide and narrow pages centred), the pages carry the fax fields, and the
// server's own check accepts the file. Failures leave no file behind.

#include "fax/SffWriter.h"
#include "faxapp/faxtiff/FaxTiff.h"

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

// A field's value, whatever its integer type; 99999 when the page has none.
std::uint32_t Field(TIFF* tiff, ttag_t tag) {
    std::uint16_t shortValue = 0;
    std::uint32_t longValue = 99999;
    if (TIFFFieldDataType(TIFFFieldWithTag(tiff, tag)) == TIFF_SHORT)
        return TIFFGetField(tiff, tag, &shortValue) ? shortValue : longValue;
    TIFFGetField(tiff, tag, &longValue);
    return longValue;
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
        const std::uint32_t rows = Field(tiff, TIFFTAG_IMAGELENGTH);
        const std::pair<ttag_t, std::uint32_t> wanted[] = {
            {TIFFTAG_IMAGEWIDTH, kFax}, {TIFFTAG_BITSPERSAMPLE, 1},
            {TIFFTAG_COMPRESSION, 3},   {TIFFTAG_GROUP3OPTIONS, 4}, // 1-D, fill bits
            {TIFFTAG_PHOTOMETRIC, 0},   {TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH},
            {TIFFTAG_SUBFILETYPE, 2},   {TIFFTAG_ROWSPERSTRIP, rows}};
        for (const auto& [tag, value] : wanted)
            if (Field(tiff, tag) != value)
                failure = QStringLiteral("page %1: field %2").arg(p + 1).arg(tag);
        std::uint16_t number = 0, total = 0;
        float xres = 0, yres = 0;
        TIFFGetField(tiff, TIFFTAG_PAGENUMBER, &number, &total);
        TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres);
        if (number != p || total != count || xres != 204 || yres != (fine ? 196 : 98) ||
            TIFFNumberOfStrips(tiff) != 1)
            failure = QStringLiteral("page %1: number, resolution or strips").arg(p + 1);
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

// A 1-bit PCX of 864 x 1100 dots at 100 dpi, black where x < 432 and 200 <= y < 400.
QByteArray Pcx() {
    QByteArray pcx = QByteArray::fromHex("0a050101000000005f034b0464006400"); // 863 x 1099
    pcx.resize(128, '\0');
    pcx[65] = 1;                   // plane
    pcx[66] = 108;                 // bytes a row
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
    QTest::addColumn<QString>("kind"); // pcx or text
    QTest::addColumn<bool>("fine");
    QTest::addColumn<int>("rows");
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
    QVERIFY(WriteFile(document, kind == u"pcx" ? Pcx() : "Seite eins\fSeite zwei\n"));
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
    } else { // the text's ink
        QVERIFY(Black(pages[1], 0, 0, kFax, rows) > 100);
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
    const auto row = [](const char* name, const QByteArray& document, const char* convert,
                        const char* output, const char* error) {
        QTest::newRow(name) << document << QString(convert) << QString(output) << QString(error);
    };
    row("missing document", {}, "SFF", "free", "/");
    row("damaged header", header, "SFF", "free", "/");
    row("cut short", good.left(good.size() - 30), "SFF", "free", "page 2:");
    row("page that does not decode", undecodable.Finish(), "SFF", "free", "page 2:");
    row("colour print without companion", good, "CFF", "free", "/");
    row("unknown kind", good, "TIFF", "free", "/");
    row("output exists", good, "SFF", "exists", "/");
    row("output is a link", good, "SFF", "link", "/");
    row("no output folder", good, "SFF", "no folder", "/");
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
