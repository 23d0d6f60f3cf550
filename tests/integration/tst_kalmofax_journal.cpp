// kalmosend, non-interactive, hands its jobs to kalmofax's own journal class, started by the
// private bus: the row that `kalmofax journal` lists is the job kalmosend wrote, and a
// damaged journal makes kalmosend take the job back while the file stays as it was.

#include "DBusTestBus.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFaxKey = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";

struct Result {
    int exit = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of a job file line ("FAXRES  :98").
QString JobValue(const QByteArray& job, const QByteArray& name) {
    for (const QByteArray& line : job.split('\n')) {
        if (line.startsWith(name.leftJustified(8, ' ') + ':'))
            return QString::fromLatin1(line.mid(9).trimmed());
    }
    return "<missing " + QString::fromLatin1(name) + ">";
}

} // namespace

class TestKalmofaxJournal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void jobIsRecorded_data();
    void jobIsRecorded();
    void damagedJournalTakesTheJobBack_data();
    void damagedJournalTakesTheJobBack();

private:
    Result Run(const QString& program, const QStringList& args) const;
    QProcessEnvironment Environment() const;
    QStringList Jobs() const { return QDir(m_data + "/Comjob").entryList(QDir::Files); }

    QTemporaryDir m_dir;
    QString m_data;
};

