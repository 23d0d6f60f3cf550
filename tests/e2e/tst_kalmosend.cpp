// The built kalmosend, non-interactive, with its own store files and data folder, on the test
// bus with the stand-in's address book and journal.

#include "DBusTestBus.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFaxKey = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";
const QString kPrintKey = "Software\\VB and VBA Program Settings\\KALMO!fax\\Print";

struct Result {
    int exit = -1;
    QByteArray err;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ExpectedJob(const QString& document, const QString& number) {
    const QList<QByteArray> lines{"A*APPLI/COM*V001",
                                  "FUNCTION:SENDACK",
                                  "FILENAME:" + document.toUtf8(),
                                  "ADDRESS :" + number.toUtf8(),
                                  "SERVICE :FX3",
                                  "CONVERT :SFF",
                                  "FAXRES  :98",
                                  "SPEED   :",
                                  "PAGES   :",
                                  "RECEIVID:",
                                  "SENDTIME:IMMED",
                                  "ERROR   :",
                                  "STATUS  :",
                                  "FAXDATE :",
                                  "FAXSTART:",
                                  "FAXDAUER:",
                                  "CHARGE  :",
                                  "MODE    :"};
    QByteArray job;
    for (const QByteArray& line : lines)
        job += line + "\r\n";
    return job;
}

} // namespace

class TestKalmosend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void handOffValueSubmitsOnce();
    void exitStatus_data();
    void exitStatus();
    void colourPrintWaitsWhole();

private:
    Result Run(const QStringList& args, const QProcessEnvironment& extra = {});
    int Kalmoreg(const QStringList& args);
    QProcessEnvironment Environment() const;

    QTemporaryDir m_dir;
    QString m_data; // the data folder kalmosend uses
    QString m_journal;
    QString m_programLog;
};

void TestKalmosend::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath("programs"));
    QVERIFY(QDir(m_dir.path()).mkpath("home"));
    // The fax application, should anything start it.
    QVERIFY(QFile::link(qEnvironmentVariable("KALMO_STANDIN"),
                        m_dir.filePath("programs/KalFax32.exe")));
    // The page converter of colour prints.
    QVERIFY(
        QFile::link(qEnvironmentVariable("KALMO_STANDIN"), m_dir.filePath("programs/R3ozav.exe")));
    m_data = m_dir.filePath("data/Fax");
    m_journal = m_dir.filePath("journal.txt");
    m_programLog = m_dir.filePath("programs.txt");
    QVERIFY(dbustest::SetActivationEnvironment(
        {{"KALMO_STANDIN_ADDRESSBOOK", m_dir.filePath("book.txt")},
         {"KALMO_STANDIN_JOURNAL", m_journal},
         {"KALMO_STANDIN_JOURNAL_ANSWER_FILE", m_dir.filePath("answers.txt")}}));
    QFile book(m_dir.filePath("book.txt"));
    QVERIFY(book.open(QIODevice::WriteOnly));
    book.write("Meier\t0711 123456\n");
    book.close();

    QCOMPARE(Kalmoreg({"--machine", "set", kFaxKey, "SystemDir", m_dir.filePath("programs")}), 0);
    QCOMPARE(Kalmoreg({"--machine", "set", kFaxKey, "DatenDir", m_dir.filePath("data")}), 0);
}

