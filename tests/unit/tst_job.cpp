#include "DataFolder.h"
#include "JournalFake.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "fax/FaxContract.h"
#include "fax/FaxJob.h"
#include "fax/JobFileWriter.h"
#include "fax/OemFile.h"
#include "fax/PrintFileInfo.h"
#include "fax/SpoolFolder.h"
#include "fax/SpoolNames.h"
#include "job/JobSubmitter.h"
#include "job/PrintFileHandOff.h"
#include "support/Clock.h"
#include "support/StringIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const QDateTime kChristmasEve(QDate(2024, 12, 24), QTime(10, 0));

// What a submitter needs besides the data folder: a print file description, a messenger, a
// journal that records every entry and the clock at Christmas Eve.
struct SubmitServices {
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    FixedClock clock{kChristmasEve};
    JobSubmitter Submitter(const QString& dataDir) {
        return JobSubmitter(dataDir, printFile, messenger, journal, clock);
    }
};

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray JobBytes(const QByteArray& function, const QByteArray& document,
                    const QByteArray& number, const QByteArray& format,
                    const QByteArray& resolution, const QByteArray& sendTime) {
    return "A*APPLI/COM*V001\r\n"
           "FUNCTION:" +
           function + "\r\nFILENAME:" + document + "\r\nADDRESS :" + number +
           "\r\nSERVICE :FX3\r\nCONVERT :" + format + "\r\nFAXRES  :" + resolution +
           "\r\nSPEED   :\r\nPAGES   :\r\nRECEIVID:\r\nSENDTIME:" + sendTime +
           "\r\nERROR   :\r\nSTATUS  :\r\nFAXDATE :\r\nFAXSTART:\r\nFAXDAUER:\r\nCHARGE  :\r\n"
           "MODE    :\r\n";
}

// The value of one line of a job file ("ADDRESS :" -> the number).
QByteArray JobValue(const QByteArray& bytes, const QByteArray& key) {
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).chopped(1);
    }
    return "<missing>";
}

// The shape of a complete job file: 18 lines, each ending in CR LF.
bool IsCompleteJob(const QByteArray& bytes) {
    return bytes.startsWith("A*APPLI/COM*V001\r\n") && bytes.count("\r\n") == 18 &&
           bytes.count('\n') == 18 && bytes.endsWith("MODE    :\r\n");
}

int RunSubmitChild(char** argv);

// The base a document claim in the data folder's Faxsend takes; empty when none can be made.
QString ClaimedBase(const QString& dataDir) {
    SpoolFolder faxsend;
    FaxSendClaim claim;
    if (!faxsend.Open(dataDir + u'/' + fax::kFolderFaxsend) ||
        !ClaimFaxSendDocument(faxsend, false, claim))
        return {};
    return claim.base;
}

} // namespace

class TestJob : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void jobFileBytes_data();
    void jobFileBytes();
    void oemText_data();
    void oemText();
    void writerCannotCreate();
    void formatAndResolution_data();
    void formatAndResolution();
    void controlCharacters_data();
    void controlCharacters();
    void documentOutsideCp850();
    void jobFileNames_data();
    void jobFileNames();
    void namesTakenAfterListing();
    void allNamesOfDayTaken();
    void spoolMissing();
    void faxSendName_data();
    void faxSendName();
    void faxSendNameClaimed();
    void tempName_data();
    void tempName();
    void sendTime_data();
    void sendTime();
    void journalArguments_data();
    void journalArguments();
    void journalFailures_data();
    void journalFailures();
    void secondOfThreeRefused();
    void twoProcesses_data();
    void twoProcesses();
    void staleTempFilesRemoved();
    void comjobOnAnotherFileSystem();
    void linkSwappedInIsNeverWrittenThrough_data();
    void linkSwappedInIsNeverWrittenThrough();
};

