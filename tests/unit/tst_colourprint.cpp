#include "JournalFake.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "fax/PrintFileFormat.h"
#include "fax/SpoolNames.h"
#include "job/ColourPrint.h"
#include "job/SendOrder.h"
#include "platform/PosixProcessLauncher.h"
#include "support/StringIds.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cerrno>
#include <functional>
#include <unistd.h>
#include <utility>

namespace {

void Touch(const QString& path, const QByteArray& bytes = QByteArray("x")) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void WriteBitmap(const QString& path, int shade) {
    QImage page(170, 240, QImage::Format_RGB32);
    page.fill(QColor(255, 255, 255));
    for (int y = 20; y < 60; ++y)
        for (int x = 10; x < 160; ++x)
            page.setPixel(x, y, qRgb(shade, 0, 255 - shade));
    page.setDotsPerMeterX(7874); // 200 dots per inch
    page.setDotsPerMeterY(7874);
    QVERIFY(page.save(path, "BMP"));
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Counts the page headers of an SFF document by walking its records.
int SffPages(const QByteArray& doc) {
    if (doc.size() < 20 || !doc.startsWith("Sfff"))
        return -1;
    qsizetype pos = static_cast<unsigned char>(doc[10]) | static_cast<unsigned char>(doc[11]) << 8;
    int pages = 0;
    while (pos < doc.size()) {
        const int type = static_cast<unsigned char>(doc[pos]);
        if (type == 0xFE) {
            const int size = pos + 1 < doc.size() ? static_cast<unsigned char>(doc[pos + 1]) : -1;
            if (size <= 0)
                return size == 0 && pos + 2 == doc.size() ? pages : -1;
            ++pages;
            pos += 2 + size;
        } else if (type == 0) {
            if (pos + 2 >= doc.size())
                return -1;
            pos += 3 + (static_cast<unsigned char>(doc[pos + 1]) |
                        static_cast<unsigned char>(doc[pos + 2]) << 8);
        } else if (type <= 216) {
            pos += 1 + type;
        } else if (type <= 253) {
            pos += 1;
        } else {
            pos += 2 + (pos + 1 < doc.size() ? static_cast<unsigned char>(doc[pos + 1]) : 0);
        }
    }
    return -1;
}

// Children of this process that have ended but were not reaped.
int Zombies() {
    int count = 0;
    const QString self = QString::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(stat.readAll());
        const QStringList fields = text.mid(text.lastIndexOf(u')') + 2).split(u' ');
        if (fields.size() > 1 && fields[0] == u"Z" && fields[1] == self)
            ++count;
    }
    return count;
}

} // namespace

class TestColourPrint : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_print;  // where the driver put the bitmaps
    QString m_data;   // the fax data folder
    QString m_system; // the program folder with the converter
    PosixProcessLauncher m_launcher;
    RecordingMessenger m_messenger;

private Q_SLOTS:
    void init();
    void cleanup();

    void makeTempName();
    void launcher();
    void assemblesTwoPages();
    void earlierLeftoversTakeNextName();
    void nothingToAssemble_data();
    void nothingToAssemble();
    void converterMissingLosesPage();
    void converterMissingKeepsEveryBitmap();
    void claimedBaseIsNotShared();
    void stemFolder_data();
    void stemFolder();

    void sendOrderKeepsBitmapsUntilAJobNamesThePages_data();
    void sendOrderKeepsBitmapsUntilAJobNamesThePages();
    void sendOrderWithNothingCollectedDeletesNothing();
};

void TestColourPrint::init() {
    m_print = m_root.filePath(QStringLiteral("spool"));
    m_data = m_root.filePath(QStringLiteral("data"));
    m_system = m_root.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(m_print));
    QVERIFY(QDir().mkpath(m_data));
    QVERIFY(QDir().mkpath(m_system));
    const QString standin = qEnvironmentVariable("STANDIN");
    QVERIFY2(!standin.isEmpty(), "STANDIN names the built stand-in");
    QVERIFY(QFile::link(standin, m_system + QStringLiteral("/R3ozav.exe")));
    m_messenger.Clear();
}

