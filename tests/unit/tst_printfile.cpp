#include "fax/FileCopy.h"
#include "fax/PrintFileFormat.h"
#include "fax/PrintFileInfo.h"
#include "fax/SffAppend.h"
#include "fax/SffWriter.h"
#include "support/FileUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <sys/stat.h>

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

// A document of the given number of pages with a few rows of pattern each.
QByteArray Document(int pages, int resolution = 196) {
    SffWriter writer;
    for (int p = 0; p < pages; ++p) {
        writer.BeginPage(resolution);
        unsigned char row[SffWriter::kStandardWidth / 8] = {};
        for (int y = 0; y < 4; ++y) {
            row[y * 3 + p] = 0xF0;
            writer.AddBitRow(row, SffWriter::kStandardWidth);
        }
        writer.AddBlankRows(3);
    }
    return writer.Finish();
}

// The document as a streaming writer (Ghostscript) leaves it: page count and the offsets of
// the last page and of the end are 0 in the header.
QByteArray Streamed(QByteArray document) {
    document[8] = document[9] = 0;
    for (int i = 12; i < 20; ++i)
        document[i] = 0;
    return document;
}

int FirstPageOffset(const QByteArray& document) {
    return static_cast<unsigned char>(document[10]) | static_cast<unsigned char>(document[11]) << 8;
}

} // namespace

class TestPrintFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void detectAndExamine_data();
    void detectAndExamine();
    void examineEmptyPath();
    void sffResolutionOfWrittenPages();

    void copyFileData_data();
    void copyFileData();
    void copyFileDataFailures();
    void checkPrintFile_data();
    void checkPrintFile();

    void appendIntoMissingTarget();
    void appendThreePages();
    void appendNeverTakesFalseEnd_data();
    void appendNeverTakesFalseEnd();
    void appendAfterConfirmedEndDropsTrailingBytes();
    void appendFileErrors_data();
    void appendFileErrors();

    void encodeRow();
};

void TestPrintFile::checkPrintFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("problem");
    const QByteArray doc = Document(2, 98);
    QTest::newRow("readable SFF") << doc << int(PrintFileProblem::None);
    QTest::newRow("streamed header") << Streamed(doc) << int(PrintFileProblem::None);
    QTest::newRow("cut in the first page header")
        << doc.left(FirstPageOffset(doc) + 5) << int(PrintFileProblem::UnreadableFax);
    QTest::newRow("header only") << doc.left(20) << int(PrintFileProblem::UnreadableFax);
    QTest::newRow("cut in the second page")
        << doc.chopped(6) << int(PrintFileProblem::UnreadableFax);
    QTest::newRow("end-of-document pair missing")
        << doc.chopped(2) << int(PrintFileProblem::UnreadableFax);
    QTest::newRow("end-of-document pair cut in half")
        << doc.chopped(1) << int(PrintFileProblem::UnreadableFax);
    QByteArray far = doc;
    far[10] = '\xF0';
    far[11] = '\x7F';
    QTest::newRow("first page beyond the end") << far << int(PrintFileProblem::UnreadableFax);
    QTest::newRow("Ffff") << QByteArray("Ffff").append(doc.mid(4))
                          << int(PrintFileProblem::UnreadableFax);
    QTest::newRow("text") << QByteArray("Hallo\r\n") << int(PrintFileProblem::None);
}

// A print file that would be written into a job with resolution 0, or whose records do not
// reach the end of the document, is refused; one that a streaming writer left with zeros in
// its header is not.
void TestPrintFile::checkPrintFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, problem);
    const QString path = Path(QStringLiteral("check.sff"));
    WriteBytes(path, bytes);
    QCOMPARE(int(CheckPrintFile(path)), problem);
    if (problem == int(PrintFileProblem::None) && bytes.startsWith("Sfff")) {
        QCOMPARE(GetSffResolution(path), 98);
        // Pages are appended by walking them, whatever the header counts.
        const QString target = Path(QStringLiteral("target.sff"));
        WriteBytes(target, bytes);
        FileError error;
        QVERIFY(AppendSffFile(target, path, error));
        QCOMPARE(ReadBytes(target).size(), 2 * bytes.size() - FirstPageOffset(bytes) - 2);
    }
    QCOMPARE(CheckPrintFile(Path(QStringLiteral("missing.sff"))), PrintFileProblem::CannotOpen);
}