void TestJob::jobFileBytes_data() {
    QTest::addColumn<bool>("poll");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("sendTime");
    QTest::addColumn<QByteArray>("expected");
    const QString example = QStringLiteral("C:\\Data\\Fax\\FaxSend\\_FX00003.SFF");
    QTest::newRow("send, worked example")
        << false << example << "123 456"
        << "IMMED"
        << QByteArray("A*APPLI/COM*V001\r\nFUNCTION:SENDACK\r\n"
                      "FILENAME:C:\\Data\\Fax\\FaxSend\\_FX00003.SFF\r\nADDRESS :123 456\r\n"
                      "SERVICE :FX3\r\nCONVERT :SFF\r\nFAXRES  :196\r\nSPEED   :\r\n"
                      "PAGES   :\r\nRECEIVID:\r\nSENDTIME:IMMED\r\nERROR   :\r\nSTATUS  :\r\n"
                      "FAXDATE :\r\nFAXSTART:\r\nFAXDAUER:\r\nCHARGE  :\r\nMODE    :\r\n");
    QTest::newRow("poll, same number")
        << true << example << "123 456"
        << "IMMED" << JobBytes("POLL", "", "123 456", "SFF", "", "IMMED");
    QTest::newRow("send later, umlauts in CP850")
        << false << QStringLiteral("/home/jörg/Fax/Faxsend/_FX00000.SFF")
        << QStringLiteral("Müller ß 0") << "02-01-05-07:05"
        << JobBytes("SENDACK", "/home/j\x94rg/Fax/Faxsend/_FX00000.SFF", "M\x81ller \xE1 0", "SFF",
                    "196", "02-01-05-07:05");
}

void TestJob::jobFileBytes() {
    QFETCH(bool, poll);
    QFETCH(QString, document);
    QFETCH(QString, number);
    QFETCH(QString, sendTime);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("24120000.FX3"));
    // An older file of that name is replaced, not appended to.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(2000, 'z'));
    old.close();
    const int result =
        poll ? WritePollJob(path, number, sendTime)
             : WriteSendJob(path, document, number, QStringLiteral("SFF"), 196, sendTime);
    QCOMPARE(result, 0);
    QCOMPARE(ReadFile(path), expected);
}

void TestJob::oemText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("oem");
    QTest::newRow("ascii") << "AZaz09 -+/" << QByteArray("AZaz09 -+/");
    QTest::newRow("umlauts") << QStringLiteral("ÄÖÜäöüß")
                             << QByteArray("\x8E\x99\x9A\x84\x94\x81\xE1");
    QTest::newRow("accents and signs")
        << QStringLiteral("éñ£§µ") << QByteArray("\x82\xA4\x9C\xF5\xE6");
    QTest::newRow("euro lacking") << QStringLiteral("5€") << QByteArray("5?");
    QTest::newRow("cjk lacking") << QStringLiteral("a中b") << QByteArray("a?b");
    QTest::newRow("outside the BMP") << QStringLiteral("x\U0001F600y") << QByteArray("x?y");
    QTest::newRow("typographic quotes not transliterated")
        << QStringLiteral("\u201Eq\u201C") << QByteArray("?q?");
    QTest::newRow("lacking then umlaut") << QStringLiteral("€ä") << QByteArray("?\x84");
    QTest::newRow("line feed") << "a\nb" << QByteArray("a\nb");
}

void TestJob::oemText() {
    QFETCH(QString, text);
    QFETCH(QByteArray, oem);
    QCOMPARE(COemFile::ToOem(text), oem);

    // Written through the file, each line feed becomes CR LF and nothing else is added.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t"));
    COemFile file;
    QVERIFY(file.Open(path));
    QVERIFY(file.WriteOemString(text));
    QVERIFY(file.Close());
    QByteArray expected = oem;
    expected.replace("\n", "\r\n");
    QCOMPARE(ReadFile(path), expected);
}

void TestJob::writerCannotCreate() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/24120000.FX3"));
    QCOMPARE(WriteSendJob(path, QStringLiteral("/d.SFF"), QStringLiteral("1"),
                          QStringLiteral("SFF"), 98, QStringLiteral("IMMED")),
             1);
    QCOMPARE(WritePollJob(path, QStringLiteral("1"), QStringLiteral("IMMED")), 1);
    QVERIFY(!QFile::exists(path));
}

void TestJob::formatAndResolution_data() {
    QTest::addColumn<bool>("poll");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("printResolution");
    QTest::addColumn<QByteArray>("convert");
    QTest::addColumn<QByteArray>("faxres");
    QTest::addColumn<int>("jobResolution");
    QTest::newRow("SFF fine") << false << int(kFormatSff) << 196 << QByteArray("SFF")
                              << QByteArray("196") << 196;
    QTest::newRow("SFF normal") << false << int(kFormatSff) << 98 << QByteArray("SFF")
                                << QByteArray("98") << 98;
    QTest::newRow("colour") << false << int(kFormatColour) << 196 << QByteArray("CFF")
                            << QByteArray("196") << 196;
    QTest::newRow("PCX always fine")
        << false << int(kFormatPcx) << 98 << QByteArray("PCX") << QByteArray("196") << 196;
    QTest::newRow("text always normal")
        << false << int(kFormatText) << 196 << QByteArray("FXASC") << QByteArray("98") << 98;
    QTest::newRow("TIFF always normal")
        << false << int(kFormatTiff) << 196 << QByteArray("FXASC") << QByteArray("98") << 98;
    QTest::newRow("poll keeps 0") << true << int(kFormatPcx) << 196 << QByteArray("SFF")
                                  << QByteArray("") << 0;
}