void TestColourPrint::cleanup() {
    for (const QString& folder : {m_print, m_data, m_system})
        QDir(folder).removeRecursively();
}

void TestColourPrint::makeTempName() {
    QCOMPARE(MakeTempName(m_data), m_data + QStringLiteral("/Tmp00000"));
    Touch(m_data + QStringLiteral("/Tmp00000.TMP"));
    Touch(m_data + QStringLiteral("/tmp000012"));
    Touch(m_data + QStringLiteral("/Tmp0000")); // shorter: does not block Tmp00002
    QCOMPARE(MakeTempName(m_data), m_data + QStringLiteral("/Tmp00002"));
}

void TestColourPrint::launcher() {
    // A missing program fails with ENOENT.
    ProcessStart missing;
    missing.program = m_system + QStringLiteral("/KalFax32.exe");
    missing.wait = true;
    errno = 0;
    QVERIFY(!m_launcher.Start(missing));
    QCOMPARE(errno, ENOENT);

    // Arguments stay whole, the working folder is set, waiting waits.
    ProcessStart sh;
    sh.program = QStringLiteral("/bin/sh");
    sh.arguments = {QStringLiteral("-c"),
                    QStringLiteral("pwd > \"$1\"; printf %s \"$2\" >> \"$1\""),
                    QStringLiteral("sh"), QStringLiteral("out file"), QStringLiteral("a b  c")};
    sh.workingDirectory = m_print;
    sh.wait = true;
    QVERIFY(m_launcher.Start(sh));
    QFile out(m_print + QStringLiteral("/out file"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), (m_print + QStringLiteral("\na b  c")).toUtf8());

    // Detached children are reaped.
    ProcessStart detached;
    detached.program = QStringLiteral("/bin/true");
    for (int i = 0; i < 5; ++i)
        QVERIFY(m_launcher.Start(detached));
    QTRY_COMPARE_WITH_TIMEOUT(Zombies(), 0, 5000);
    QThread::msleep(200);
    QCOMPARE(Zombies(), 0);
}

void TestColourPrint::assemblesTwoPages() {
    WriteBitmap(m_print + QStringLiteral("/Page1.bmp"), 0);
    WriteBitmap(m_print + QStringLiteral("/Page2.bmp"), 255);
    Touch(m_print + QStringLiteral("/Page.txt"));
    QString printFile = m_print + QStringLiteral("/Page");

    AssemblePageBitmaps(printFile, m_data, m_system, m_launcher, m_messenger);

    QCOMPARE(printFile, m_data + QStringLiteral("/Tmp00000.CFF"));
    QCOMPARE(Entries(m_print), QStringList{QStringLiteral("Page.txt")});
    QCOMPARE(Entries(m_data),
             (QStringList{QStringLiteral("Tmp00000.CFF"), QStringLiteral("Tmp00000.SFF")}));
    QFile cff(printFile);
    QVERIFY(cff.open(QIODevice::ReadOnly));
    const QByteArray colour = cff.readAll();
    QVERIFY(colour.startsWith("\xFF\xD8"));
    // Both pages end to end: two JPEG images, each beginning FF D8 FF.
    QCOMPARE(colour.count("\xFF\xD9\xFF\xD8\xFF"), 1);
    QVERIFY(colour.endsWith("\xFF\xD9"));
    QCOMPARE(DetectFileFormat(printFile), 4);

    QFile sff(m_data + QStringLiteral("/Tmp00000.SFF"));
    QVERIFY(sff.open(QIODevice::ReadOnly));
    QCOMPARE(SffPages(sff.readAll()), 2);
    QCOMPARE(GetSffResolution(sff.fileName()), 196);
    QVERIFY(m_messenger.messages.isEmpty());
}