void TestPrintFile::detectAndExamine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("resolution");

    QByteArray noPage = Document(1);
    noPage[10] = 0;
    noPage[11] = 0;
    QTest::newRow("Sfff, first page at 0") << noPage << 3 << 0;
    QTest::newRow("Ffff") << QByteArray("Ffff and more bytes of a document") << 3 << 0;
    QTest::newRow("PCX") << QByteArray::fromHex("0A050108000000") << 2 << 196;
    QTest::newRow("colour") << QByteArray::fromHex("FFD8FFE000104A46") << 4 << 196;
    QTest::newRow("TIFF II") << QByteArray::fromHex("49492A0008000000") << 1 << 98;
    QTest::newRow("TIFF MM") << QByteArray::fromHex("4D4D002A") << 1 << 98;
    QTest::newRow("3 bytes") << QByteArray("Sff") << 0 << 98;
    QTest::newRow("text") << QByteArray("Dear Sir,\r\n") << 0 << 98;
    QTest::newRow("SFF fine") << Document(1, 196) << 3 << 196;
    QTest::newRow("SFF normal") << Document(2, 98) << 3 << 98;
    QByteArray shortPage = Document(1).left(30);
    QTest::newRow("SFF, page header cut short") << shortPage << 3 << 0;
    QByteArray noMarker = Document(1);
    noMarker[20] = 0x01;
    QTest::newRow("SFF, no page marker") << noMarker << 3 << 0;
    QByteArray farPage = Document(1);
    farPage[10] = char(0xFF);
    farPage[11] = char(0xFF);
    QTest::newRow("SFF, first page beyond the end") << farPage << 3 << 0;
}

void TestPrintFile::detectAndExamine() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QFETCH(int, resolution);
    const QString path = Path(QStringLiteral("print.dat"));
    WriteBytes(path, bytes);

    QCOMPARE(DetectFileFormat(path), format);
    PrintFileInfo info;
    QVERIFY(info.Examine(path));
    QCOMPARE(info.m_nFormat, format);
    QCOMPARE(info.m_nResolution, resolution);
    QCOMPARE(info.m_nSize, std::uint32_t(bytes.size()));
}

void TestPrintFile::examineEmptyPath() {
    PrintFileInfo info;
    QVERIFY(!info.Examine(QString()));
    QCOMPARE(info.m_nSize, 0u);
    QCOMPARE(info.m_nResolution, 0);
    QCOMPARE(info.m_nFormat, 3);

    // A file that cannot be read is unknown text at normal resolution, size 0.
    QVERIFY(info.Examine(Path(QStringLiteral("missing.sff"))));
    QCOMPARE(info.m_nFormat, 0);
    QCOMPARE(info.m_nSize, 0u);
    QCOMPARE(info.m_nResolution, 98);
    QCOMPARE(GetSffResolution(Path(QStringLiteral("missing.sff"))), 0);
}

void TestPrintFile::sffResolutionOfWrittenPages() {
    const QByteArray document = Document(3, 98);
    QCOMPARE(document.left(4), QByteArray("Sfff"));
    QCOMPARE(FirstPageOffset(document), 20);
    QCOMPARE(static_cast<unsigned char>(document[8]), 3); // page count
    QCOMPARE(document.right(2), QByteArray::fromHex("FE00"));
}

void TestPrintFile::copyFileData_data() {
    QTest::addColumn<bool>("append");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("append") << true << QByteArray("old bytes|") + QByteArray(5000, 'n');
    QTest::newRow("replace") << false << QByteArray(5000, 'n');
}

void TestPrintFile::copyFileData() {
    QFETCH(bool, append);
    QFETCH(QByteArray, expected);
    const QString source = Path(QStringLiteral("source.bin"));
    const QString target = Path(QStringLiteral("target.bin"));
    WriteBytes(source, QByteArray(5000, 'n'));
    WriteBytes(target, QByteArray("old bytes|"));
    QCOMPARE(CopyFileData(target, source, append), 0);
    QCOMPARE(ReadBytes(target), expected);

    // A new target is created.
    QFile::remove(target);
    QCOMPARE(CopyFileData(target, source, append), 0);
    QCOMPARE(ReadBytes(target), QByteArray(5000, 'n'));
}