void TestJob::formatAndResolution() {
    QFETCH(bool, poll);
    QFETCH(int, format);
    QFETCH(int, printResolution);
    QFETCH(QByteArray, convert);
    QFETCH(QByteArray, faxres);
    QFETCH(int, jobResolution);
    DataFolder data;
    PrintFileInfo printFile;
    printFile.m_nFormat = format;
    printFile.m_nResolution = printResolution;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    job.document = data.In(fax::kFolderFaxsend, QStringLiteral("_FX00000.SFF"));
    job.number = QStringLiteral("0815");
    job.poll = poll;
    QCOMPARE(submitter.SubmitJob(job), 0);
    QCOMPARE(job.resolution, jobResolution);
    const QByteArray bytes = data.Read(fax::kFolderComjob, job.jobFileName);
    QCOMPARE(JobValue(bytes, "CONVERT :"), convert);
    QCOMPARE(JobValue(bytes, "FAXRES  :"), faxres);
    QCOMPARE(JobValue(bytes, "FILENAME:"), poll ? QByteArray() : QFile::encodeName(job.document));
    QCOMPARE(JobValue(bytes, "FUNCTION:"), poll ? QByteArray("POLL") : QByteArray("SENDACK"));
    QVERIFY(data.Strays().isEmpty());
}

void TestJob::controlCharacters_data() {
    QTest::addColumn<bool>("poll");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("sendTime");
    const QString doc = QStringLiteral("/f/_FX00000.SFF");
    QTest::newRow("number with line feed") << false << doc << "123\n456"
                                           << "IMMED";
    QTest::newRow("number with carriage return") << false << doc << "123\r"
                                                 << "IMMED";
    QTest::newRow("number with tab") << false << doc << "1\t2"
                                     << "IMMED";
    QTest::newRow("number with DEL") << false << doc << "1\x7f"
                                     << "IMMED";
    QTest::newRow("number with NEL") << false << doc << QStringLiteral("1\u0085") << "IMMED";
    QTest::newRow("number with line separator")
        << false << doc << QStringLiteral("1\u20282") << "IMMED";
    QTest::newRow("poll number with line feed") << true << doc << "1\n2"
                                                << "IMMED";
    QTest::newRow("document with line feed") << false << "/f/a\nMODE    :X.SFF"
                                             << "1"
                                             << "IMMED";
    QTest::newRow("send time with line feed") << false << doc << "1"
                                              << "IMMED\nX";
    QTest::newRow("poll send time with NUL") << true << doc << "1" << QString(QChar(0));
}

void TestJob::controlCharacters() {
    QFETCH(bool, poll);
    QFETCH(QString, document);
    QFETCH(QString, number);
    QFETCH(QString, sendTime);
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    job.document = document;
    job.number = number;
    job.sendTime = sendTime;
    job.poll = poll;
    QCOMPARE(submitter.SubmitJob(job), 2);
    QCOMPARE(submitter.FailureError(), EINVAL);
    QVERIFY(!submitter.FailureReason().isEmpty());
    QVERIFY(data.Files(fax::kFolderComjob).isEmpty());
    QVERIFY(data.Strays().isEmpty());
    QVERIFY(journal.calls.isEmpty());
    QVERIFY(messenger.messages.isEmpty());
    // The writers refuse such values by themselves as well.
    const QString path = data.In(fax::kFolderComjob, QStringLiteral("x.FX3"));
    QCOMPARE(poll ? WritePollJob(path, number, sendTime)
                  : WriteSendJob(path, document, number, QStringLiteral("SFF"), 98, sendTime),
             1);
    QVERIFY(!QFile::exists(path));
}

// A document path that CP850 cannot hold would reach the fax application with "?" in it: such
// a job is never written, whatever called the submitter.
void TestJob::documentOutsideCp850() {
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    for (const char* document : {"/home/łukasz/Brief.sff", "/tmp/Rechnung – 5 €.sff"}) {
        FaxJob job;
        job.document = QString::fromUtf8(document);
        job.number = QStringLiteral("0711");
        QVERIFY(!submitter.CheckJob(job).Ok());
        QCOMPARE(submitter.SubmitJob(job), 2);
    }
    QVERIFY(data.Files(fax::kFolderComjob).isEmpty());
    QVERIFY(data.Strays().isEmpty());
    QVERIFY(journal.calls.isEmpty());
}