void TestColourPrint::earlierLeftoversTakeNextName() {
    Touch(m_data + QStringLiteral("/Tmp00000.CFF"));
    Touch(m_data + QStringLiteral("/Tmp00000.SFF"));
    // A base that another print has just claimed, before any file of it exists.
    Touch(m_data + QStringLiteral("/Tmp00001"));
    WriteBitmap(m_print + QStringLiteral("/Doc1.bmp"), 80);
    QString printFile = m_print + QStringLiteral("/Doc");
    AssemblePageBitmaps(printFile, m_data, m_system, m_launcher, m_messenger);
    QCOMPARE(printFile, m_data + QStringLiteral("/Tmp00002.CFF"));
    QVERIFY(QFile::exists(m_data + QStringLiteral("/Tmp00002.SFF")));
    QCOMPARE(Entries(m_print), QStringList());
    // Our own claim goes once the collected file holds the base.
    QVERIFY(!QFile::exists(m_data + QStringLiteral("/Tmp00002")));
}

void TestColourPrint::nothingToAssemble_data() {
    QTest::addColumn<QString>("printFile"); // relative to the spool folder
    QTest::newRow("no matching bitmap") << QStringLiteral("Other");
    QTest::newRow("upper-case extension only") << QStringLiteral("Upper");
    QTest::newRow("empty stem") << QStringLiteral("");
    QTest::newRow("a folder") << QStringLiteral("Sub");
}

void TestColourPrint::nothingToAssemble() {
    QFETCH(QString, printFile);
    WriteBitmap(m_print + QStringLiteral("/Page1.bmp"), 0);
    WriteBitmap(m_print + QStringLiteral("/Upper1.BMP"), 0);
    QVERIFY(QDir().mkpath(m_print + QStringLiteral("/Sub")));
    WriteBitmap(m_print + QStringLiteral("/Sub/Page1.bmp"), 0);
    const QString before = m_print + u'/' + printFile;
    QString path = before;
    AssemblePageBitmaps(path, m_data, m_system, m_launcher, m_messenger);
    QCOMPARE(path, before);
    QCOMPARE(Entries(m_data), QStringList());
    QCOMPARE(Entries(m_print),
             (QStringList{QStringLiteral("Page1.bmp"), QStringLiteral("Upper1.BMP")}));
    QCOMPARE(Entries(m_print + QStringLiteral("/Sub")), QStringList{QStringLiteral("Page1.bmp")});
    QVERIFY(m_messenger.messages.isEmpty());
}

void TestColourPrint::converterMissingLosesPage() {
    // The first page's converter cannot start; the second page still follows.
    WriteBitmap(m_print + QStringLiteral("/Page1.bmp"), 0);
    WriteBitmap(m_print + QStringLiteral("/Page2.bmp"), 200);

    class FailFirst final : public ProcessLauncher {
    public:
        explicit FailFirst(ProcessLauncher& real) : m_real(real) {}
        bool Start(const ProcessStart& start) override {
            if (m_calls++ == 0) {
                errno = ENOENT;
                return false;
            }
            return m_real.Start(start);
        }

    private:
        ProcessLauncher& m_real;
        int m_calls = 0;
    } launcher(m_launcher);

    QString printFile = m_print + QStringLiteral("/Page");
    AssemblePageBitmaps(printFile, m_data, m_system, launcher, m_messenger);
    // The page that failed keeps its bitmap; the other's went once it was collected.
    QCOMPARE(Entries(m_print), QStringList{"Page1.bmp"});
    QCOMPARE(printFile, m_data + QStringLiteral("/Tmp00000.CFF"));
    QCOMPARE(Entries(m_data), (QStringList{"Tmp00000.CFF", "Tmp00000.SFF"}));
    QFile cff(printFile);
    QVERIFY(cff.open(QIODevice::ReadOnly));
    const QByteArray colour = cff.readAll();
    QVERIFY(colour.startsWith("\xFF\xD8"));
    QCOMPARE(colour.count("\xFF\xD9\xFF\xD8\xFF"), 0);
    QFile sff(m_data + QStringLiteral("/Tmp00000.SFF"));
    QVERIFY(sff.open(QIODevice::ReadOnly));
    QCOMPARE(SffPages(sff.readAll()), 1);

    QCOMPARE(m_messenger.Ids(), QList<int>{IDS_ERR_COLOUR_PAGES});
    QCOMPARE(m_messenger.messages[0].text,
             QStringLiteral("1 Seite(n) des Farbausdrucks konnte(n) nicht umgewandelt werden."));
}