QProcessEnvironment TestKalmofaxJournal::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALMO_MACHINE_REGISTRY", m_dir.filePath("machine.db"));
    env.insert("KALMO_USER_REGISTRY", m_dir.filePath("user.db"));
    env.insert("HOME", m_dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", m_dir.filePath("home/.config"));
    env.insert("XDG_DATA_HOME", m_dir.filePath("home/.local/share"));
    env.insert("KALMOSEND_NONINTERACTIVE", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

void TestKalmofaxJournal::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath("programs"));
    QVERIFY(QDir(m_dir.path()).mkpath("home"));
    m_data = m_dir.filePath("data/Fax");
    // kalmofax, started by the bus, reads the same settings store as kalmosend.
    QMap<QString, QString> activation;
    const QProcessEnvironment env = Environment();
    for (const char* name : {"KALMO_MACHINE_REGISTRY", "KALMO_USER_REGISTRY", "HOME",
                             "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        activation.insert(name, env.value(name));
    QVERIFY(dbustest::SetActivationEnvironment(activation));
    for (const char* value : {"SystemDir", "DatenDir"}) {
        const QString dir = m_dir.filePath(value == QByteArray("SystemDir") ? "programs" : "data");
        const Result set =
            Run(qEnvironmentVariable("KALMOREG"), {"--machine", "set", kFaxKey, value, dir});
        QVERIFY2(set.exit == 0, set.err.constData());
    }
}

Result TestKalmofaxJournal::Run(const QString& program, const QStringList& args) const {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    Result result;
    result.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    result.out = p.readAllStandardOutput();
    result.err = p.readAllStandardError();
    return result;
}

void TestKalmofaxJournal::jobIsRecorded_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("remark");
    QTest::addColumn<QString>("number");
    QTest::newRow("send now") << QStringList{} << "Angebot Müller"
                              << "0711 99";
    QTest::newRow("send later") << QStringList{"/s24.12.2030 08:15"} << "Weihnachtsgruß"
                                << "+49 30 1234";
}

void TestKalmofaxJournal::jobIsRecorded() {
    QFETCH(QStringList, options);
    QFETCH(QString, remark);
    QFETCH(QString, number);
    const QString printFile = m_dir.filePath("print.sff");
    QVERIFY(QFile::copy(qEnvironmentVariable("EXAMPLE_SFF"), printFile));
    const QStringList before = Jobs();

    const Result sent = Run(qEnvironmentVariable("KALMOSEND"),
                            QStringList{"/d" + printFile, "/t" + remark, "/n" + number} + options);
    QVERIFY2(sent.exit == 0, sent.err.constData());
    QStringList jobs = Jobs();
    for (const QString& old : before)
        jobs.removeOne(old);
    QCOMPARE(jobs.size(), 1);
    const QByteArray job = ReadAll(m_data + "/Comjob/" + jobs.at(0));

    const Result listed = Run(qEnvironmentVariable("KALMOFAX"), {"journal", "--json"});
    QVERIFY2(listed.exit == 0, listed.err.constData());
    QJsonParseError parseError{};
    const QJsonDocument json = QJsonDocument::fromJson(listed.out, &parseError);
    QVERIFY2(json.isArray(), qPrintable(parseError.errorString()));
    QCOMPARE(json.array().size(), before.size() + 1);
    const QJsonObject row = json.array().at(0).toObject(); // newest first
    QCOMPARE(row.value("kind").toString(), "send");
    QCOMPARE(row.value("jobFile").toString(), jobs.at(0));
    QCOMPARE(row.value("document").toString(), JobValue(job, "FILENAME"));
    QCOMPARE(row.value("number").toString(), number);
    QCOMPARE(QString::number(row.value("resolution").toInt()), JobValue(job, "FAXRES"));
    QCOMPARE(row.value("sendTime").toString(), JobValue(job, "SENDTIME"));
    QCOMPARE(row.value("remark").toString(), remark);
    QCOMPARE(row.value("state").toString(), "queued");

    const Result table = Run(qEnvironmentVariable("KALMOFAX"), {"journal"});
    QCOMPARE(table.exit, 0);
    const QList<QByteArray> lines = table.out.split('\n');
    QVERIFY(lines.size() > 2);
    QVERIFY2(lines.at(1).contains(jobs.at(0).toUtf8()) && lines.at(1).contains(remark.toUtf8()),
             table.out.constData());
}

void TestKalmofaxJournal::damagedJournalTakesTheJobBack_data() {
    QTest::addColumn<bool>("cutShort"); // else random bytes
    QTest::newRow("random bytes") << false;
    QTest::newRow("cut short") << true;
}

void TestKalmofaxJournal::damagedJournalTakesTheJobBack() {
    QFETCH(bool, cutShort);
    const QString journal = m_data + "/Journal.sqlite";
    const QByteArray good = ReadAll(journal);
    QVERIFY2(!good.isEmpty(), "no journal from the jobs before");
    QByteArray damaged = good.left(good.size() / 2);
    if (!cutShort)
        damaged = QByteArray(good.size(), '\x5a');
    auto write = [&](const QByteArray& bytes) {
        QFile file(journal);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    };
    QVERIFY(write(damaged));
    const QString printFile = m_dir.filePath("damaged.sff");
    QVERIFY(QFile::copy(qEnvironmentVariable("EXAMPLE_SFF"), printFile));
    const QStringList jobs = Jobs();
    const QStringList documents = QDir(m_data + "/Faxsend").entryList(QDir::Files);

    const Result sent =
        Run(qEnvironmentVariable("KALMOSEND"), {"/d" + printFile, "/tDefekt", "/n0711 42"});
    QCOMPARE(sent.exit, 1);
    QVERIFY2(sent.err.contains("kalmosend: message 628: "), sent.err.constData());
    QCOMPARE(Jobs(), jobs);
    QCOMPARE(QDir(m_data + "/Faxsend").entryList(QDir::Files), documents);
    QVERIFY(QFile::exists(printFile));
    QCOMPARE(ReadAll(journal), damaged);

    const Result listed = Run(qEnvironmentVariable("KALMOFAX"), {"journal"});
    QCOMPARE(listed.exit, 1);
    QVERIFY2(listed.err.contains("Journal.sqlite"), listed.err.constData());
    QVERIFY(QFile::remove(printFile));
    QVERIFY(write(good)); // for the next row
}

QTEST_GUILESS_MAIN(TestKalmofaxJournal)
#include "tst_kalmofax_journal.moc"