void TestJob::jobFileNames_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("present"); // "Folder/name", a trailing "/" for a folder
    QTest::addColumn<QStringList>("expected");
    const QDate christmasEve(2024, 12, 24);
    QTest::newRow("empty spool") << christmasEve << QStringList{}
                                 << QStringList{"24120000.FX3", "24120001.FX3"};
    QTest::newRow("taken in Comack and Comerr")
        << christmasEve << QStringList{"Comack/24120000.FX3", "Comerr/24120001.FX3"}
        << QStringList{"24120002.FX3", "24120003.FX3"};
    QTest::newRow("gap is used again")
        << christmasEve
        << QStringList{"Comjob/24120000.FX3", "Comjob/24120002.FX3", "Comack/24120003.FX3"}
        << QStringList{"24120001.FX3", "24120004.FX3"};
    QTest::newRow("5 March") << QDate(2025, 3, 5) << QStringList{"Comjob/24120000.FX3"}
                             << QStringList{"05030000.FX3", "05030001.FX3"};
    QTest::newRow("other days and other names ignored")
        << christmasEve
        << QStringList{"Comjob/23120000.FX3", "Comjob/24120000.TXT", "Comjob/2412000.FX3",
                       "Comjob/24120000.FX3x", "Comrec/24120000.FX3"}
        << QStringList{"24120000.FX3", "24120001.FX3"};
    QTest::newRow("extension in other case and a folder count")
        << christmasEve << QStringList{"Comerr/24120000.fx3", "Comack/24120001.FX3/"}
        << QStringList{"24120002.FX3", "24120003.FX3"};
}

void TestJob::jobFileNames() {
    QFETCH(QDate, today);
    QFETCH(QStringList, present);
    QFETCH(QStringList, expected);
    DataFolder data;
    for (const QString& entry : present) {
        const QString folder = entry.section(u'/', 0, 0);
        const QString name = entry.section(u'/', 1, 1);
        QDir(data.Path()).mkpath(folder);
        if (entry.endsWith(u'/'))
            QDir(data.In(folder)).mkdir(name);
        else
            data.Put(folder, name);
    }
    const FixedClock clock(QDateTime(today, QTime(23, 59, 59)));
    QCOMPARE(MakeJobFileName(data.Path(), clock), expected.first());

    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    QStringList names;
    for (int i = 0; i < expected.size(); ++i) {
        FaxJob job;
        job.document = QStringLiteral("/f/_FX00000.SFF");
        job.number = QString::number(i);
        QCOMPARE(submitter.SubmitJob(job), 0);
        names.append(job.jobFileName);
        QCOMPARE(JobValue(data.Read(fax::kFolderComjob, job.jobFileName), "ADDRESS :"),
                 QByteArray::number(i));
    }
    QCOMPARE(names, expected);
    // A day's names in any other folder than those three are no concern.
    QVERIFY(data.Strays().isEmpty());
}

void TestJob::namesTakenAfterListing() {
    DataFolder data;
    SubmitServices services;
    JobSubmitter submitter = services.Submitter(data.Path());
    FaxJob job;
    job.number = QStringLiteral("1");
    QCOMPARE(submitter.SubmitJob(job), 0);
    QCOMPARE(job.jobFileName, QStringLiteral("24120000.FX3"));
    // Another instance places jobs after the spool was listed; the fax application moves one
    // on. Neither is overwritten nor has its name given twice.
    data.Put(fax::kFolderComjob, QStringLiteral("24120001.FX3"), "other");
    data.Put(fax::kFolderComack, QStringLiteral("24120002.FX3"), "other");
    job.number = QStringLiteral("2");
    QCOMPARE(submitter.SubmitJob(job), 0);
    QCOMPARE(job.jobFileName, QStringLiteral("24120003.FX3"));
    QCOMPARE(data.Read(fax::kFolderComjob, QStringLiteral("24120001.FX3")), QByteArray("other"));
    QCOMPARE(data.Files(fax::kFolderComjob),
             (QStringList{"24120000.FX3", "24120001.FX3", "24120003.FX3"}));
    QCOMPARE(JobValue(data.Read(fax::kFolderComjob, job.jobFileName), "ADDRESS :"),
             QByteArray("2"));
    QVERIFY(data.Strays().isEmpty());
}