// Without the converter no page can be made: every bitmap stays for another try, nothing is
// left in the data folder, and the user is told how many pages failed.
void TestColourPrint::converterMissingKeepsEveryBitmap() {
    WriteBitmap(m_print + QStringLiteral("/Page1.bmp"), 0);
    WriteBitmap(m_print + QStringLiteral("/Page2.bmp"), 200);
    QVERIFY(QFile::remove(m_system + QStringLiteral("/R3ozav.exe")));
    QString printFile = m_print + QStringLiteral("/Page");
    AssemblePageBitmaps(printFile, m_data, m_system, m_launcher, m_messenger);
    QCOMPARE(printFile, m_print + QStringLiteral("/Page"));
    QCOMPARE(Entries(m_print), (QStringList{"Page1.bmp", "Page2.bmp"}));
    QCOMPARE(Entries(m_data), QStringList());
    QCOMPARE(m_messenger.Ids(), QList<int>{IDS_ERR_COLOUR_PAGES});
    QVERIFY(m_messenger.messages[0].text.startsWith(QStringLiteral("2 Seite(n)")));
}

// Two prints at once: each works on a base of its own from the first page on, whatever the
// other has created so far.
void TestColourPrint::claimedBaseIsNotShared() {
    WriteBitmap(m_print + QStringLiteral("/A1.bmp"), 0);
    WriteBitmap(m_print + QStringLiteral("/B1.bmp"), 100);
    class Interleaving final : public ProcessLauncher {
    public:
        Interleaving(ProcessLauncher& real, std::function<void()> between)
            : m_real(real), m_between(std::move(between)) {}
        bool Start(const ProcessStart& start) override {
            if (m_between)
                std::exchange(m_between, nullptr)();
            return m_real.Start(start);
        }

    private:
        ProcessLauncher& m_real;
        std::function<void()> m_between;
    };
    QString second = m_print + QStringLiteral("/B");
    // The second print runs to its end while the first converts its first page.
    Interleaving inner(m_launcher, nullptr);
    Interleaving outer(m_launcher,
                       [&] { AssemblePageBitmaps(second, m_data, m_system, inner, m_messenger); });
    QString first = m_print + QStringLiteral("/A");
    AssemblePageBitmaps(first, m_data, m_system, outer, m_messenger);
    QCOMPARE(first, m_data + QStringLiteral("/Tmp00000.CFF"));
    QCOMPARE(second, m_data + QStringLiteral("/Tmp00001.CFF"));
    for (const QString& base : {first, second}) {
        QFile sff(QString(base).replace(QStringLiteral(".CFF"), QStringLiteral(".SFF")));
        QVERIFY(sff.open(QIODevice::ReadOnly));
        QCOMPARE(SffPages(sff.readAll()), 1);
    }
    QVERIFY(m_messenger.messages.isEmpty());
}

void TestColourPrint::stemFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("in a folder") << "/var/spool/Page"
                                 << "/var/spool";
    QTest::newRow("in the root") << "/Page"
                                 << "/";
    QTest::newRow("bare name") << "Page"
                               << ".";
    QTest::newRow("relative folder") << "spool/Page"
                                     << "spool";
}

void TestColourPrint::stemFolder() {
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(StemFolder(path), folder);
}