QProcessEnvironment TestKalmosend::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALMO_MACHINE_REGISTRY", m_dir.filePath("machine.db"));
    env.insert("KALMO_USER_REGISTRY", m_dir.filePath("user.db"));
    env.insert("HOME", m_dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", m_dir.filePath("home/.config"));
    env.insert("XDG_DATA_HOME", m_dir.filePath("home/.local/share"));
    env.insert("KALMO_STANDIN_LOG", m_programLog);
    env.insert("KALMOSEND_NONINTERACTIVE", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

int TestKalmosend::Kalmoreg(const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start(qEnvironmentVariable("KALMOREG"), args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

Result TestKalmosend::Run(const QStringList& args, const QProcessEnvironment& extra) {
    QProcess p;
    QProcessEnvironment env = Environment();
    env.insert(extra);
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("KALMOSEND"), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    Result result;
    result.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    // Only the program's own lines: Qt may add warnings of its own.
    for (const QByteArray& line : p.readAllStandardError().split('\n')) {
        if (line.startsWith("kalmosend: "))
            result.err += line + '\n';
    }
    return result;
}

void TestKalmosend::handOffValueSubmitsOnce() {
    const QByteArray example = ReadAll(qEnvironmentVariable("EXAMPLE_SFF"));
    QVERIFY(example.startsWith("Sfff"));
    const QString printFile = m_dir.filePath("print.sff");
    QVERIFY(QFile::copy(qEnvironmentVariable("EXAMPLE_SFF"), printFile));
    QCOMPARE(Kalmoreg({"set", kPrintKey, "Report", "123"}), 0);

    Result result = Run({"/d" + printFile, "/tReport"});
    QCOMPARE(result.exit, 0);
    QCOMPARE(result.err,
             QByteArray("kalmosend: message 611: KALMO!fax ist nicht aktiv. Soll das Programm "
                        "gestartet werden ?\n"));
    QVERIFY(!QFile::exists(printFile));
    QVERIFY2(!QFile::exists(m_programLog), ReadAll(m_programLog).constData()); // No: not started

    const QString document = m_data + "/Faxsend/_FX00000.SFF";
    QCOMPARE(ReadAll(document), example);
    const QStringList jobs = QDir(m_data + "/Comjob").entryList(QDir::Files);
    QCOMPARE(jobs.size(), 1);
    QVERIFY2(QRegularExpression("^[0-9]{8}\\.FX3$").match(jobs.at(0)).hasMatch(),
             qPrintable(jobs.at(0)));
    QCOMPARE(ReadAll(m_data + "/Comjob/" + jobs.at(0)), ExpectedJob(document, "123"));

    const auto journal = dbustest::ReadCallLog(m_journal);
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal.at(0).dispid, 1);
    QCOMPARE(journal.at(0).values.mid(0, 3), (QStringList{document, jobs.at(0), "123"}));

    // The hand-off value was taken: a second start waits for a number.
    QVERIFY(QFile::copy(qEnvironmentVariable("EXAMPLE_SFF"), printFile));
    result = Run({"/d" + printFile, "/tReport"});
    QCOMPARE(result.exit, 1);
    QVERIFY(QFile::exists(printFile));
    QCOMPARE(QDir(m_data + "/Comjob").entryList(QDir::Files), jobs);
    QCOMPARE(QDir(m_data + "/Faxsend").entryList(QDir::Files), QStringList{"_FX00000.SFF"});
    QCOMPARE(Kalmoreg({"get", kPrintKey, "Report"}), 1);
}

void TestKalmosend::exitStatus_data() {
    QTest::addColumn<QByteArray>("answers"); // the journal's, one a line
    QTest::addColumn<bool>("junkStore");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("sendTime"); // /s
    QTest::newRow("job placed") << QByteArray("0\n") << false << 0 << QByteArray("611") << "";
    QTest::newRow("journal refuses: no job, the print stays")
        << QByteArray("1\n") << false << 1 << QByteArray("628") << "";
    QTest::newRow("settings store unreadable")
        << QByteArray() << true << 2 << QByteArray("631") << "";
    QTest::newRow("send time that does not exist: waits, the print stays")
        << QByteArray("0\n") << false << 1 << QByteArray("634") << "31.02.2030 10:00";
    QTest::newRow("valid send time")
        << QByteArray("0\n") << false << 0 << QByteArray("611") << "24.12.2030 18:30";
}

// A print pipeline tells from the exit status whether the fax was handed over.
void TestKalmosend::exitStatus() {
    QFETCH(QByteArray, answers);
    QFETCH(bool, junkStore);
    QFETCH(int, exit);
    QFETCH(QByteArray, message);
    QFETCH(QString, sendTime);
    QFile answerFile(m_dir.filePath("answers.txt"));
    QVERIFY(answerFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    answerFile.write(answers);
    answerFile.close();
    const QString printFile = m_dir.filePath("status.sff");
    QFile::remove(printFile);
    QVERIFY(QFile::copy(qEnvironmentVariable("EXAMPLE_SFF"), printFile));
    const QStringList before = QDir(m_data + "/Faxsend").entryList(QDir::Files);
    QProcessEnvironment extra;
    if (junkStore) {
        QFile junk(m_dir.filePath("junk.db"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'j'));
        extra.insert("KALMO_USER_REGISTRY", junk.fileName());
    }
    QStringList args{"/d" + printFile, "/tStatus", "/n0711 99"};
    if (!sendTime.isEmpty())
        args << "/s" + sendTime;
    const Result result = Run(args, extra);
    QCOMPARE(result.exit, exit);
    QVERIFY2(result.err.contains("kalmosend: message " + message + ": "), result.err.constData());
    QCOMPARE(QFile::exists(printFile), exit != 0);
    if (exit != 0)
        QCOMPARE(QDir(m_data + "/Faxsend").entryList(QDir::Files), before);
}

// A colour print left waiting (no number) keeps its page bitmaps and leaves no collected pages
// behind: the same command with a number sends it.
void TestKalmosend::colourPrintWaitsWhole() {
    QFile answerFile(m_dir.filePath("answers.txt"));
    QVERIFY(answerFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    answerFile.write("0\n");
    answerFile.close();
    QVERIFY(QDir(m_dir.path()).mkpath("colour"));
    const QStringList bitmaps{"Scan1.bmp", "Scan2.bmp"};
    for (const QString& name : bitmaps)
        QVERIFY(QFile::copy(qEnvironmentVariable("PAGE_BMP"), m_dir.filePath("colour/" + name)));
    const QString stem = m_dir.filePath("colour/Scan");
    const QStringList faxsend = QDir(m_data + "/Faxsend").entryList(QDir::Files);

    Result result = Run({"/c" + stem, "/tFarbe"});
    QCOMPARE(result.exit, 1);
    QCOMPARE(QDir(m_dir.filePath("colour")).entryList(QDir::Files), bitmaps);
    QCOMPARE(QDir(m_data).entryList({"Tmp*"}, QDir::Files), QStringList());

    result = Run({"/c" + stem, "/tFarbe", "/n0711 55"});
    QCOMPARE(result.exit, 0);
    QCOMPARE(QDir(m_dir.filePath("colour")).entryList(QDir::Files), QStringList());
    QCOMPARE(QDir(m_data).entryList({"Tmp*"}, QDir::Files), QStringList());
    QCOMPARE(QDir(m_data + "/Faxsend").entryList(QDir::Files).size(), faxsend.size() + 2);
}

QTEST_GUILESS_MAIN(TestKalmosend)
#include "tst_kalmosend.moc"