void TestJob::allNamesOfDayTaken() {
    DataFolder data;
    // Spread over the three folders; one gap that is taken by another instance later.
    const QStringList folders{fax::kFolderComjob, fax::kFolderComerr, fax::kFolderComack};
    for (int i = 0; i < 10000; ++i) {
        if (i != 9999)
            data.Put(folders[i % 3], QStringLiteral("2412%1.FX3").arg(i, 4, 10, QChar(u'0')));
    }
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    job.number = QStringLiteral("1");
    QCOMPARE(submitter.SubmitJob(job), 0);
    QCOMPARE(job.jobFileName, QStringLiteral("24129999.FX3"));
    QCOMPARE(submitter.SubmitJob(job), 2);
    QCOMPARE(submitter.FailureError(), EEXIST);
    QCOMPARE(MakeJobFileName(data.Path(), clock), QString());
    QCOMPARE(journal.calls.size(), 1);
    QCOMPARE(data.Files(fax::kFolderComjob).size(), 3334);
    QVERIFY(data.Strays().isEmpty());
}

void TestJob::spoolMissing() {
    DataFolder data;
    QVERIFY(QDir(data.In(fax::kFolderComjob)).removeRecursively());
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    job.number = QStringLiteral("1");
    QCOMPARE(submitter.SubmitJob(job), 2);
    QCOMPARE(submitter.FailureError(), ENOENT);
    QVERIFY(journal.calls.isEmpty());
    QVERIFY(data.Strays().isEmpty());
}

void TestJob::faxSendName_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QStringList{} << "_FX00000";
    QTest::newRow("CFF alone takes the name") << QStringList{"_FX00000.CFF"} << "_FX00001";
    QTest::newRow("SFF takes the name") << QStringList{"_FX00000.SFF"} << "_FX00001";
    QTest::newRow("gap") << QStringList{"_FX00000.SFF", "_FX00002.SFF"} << "_FX00001";
    QTest::newRow("other case") << QStringList{"_fx00000.sff"} << "_FX00001";
    QTest::newRow("other endings ignored")
        << QStringList{"_FX00000.TMP", "_FX00000", "_FX000000.SFF"} << "_FX00000";
}

void TestJob::faxSendName() {
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    DataFolder data;
    for (const QString& name : present)
        data.Put(fax::kFolderFaxsend, name);
    QCOMPARE(ClaimedBase(data.Path()), data.In(fax::kFolderFaxsend, expected));
    // The name is claimed: its SFF exists, empty, until the copy fills it.
    QCOMPARE(ReadFile(data.In(fax::kFolderFaxsend, expected + ".SFF")), QByteArray());
    QVERIFY(QFile::exists(data.In(fax::kFolderFaxsend, expected + ".SFF")));
}

void TestJob::faxSendNameClaimed() {
    DataFolder data;
    QSet<QString> names;
    for (int i = 0; i < 3; ++i)
        names.insert(ClaimedBase(data.Path()));
    QCOMPARE(names.size(), 3);
    QVERIFY(names.contains(data.In(fax::kFolderFaxsend, QStringLiteral("_FX00002"))));
    // Counters beyond five digits are written in full.
    DataFolder full;
    QVERIFY(QDir(full.In(fax::kFolderFaxsend)).exists());
    // Without the folder nothing can be claimed.
    QDir(full.In(fax::kFolderFaxsend)).removeRecursively();
    QCOMPARE(ClaimedBase(full.Path()), QString());
}

void TestJob::tempName_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QStringList{} << "Tmp00000";
    QTest::newRow("earlier colour print")
        << QStringList{"Tmp00000.CFF", "Tmp00000.SFF"} << "Tmp00001";
    QTest::newRow("longer name refuses its prefix")
        << QStringList{"Tmp00000.TMP", "Tmp000012"} << "Tmp00002";
    QTest::newRow("any ending refuses") << QStringList{"Tmp00000", "Tmp00001.TMP"} << "Tmp00002";
    QTest::newRow("gap") << QStringList{"Tmp00001.TMP"} << "Tmp00000";
    QTest::newRow("other case") << QStringList{"TMP00000.tmp"} << "Tmp00001";
    QTest::newRow("unrelated names") << QStringList{"Tmp0000", "XTmp00000", "Tmp1"} << "Tmp00000";
}