void TestPrintFile::copyFileDataFailures() {
    const QString source = Path(QStringLiteral("source.bin"));
    WriteBytes(source, "data");
    errno = 0;
    QCOMPARE(CopyFileData(Path(QStringLiteral("t1")), Path(QStringLiteral("none")), false), 1);
    QCOMPARE(errno, ENOENT);
    QVERIFY(!QFile::exists(Path(QStringLiteral("t1"))));
    QCOMPARE(CopyFileData(Path(QStringLiteral("no/such/folder")), source, false), 2);
    QCOMPARE(CopyFileData(m_dir.path(), source, false), 2); // a folder is no target
    // A folder is no print file.
    QCOMPARE(CopyFileData(Path(QStringLiteral("t3")), m_dir.path(), false), 1);
    // Nor is a FIFO: refused at once, instead of waiting for a writer for ever.
    const QString fifo = Path(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(NativePath(fifo).constData(), 0600), 0);
    QCOMPARE(CopyFileData(Path(QStringLiteral("t4")), fifo, false), 1);
    QCOMPARE(GetLastErrorText(), QStringLiteral("Keine reguläre Datei"));
    QCOMPARE(DetectFileFormat(fifo), 0);
    QCOMPARE(CheckPrintFile(fifo), PrintFileProblem::CannotOpen);
    // A file copied onto itself, by its own name or through a link, is neither emptied nor
    // doubled.
    const QString link = Path(QStringLiteral("link.bin"));
    QVERIFY(QFile::link(source, link));
    for (const bool append : {false, true}) {
        QCOMPARE(CopyFileData(source, source, append), 2);
        QCOMPARE(errno, EINVAL);
        QCOMPARE(CopyFileData(link, source, append), 2);
        QCOMPARE(ReadBytes(source), QByteArray("data"));
    }
}

void TestPrintFile::appendIntoMissingTarget() {
    const QString source = Path(QStringLiteral("page.sff"));
    const QString target = Path(QStringLiteral("new.sff"));
    QFile::remove(target);
    const QByteArray document = Document(2);
    WriteBytes(source, document);
    FileError error;
    error.m_cause = 99;
    QVERIFY(AppendSffFile(target, source, error));
    QCOMPARE(ReadBytes(target), document);
    QCOMPARE(error.m_cause, 0);
}

void TestPrintFile::appendThreePages() {
    const QString source = Path(QStringLiteral("three.sff"));
    const QString target = Path(QStringLiteral("target.sff"));
    const QByteArray sourceBytes = Document(3);
    const QByteArray targetBytes = Document(1, 98);
    WriteBytes(source, sourceBytes);
    WriteBytes(target, targetBytes);
    FileError error;
    QVERIFY(AppendSffFile(target, source, error));
    const QByteArray result = ReadBytes(target);
    const qsizetype endAt = targetBytes.size() - 2;
    QCOMPARE(result.size(), endAt + (sourceBytes.size() - FirstPageOffset(sourceBytes)));
    QCOMPARE(result.left(20), targetBytes.left(20)); // header unchanged
    QCOMPARE(result.left(endAt), targetBytes.left(endAt));
    QCOMPARE(result.mid(endAt), sourceBytes.mid(FirstPageOffset(sourceBytes)));
    QCOMPARE(GetSffResolution(target), 98);
}

void TestPrintFile::appendNeverTakesFalseEnd_data() {
    QTest::addColumn<QByteArray>("target");

    // Documents cut before their end: the pair FE 00 occurs only inside page data.
    SffWriter escape;
    escape.BeginPage(196);
    escape.AddCodedRow(QByteArray(254, '\x11')); // escape record 00 FE 00
    escape.AddCodedRow(QByteArray(10, '\x22'));
    QTest::newRow("escape record 00 FE 00") << escape.Finish().chopped(2);

    SffWriter pageLength;
    pageLength.BeginPage(196);
    for (int i = 0; i < 254; ++i)
        pageLength.AddCodedRow(QByteArray(1, '\x33')); // page header says 254 rows: FE 00
    QTest::newRow("page length 254") << pageLength.Finish().chopped(2);

    QTest::newRow("no pair at all") << Document(2).chopped(2) + QByteArray(5000, '\x01');
    QByteArray far = Document(1);
    far.append(QByteArray(5000, '\x05'));
    QTest::newRow("end farther back than 4096 bytes") << far;
    QTest::newRow("pair in the header only")
        << QByteArray("Sfff").append(14, '\0').append("\xFE", 1).append('\0');
}

