// The SFF documents that the printer's filter gets from Ghostscript, through the print file
// routines and the SFF append: Ghostscript writes the document as a stream, with the header's
// page count and last-page and end offsets left 0, so the routines must find their way by the
// records alone.

#include "SffWalk.h"
#include "fax/PrintFileFormat.h"
#include "fax/PrintFileInfo.h"
#include "fax/SffAppend.h"
#include "fax/SffWriter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Three pages of PostScript, made into a PDF by Ghostscript itself.
const QByteArray kThreePages = "%!PS\n/Helvetica findfont 20 scalefont setfont\n"
                               "1 1 3 { 72 720 moveto (Seite) show 72 700 moveto\n"
                               "  400 0 rlineto stroke showpage pop } for\n";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

int Le16(const QByteArray& data, qsizetype at) {
    return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8;
}

} // namespace

class TestGhostscriptSff : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void filterOutput_data();
    void filterOutput();
    void appendsAcrossGhostscriptAndOurs();

private:
    QString Convert(const QString& options, const QString& name, bool fromStdin);

    QTemporaryDir m_dir;
    QString m_pdf;
};

void TestGhostscriptSff::initTestCase() {
    // Ghostscript is the engine of the printer: without it this test cannot run, and fails.
    QVERIFY2(!QStandardPaths::findExecutable("gs").isEmpty(),
             "Ghostscript (gs) is missing: run scripts/install-deps");
    QVERIFY(m_dir.isValid());
    QVERIFY(WriteAll(m_dir.filePath("pages.ps"), kThreePages));
    m_pdf = m_dir.filePath("pages.pdf");
    QProcess gs;
    gs.start("gs", {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                    "-sOutputFile=" + m_pdf, m_dir.filePath("pages.ps")});
    QVERIFY(gs.waitForFinished(60000));
    QCOMPARE(gs.exitCode(), 0);
    QVERIFY(ReadAll(m_pdf).startsWith("%PDF"));
}

// Runs the built filter as CUPS would, with the printer's PPD; the SFF's path.
QString TestGhostscriptSff::Convert(const QString& options, const QString& name, bool fromStdin) {
    QProcess filter;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PPD", qEnvironmentVariable("KALMO_PPD"));
    filter.setProcessEnvironment(env);
    QString out = m_dir.filePath(name);
    filter.setStandardOutputFile(out);
    QStringList args{"7", "anna", "title", "1", options};
    if (fromStdin)
        filter.setStandardInputFile(m_pdf);
    else
        args << m_pdf;
    filter.start(qEnvironmentVariable("KALMO_FILTER"), args);
    if (!filter.waitForFinished(120000) || filter.exitCode() != 0) {
        qWarning() << filter.readAllStandardError();
        return {};
    }
    return out;
}

void TestGhostscriptSff::filterOutput_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<bool>("fromStdin");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("rows"); // of a page: paper height times the resolution
    QTest::addColumn<int>("pages");
    QTest::newRow("defaults: fine, A4") << QString() << true << 196 << 2292 << 3;
    QTest::newRow("normal, A4, from a file") << "Resolution=204x98dpi" << false << 98 << 1146 << 3;
    QTest::newRow("fine, Letter") << "PageSize=Letter" << true << 196 << 2156 << 3;
    QTest::newRow("normal, Letter (IPP names)")
        << "printer-resolution=204x98dpi media=na_letter_8.5x11in" << true << 98 << 1078 << 3;
    QTest::newRow("page ranges") << "page-ranges=2-3" << true << 196 << 2292 << 2;
}

void TestGhostscriptSff::filterOutput() {
    QFETCH(QString, options);
    QFETCH(bool, fromStdin);
    QFETCH(int, resolution);
    QFETCH(int, rows);
    QFETCH(int, pages);
    const QString sff =
        Convert(options, QTest::currentDataTag() + QStringLiteral(".sff"), fromStdin);
    QVERIFY(!sff.isEmpty());
    const QByteArray data = ReadAll(sff);

    // What the send dialog learns of it.
    QCOMPARE(DetectFileFormat(sff), static_cast<std::int32_t>(kFormatSff));
    QCOMPARE(GetSffResolution(sff), resolution);
    PrintFileInfo info;
    QVERIFY(info.Examine(sff));
    QCOMPARE(info.m_nFormat, static_cast<std::int32_t>(kFormatSff));
    QCOMPARE(info.m_nResolution, resolution);
    QCOMPARE(info.m_nSize, static_cast<std::uint32_t>(data.size()));

    // Ghostscript's stream: no page count, no end offsets.
    QCOMPARE(Le16(data, 8), 0);
    QCOMPARE(data.mid(12, 8), QByteArray(8, 0));
    const SffWalk walk = WalkSff(data.toStdString());
    QVERIFY2(walk.complete, walk.fault.c_str());
    QCOMPARE(walk.resolution, std::vector<int>(pages, resolution == 196 ? 1 : 0));
    // Rows of the standard fax width, and the paper's height.
    const qsizetype page = Le16(data, 10);
    QCOMPARE(Le16(data, page + 6), SffWriter::kStandardWidth);
    QVERIFY2(qAbs(Le16(data, page + 8) - rows) <= 2, QByteArray::number(Le16(data, page + 8)));
}

void TestGhostscriptSff::appendsAcrossGhostscriptAndOurs() {
    const QString fine = Convert({}, "append-fine.sff", false);
    const QString normal = Convert("Resolution=204x98dpi", "append-normal.sff", false);
    QVERIFY(!fine.isEmpty() && !normal.isEmpty());
    const QByteArray fineHeader = ReadAll(fine).left(20);

    // Ghostscript's onto Ghostscript's: the end is found by its place, the header kept.
    FileError error;
    QVERIFY(AppendSffFile(fine, normal, error));
    QByteArray joined = ReadAll(fine);
    QCOMPARE(joined.left(20), fineHeader);
    SffWalk walk = WalkSff(joined.toStdString());
    QVERIFY2(walk.complete, walk.fault.c_str());
    QCOMPARE(walk.resolution, (std::vector<int>{1, 1, 1, 0, 0, 0}));
    QCOMPARE(GetSffResolution(fine), 196);

    // Ghostscript's onto one of ours (as a colour print's pages are), and ours onto it.
    SffWriter writer;
    writer.BeginPage(98);
    writer.AddBlankRows(10);
    const QString ours = m_dir.filePath("ours.sff");
    QVERIFY(WriteAll(ours, writer.Finish()));
    QVERIFY(AppendSffFile(ours, normal, error));
    walk = WalkSff(ReadAll(ours).toStdString());
    QVERIFY2(walk.complete, walk.fault.c_str());
    QCOMPARE(walk.resolution.size(), std::size_t(4));
    const QString oursAgain = m_dir.filePath("ours-again.sff");
    QVERIFY(WriteAll(oursAgain, writer.Finish()));
    QVERIFY(AppendSffFile(normal, oursAgain, error));
    walk = WalkSff(ReadAll(normal).toStdString());
    QVERIFY2(walk.complete, walk.fault.c_str());
    QCOMPARE(walk.resolution, (std::vector<int>{0, 0, 0, 0}));
}

QTEST_GUILESS_MAIN(TestGhostscriptSff)
#include "tst_ghostscriptsff.moc"