void TestJob::tempName() {
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString& name : present) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(MakeTempName(dir.path()), dir.filePath(expected));
    // An empty folder is the current folder, for listing as for the name.
    const QString cwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString bare = MakeTempName(QString());
    QDir::setCurrent(cwd);
    QCOMPARE(bare, expected);
}

void TestJob::sendTime_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("24 December 2001")
        << QDateTime(QDate(2001, 12, 24), QTime(18, 30)) << "01-12-24-18:30";
    QTest::newRow("5 January 2002, seconds dropped")
        << QDateTime(QDate(2002, 1, 5), QTime(7, 5, 59)) << "02-01-05-07:05";
    QTest::newRow("year 2100") << QDateTime(QDate(2100, 2, 28), QTime(0, 0)) << "00-02-28-00:00";
}

void TestJob::sendTime() {
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(FormatSendTime(time), text);
}

void TestJob::journalArguments_data() {
    QTest::addColumn<bool>("poll");
    QTest::addColumn<QString>("remark");
    QTest::newRow("send") << false << "Angebot";
    QTest::newRow("send, empty remark") << false << "";
    QTest::newRow("poll") << true << "Abruf";
}

void TestJob::journalArguments() {
    QFETCH(bool, poll);
    QFETCH(QString, remark);
    DataFolder data;
    PrintFileInfo printFile;
    printFile.m_nFormat = kFormatSff;
    printFile.m_nResolution = 196;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    job.document = QStringLiteral("/d/Faxsend/_FX00003.SFF");
    job.number = QStringLiteral("123 456");
    job.sendTime = QStringLiteral("01-12-24-18:30");
    job.remark = remark;
    job.poll = poll;
    QCOMPARE(submitter.SubmitJob(job), 0);
    QCOMPARE(journal.calls.size(), 1);
    QCOMPARE(journal.released, 1);
    const JournalFake::Call& call = journal.calls.first();
    QList<VarType> types;
    QStringList values;
    for (const AutoVariant& arg : call.args) {
        types.append(arg.Type());
        values.append(arg.Type() == VT_BSTR ? arg.ToBStr() : QString::number(arg.ToI4()));
    }
    if (poll) {
        QCOMPARE(call.dispid, 2);
        QCOMPARE(types, (QList<VarType>{VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR}));
        QCOMPARE(values, (QStringList{"24120000.FX3", "123 456", "01-12-24-18:30", remark}));
    } else {
        QCOMPARE(call.dispid, 1);
        QCOMPARE(types,
                 (QList<VarType>{VT_BSTR, VT_BSTR, VT_BSTR, VT_I2, VT_BSTR, VT_BSTR, VT_I2}));
        QCOMPARE(values, (QStringList{"/d/Faxsend/_FX00003.SFF", "24120000.FX3", "123 456", "196",
                                      "01-12-24-18:30", remark, "1"}));
    }
    QVERIFY(messenger.messages.isEmpty());
    QCOMPARE(data.Files(fax::kFolderComjob), QStringList{"24120000.FX3"});
}

void TestJob::journalFailures_data() {
    QTest::addColumn<bool>("provided");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("callFails");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::newRow("not provided")
        << false << 0 << false
        << QStringLiteral("Verbindung zum Journal kann nicht hergestellt werden. (#800401F3)\n"
                          "Invalid class string");
    QTest::newRow("answers 1") << true << 1 << false << QString();
    QTest::newRow("answers -1") << true << -1 << false << QString();
    QTest::newRow("error during the call")
        << true << 0 << true
        << QStringLiteral("Verbindung zum Journal kann nicht hergestellt werden. (#80020009)\n"
                          "Journal gesperrt");
}

void TestJob::journalFailures() {
    QFETCH(bool, provided);
    QFETCH(int, answer);
    QFETCH(bool, callFails);
    QFETCH(QString, message);
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    journal.provided = provided;
    journal.answers = {static_cast<qint16>(answer)};
    if (callFails)
        journal.callError = AutomationError(AutomationError::Kind::Dispatch, scode::kException,
                                            QStringLiteral("Journal gesperrt"));
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    job.number = QStringLiteral("1");
    QCOMPARE(submitter.SubmitJob(job), 1);
    QVERIFY(data.Files(fax::kFolderComjob).isEmpty());
    QVERIFY(data.Strays().isEmpty());
    if (message.isEmpty()) {
        QVERIFY(messenger.messages.isEmpty());
    } else {
        QCOMPARE(messenger.Ids(), QList<int>{IDS_ERR_JOURNAL_CONNECT});
        QCOMPARE(messenger.messages.first().text, message);
        QCOMPARE(messenger.messages.first().kind, MessageKind::Warning);
    }
    QCOMPARE(journal.released, provided ? 1 : 0);
}