void TestColourPrint::sendOrderKeepsBitmapsUntilAJobNamesThePages_data() {
    QTest::addColumn<QString>("end"); // how the send order ends
    QTest::newRow("job placed: the bitmaps go") << "job";
    QTest::newRow("Cancel: the bitmaps go") << "cancel";
    QTest::newRow("left waiting: the bitmaps stay for another try") << "abandon";
    QTest::newRow("companion missing: no job, the bitmaps stay") << "no companion";
}

// A colour print's bitmaps are the print: they stay until a job names the collected pages or
// the user cancels. A send order left waiting removes its working files and keeps them, so
// that the same print can be sent again.
void TestColourPrint::sendOrderKeepsBitmapsUntilAJobNamesThePages() {
    QFETCH(QString, end);
    WriteBitmap(m_print + QStringLiteral("/Page1.bmp"), 0);
    WriteBitmap(m_print + QStringLiteral("/Page2.bmp"), 255);
    for (const char* folder : {"Faxsend", "Comjob"})
        QVERIFY(QDir(m_data).mkpath(QString::fromLatin1(folder)));
    JournalFake journal;
    const FixedClock clock(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
    const PrintFile print{m_print + QStringLiteral("/Page"), true, true};
    const QStringList bitmaps{"Page1.bmp", "Page2.bmp"};
    for (int run = 0; run < 2; ++run) {
        SendOrder order(print, m_data, m_messenger, journal, clock);
        order.Prepare(m_system, m_launcher);
        QCOMPARE(order.File().path, m_data + QStringLiteral("/Tmp00000.CFF"));
        QCOMPARE(Entries(m_print), bitmaps);
        if (end == "no companion")
            QVERIFY(QFile::remove(m_data + QStringLiteral("/Tmp00000.SFF")));
        if (run == 1 || end == "job" || end == "no companion") {
            SendRequest request;
            request.numbers = {QStringLiteral("0711")};
            const SendOutcome outcome = order.Send(request);
            if (end == "no companion") {
                QCOMPARE(outcome.placed, 0);
                QVERIFY(outcome.problem);
                QCOMPARE(outcome.problem->messageId, int(IDS_ERR_COPY_PRINTFILE));
                QCOMPARE(Entries(m_print), bitmaps);
                QVERIFY(Entries(m_data + QStringLiteral("/Faxsend")).isEmpty());
                return;
            }
            QCOMPARE(outcome.placed, 1);
            QVERIFY(Entries(m_print).isEmpty());
            QCOMPARE(Entries(m_data + QStringLiteral("/Faxsend")),
                     (QStringList{"_FX00000.CFF", "_FX00000.SFF"}));
            QVERIFY(Entries(m_data).isEmpty());
            return;
        }
        if (end == "cancel") {
            order.Cancel();
            QVERIFY(Entries(m_print).isEmpty());
            QVERIFY(Entries(m_data).isEmpty());
            return;
        }
        order.Abandon();
        QCOMPARE(Entries(m_print), bitmaps);
        QVERIFY(Entries(m_data).isEmpty());
    }
}

// A colour print of which no page was collected has nothing of the program's: Cancel deletes
// nothing, not even a file that shares the stem's name without its extension.
void TestColourPrint::sendOrderWithNothingCollectedDeletesNothing() {
    QVERIFY(QFile::remove(m_system + QStringLiteral("/R3ozav.exe")));
    WriteBitmap(m_print + QStringLiteral("/report.v21.bmp"), 0);
    Touch(m_print + QStringLiteral("/report.SFF"));
    JournalFake journal;
    const FixedClock clock(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
    SendOrder order({m_print + QStringLiteral("/report.v2"), true, true}, m_data, m_messenger,
                    journal, clock);
    order.Prepare(m_system, m_launcher);
    QVERIFY(!order.File().own);
    order.Cancel();
    QCOMPARE(Entries(m_print), (QStringList{"report.SFF", "report.v21.bmp"}));
}

QTEST_GUILESS_MAIN(TestColourPrint)
#include "tst_colourprint.moc"