void TestPrintFile::appendNeverTakesFalseEnd() {
    QFETCH(QByteArray, target);
    const QString source = Path(QStringLiteral("page.sff"));
    const QString targetPath = Path(QStringLiteral("target.sff"));
    WriteBytes(source, Document(1));
    WriteBytes(targetPath, target);
    FileError error;
    error.m_cause = 99;
    QVERIFY(!AppendSffFile(targetPath, source, error));
    QCOMPARE(error.m_cause, 0);
    QCOMPARE(error.m_lOsError, 0L);
    QCOMPARE(error.m_strFileName, QString());
    QCOMPARE(ReadBytes(targetPath), target);
}

void TestPrintFile::appendAfterConfirmedEndDropsTrailingBytes() {
    // An end pair followed by bytes is taken once walking the pages arrives at it.
    SffWriter writer;
    writer.BeginPage(196);
    writer.AddCodedRow(QByteArray(254, '\x11'));
    const QByteArray document = writer.Finish();
    const QByteArray target = document + QByteArray("\xFE\x00zz", 4);
    const QString source = Path(QStringLiteral("page.sff"));
    const QString targetPath = Path(QStringLiteral("target.sff"));
    const QByteArray page = Document(1);
    WriteBytes(source, page);
    WriteBytes(targetPath, target);
    FileError error;
    QVERIFY(AppendSffFile(targetPath, source, error));
    QCOMPARE(ReadBytes(targetPath), document.chopped(2) + page.mid(20));
}

void TestPrintFile::appendFileErrors_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<bool>("sourceMissing");
    QTest::addColumn<int>("cause");
    QTest::addColumn<long>("osError");
    QTest::addColumn<QString>("name");

    QTest::newRow("source truncated") << QByteArray("Sfff\x01", 5) << Document(1) << false
                                      << int(FileError::endOfFile) << 0L << "page.sff";
    QTest::newRow("target truncated") << Document(1) << QByteArray("Sfff\x01\x00\x00", 7) << false
                                      << int(FileError::endOfFile) << 0L << "target.sff";
    QTest::newRow("source missing") << QByteArray() << Document(1) << true
                                    << int(FileError::fileNotFound) << long(ENOENT) << "page.sff";
}

void TestPrintFile::appendFileErrors() {
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, target);
    QFETCH(bool, sourceMissing);
    QFETCH(int, cause);
    QFETCH(long, osError);
    QFETCH(QString, name);
    const QString sourcePath = Path(QStringLiteral("page.sff"));
    const QString targetPath = Path(QStringLiteral("target.sff"));
    QFile::remove(sourcePath);
    if (!sourceMissing)
        WriteBytes(sourcePath, source);
    WriteBytes(targetPath, target);
    FileError error;
    QVERIFY(!AppendSffFile(targetPath, sourcePath, error));
    QCOMPARE(error.m_cause, cause);
    QCOMPARE(error.m_lOsError, osError);
    QCOMPARE(error.m_strFileName, Path(name));
    QCOMPARE(ReadBytes(targetPath), target);
}

void TestPrintFile::encodeRow() {
    // A white row: make-up 1728 (010011011) and terminating 0 (00110101), first bit lowest.
    unsigned char row[SffWriter::kStandardWidth / 8] = {};
    QCOMPARE(SffWriter::EncodeRow(row, SffWriter::kStandardWidth), QByteArray::fromHex("B25901"));
    // White 0 (00110101), black 8 (000101), white 8 (10011).
    const unsigned char mixed[2] = {0xFF, 0x00};
    QCOMPARE(SffWriter::EncodeRow(mixed, 16), QByteArray::fromHex("AC6806"));
}

QTEST_GUILESS_MAIN(TestPrintFile)
#include "tst_printfile.moc"