void TestJob::secondOfThreeRefused() {
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    journal.answers = {0, 1, 0};
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, journal, clock);
    FaxJob job;
    // The submit loop of an OK stops at the first recipient that is not submitted.
    int submitted = 0;
    for (const QString& number : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}) {
        job.number = number;
        if (submitter.SubmitJob(job) != 0)
            break;
        ++submitted;
    }
    QCOMPARE(submitted, 1);
    QCOMPARE(journal.calls.size(), 2);
    QCOMPARE(data.Files(fax::kFolderComjob), QStringList{"24120000.FX3"});
    QCOMPARE(JobValue(data.Read(fax::kFolderComjob, QStringLiteral("24120000.FX3")), "ADDRESS :"),
             QByteArray("1"));
    QVERIFY(messenger.messages.isEmpty());
}

void TestJob::twoProcesses_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("one OK each") << "one";
    QTest::newRow("an OK per job") << "each";
}

void TestJob::twoProcesses() {
    QFETCH(QString, mode);
    constexpr int kJobs = 200;
    DataFolder data;
    const QString go = data.In(QStringLiteral("go"));
    QList<QProcess*> children;
    for (const QString& tag : {QStringLiteral("A"), QStringLiteral("B")}) {
        auto* child = new QProcess(this);
        child->setProcessChannelMode(QProcess::ForwardedChannels);
        child->start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--submit-child"), data.Path(), tag, QString::number(kJobs), mode, go});
        QVERIFY(child->waitForStarted());
        children.append(child);
    }
    QDir(data.Path()).mkdir(QStringLiteral("go"));
    for (QProcess* child : children) {
        QVERIFY(child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        delete child;
    }
    const QStringList files = data.Files(fax::kFolderComjob);
    QCOMPARE(files.size(), 2 * kJobs);
    QSet<QByteArray> numbers;
    for (const QString& name : files) {
        const QByteArray bytes = data.Read(fax::kFolderComjob, name);
        QVERIFY2(IsCompleteJob(bytes), qPrintable(name));
        numbers.insert(JobValue(bytes, "ADDRESS :"));
    }
    QCOMPARE(numbers.size(), 2 * kJobs);
    QVERIFY(numbers.contains("A-0") && numbers.contains("B-199"));
    QVERIFY(data.Strays().isEmpty());
}

// Temporary job files of processes that are gone are removed by the next submit; those of
// running processes, and names of another form, stay.
void TestJob::staleTempFilesRemoved() {
    DataFolder data;
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    QVERIFY(child > 0);
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    const QString gone = QString(".KalmoJob-%1-0123456789abcdef.tmp").arg(child);
    const QStringList kept{QString(".KalmoJob-%1-0123456789abcdef.tmp").arg(::getpid()),
                           ".KalmoJob-1-0123456789abcdef.tmp",
                           QString(".KalmoJob-%1-short.tmp").arg(child), "other.tmp"};
    const QString young = QString(".KalmoJob-%1-fedcba9876543210.tmp").arg(child);
    for (const QString& name : kept + QStringList{gone, young}) {
        QFile f(data.In(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Older than any job takes to write, but the one of a moment ago.
        if (name != young)
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
    }
    SubmitServices services;
    JobSubmitter submitter = services.Submitter(data.Path());
    FaxJob job;
    job.number = QStringLiteral("1");
    job.poll = true;
    QCOMPARE(submitter.SubmitJob(job), 0);
    QStringList expected = kept + QStringList{young};
    expected.sort();
    QStringList strays = data.Strays();
    strays.sort();
    QCOMPARE(strays, expected);
}

// Comjob, a link to a folder on another file system: the job file is written in Comjob and
// renamed there, never moved across file systems.
void TestJob::comjobOnAnotherFileSystem() {
    DataFolder data;
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/kalmo-comjob-XXXXXX"));
    if (!elsewhere.isValid())
        QSKIP("no /dev/shm to put Comjob on");
    struct stat here {};
    struct stat there {};
    QCOMPARE(::stat(QFile::encodeName(data.Path()).constData(), &here), 0);
    QCOMPARE(::stat(QFile::encodeName(elsewhere.path()).constData(), &there), 0);
    if (here.st_dev == there.st_dev)
        QSKIP("/dev/shm lies on the file system of the temporary folder");
    QVERIFY(QDir(data.In(fax::kFolderComjob)).removeRecursively());
    QVERIFY(QFile::link(elsewhere.path(), data.In(fax::kFolderComjob)));
    SubmitServices services;
    JobSubmitter submitter = services.Submitter(data.Path());
    FaxJob job;
    job.number = QStringLiteral("0711");
    job.poll = true;
    QCOMPARE(submitter.SubmitJob(job), 0);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{job.jobFileName});
    QVERIFY(data.Strays().isEmpty());
}

void TestJob::linkSwappedInIsNeverWrittenThrough_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("job file on its way to its name") << QString(fax::kFolderComjob) << ".KalmoJob-";
    QTest::newRow("document copied into Faxsend") << QString(fax::kFolderFaxsend) << "_FX";
}

// Another process swaps a symbolic link in for each spool file right after it is created:
// the print and the job text never land in the link's target, and no link is published.
void TestJob::linkSwappedInIsNeverWrittenThrough() {
    QFETCH(QString, folder);
    QFETCH(QString, prefix);
    DataFolder data;
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath("outside");
    {
        QFile f(outside);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QString watched = data.In(folder);
    const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(inotify >= 0);
    QVERIFY(::inotify_add_watch(inotify, QFile::encodeName(watched).constData(), IN_CREATE) >= 0);
    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread racer([&] {
        alignas(inotify_event) char buffer[4096];
        while (!stop) {
            const ssize_t n = ::read(inotify, buffer, sizeof buffer);
            if (n <= 0) {
                std::this_thread::yield();
                continue;
            }
            for (ssize_t i = 0; i < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + i);
                i += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                const QString name = QFile::decodeName(event->len ? event->name : "");
                if (!name.startsWith(prefix))
                    continue;
                const QByteArray swap = QFile::encodeName(watched + "/.swap");
                if (::symlink(QFile::encodeName(outside).constData(), swap.constData()) == 0 &&
                    ::rename(swap.constData(),
                             QFile::encodeName(watched + '/' + name).constData()) == 0)
                    ++swaps;
            }
        }
    });

    SubmitServices services;
    const QString print = data.In("print.sff");
    for (int i = 0; i < 10; ++i) {
        if (folder == fax::kFolderComjob) {
            JobSubmitter submitter = services.Submitter(data.Path());
            FaxJob job;
            job.document = print;
            job.number = QStringLiteral("0711 %1").arg(i);
            submitter.SubmitJob(job);
        } else {
            {
                QFile f(print);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("the print");
            }
            PrintFileHandOff handOff;
            handOff.Adopt(print, false);
            if (handOff.Place(data.Path()))
                handOff.Rollback();
        }
    }
    stop = true;
    racer.join();
    ::close(inotify);
    QVERIFY2(swaps > 0, "the racer never got to swap a file");
    QCOMPARE(ReadFile(outside), QByteArray());
    // No link was published; the racer's own links left under temporary names are not ours.
    for (const QFileInfo& entry :
         QDir(data.In(fax::kFolderComjob))
             .entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot))
        QVERIFY2(!entry.isSymLink() || entry.fileName().startsWith(prefix),
                 qPrintable(entry.filePath()));
}

namespace {

// argv: --submit-child dataDir tag count mode goFolder
int RunSubmitChild(char** argv) {
    const QString dataDir = QString::fromLocal8Bit(argv[2]);
    const QString tag = QString::fromLocal8Bit(argv[3]);
    const int count = QByteArray(argv[4]).toInt();
    const bool perJob = QByteArray(argv[5]) == "each";
    const QString go = QString::fromLocal8Bit(argv[6]);
    for (int i = 0; i < 5000 && !QDir(go).exists(); ++i)
        QThread::usleep(1000);
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JournalFake journal;
    const FixedClock clock(kChristmasEve);
    auto submitter = std::make_unique<JobSubmitter>(dataDir, printFile, messenger, journal, clock);
    FaxJob job;
    job.document = QStringLiteral("/f/_FX00000.SFF");
    for (int i = 0; i < count; ++i) {
        if (perJob)
            submitter =
                std::make_unique<JobSubmitter>(dataDir, printFile, messenger, journal, clock);
        job.number = tag + u'-' + QString::number(i);
        if (submitter->SubmitJob(job) != 0)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 7 && qstrcmp(argv[1], "--submit-child") == 0)
        return RunSubmitChild(argv);
    QCoreApplication app(argc, argv);
    TestJob test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_job.moc"
