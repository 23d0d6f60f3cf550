// `kalmofax run --once` against a private HylaFAX server: the jobs kalmosend leaves in Comjob
// (one written by the real kalmosend on this test's bus) are queued at the server with their
// number, resolution, tag, send time and pages; the server's outcome comes back into the job
// files, their folders and the journal; a server that is down or refuses the login leaves the
// jobs where they are.

#include "DBusTestBus.h"
#include "PrivateHylafax.h"
#include "fax/FaxContract.h"
#include "fax/JobFile.h"
#include "fax/JobFileWriter.h"
#include "fax/SffWriter.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/sending/QueueRunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <sqlite3.h>
#include <tiffio.h>
#include <vector>

using Field = JobFile::Field;
using faxapp::JournalStore;

namespace {

const QString kFaxKey = QStringLiteral("Software\\ZEB\\Kalmo! 2.0\\KALMO!");
const QString kUserFaxKey = QStringLiteral("Software\\ZEB\\Kalmo! 2.0\\Fax");
const QString kPrintKey = QStringLiteral("Software\\VB and VBA Program Settings\\KALMO!fax\\Print");

struct RunResult {
    int exitCode = -1;
    QString out, err;
};

// Pages and vertical resolution of a TIFF file.
std::pair<int, int> TiffPages(const QString& path) {
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return {0, 0};
    int pages = 0;
    float yres = 0;
    do {
        ++pages;
        if (pages == 1)
            TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return {pages, qRound(yres)};
}

} // namespace

class TestHylafaxRunner : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_data;
    int m_case = 0;

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KALMO_MACHINE_REGISTRY"),
                   m_dir.filePath(QStringLiteral("machine.db")));
        env.insert(QStringLiteral("KALMO_USER_REGISTRY"),
                   m_dir.filePath(QStringLiteral("user.db")));
        env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   m_dir.filePath(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"),
                   m_dir.filePath(QStringLiteral("home/.local/share")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KALMOSEND_NONINTERACTIVE"), QStringLiteral("1"));
        return env;
    }

    RunResult Run(const QString& program, const QStringList& args) const {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.start(program, args);
        RunResult result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            result.err = QStringLiteral("timed out");
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    void Reg(const QStringList& args) const {
        const RunResult r = Run(qEnvironmentVariable("KALMOREG"), args);
        QVERIFY2(r.exitCode == 0, qPrintable(args.join(u' ') + u'\n' + r.err));
    }

    std::unique_ptr<QProcess> StartOnce() const {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(Environment());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(qEnvironmentVariable("KALMOFAX"),
                       {QStringLiteral("run"), QStringLiteral("--once")});
        return process;
    }

    // Every job file in Comjob names a document that is there.
    QString DocumentMissing() const {
        const QDir comjob(Path(fax::kFolderComjob));
        for (const QString& name : comjob.entryList(QDir::Files)) {
            QFile file(comjob.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue; // filed meanwhile
            const auto job = JobFile::Parse(file.readAll());
            if (!job)
                return name + QStringLiteral(" does not parse");
            if (!QFile::exists(job->Value(Field::FileName)))
                return name + QStringLiteral(": ") + job->Value(Field::FileName) +
                       QStringLiteral(" is gone");
        }
        return {};
    }

    // Whether the journal database passes SQLite's own check.
    QString JournalIntegrity() const {
        sqlite3* db = nullptr;
        QString result;
        if (sqlite3_open_v2(QFile::encodeName(JournalStore::DatabasePath(m_data)).constData(), &db,
                            SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
                sqlite3_step(stmt) == SQLITE_ROW)
                result =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        return result;
    }

    RunResult RunOnce() const {
        return Run(qEnvironmentVariable("KALMOFAX"),
                   {QStringLiteral("run"), QStringLiteral("--once")});
    }

    void PointAt(const PrivateHylafax& server, const QString& user = {},
                 const QString& password = {}) {
        Reg({QStringLiteral("set"), kUserFaxKey, QStringLiteral("HylafaxHost"),
             QStringLiteral("127.0.0.1")});
        Reg({QStringLiteral("set"), kUserFaxKey, QStringLiteral("HylafaxPort"),
             QString::number(server.Port())});
        Reg({QStringLiteral("set"), kUserFaxKey, QStringLiteral("HylafaxUser"), user});
        Reg({QStringLiteral("set"), kUserFaxKey, QStringLiteral("HylafaxPassword"), password});
    }

    QString Path(const QString& folder, const QString& name = {}) const {
        return m_data + u'/' + folder + (name.isEmpty() ? QString() : u'/' + name);
    }

    void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
        file.write(bytes);
    }

    void WriteSff(const QString& path, int pages, int resolution) {
        SffWriter sff;
        QByteArray row(SffWriter::kStandardWidth / 8, '\0');
        for (int p = 0; p < pages; ++p) {
            sff.BeginPage(resolution);
            for (int r = 0; r < 300; ++r) {
                row.fill('\0');
                row[(r + p) % row.size()] = '\xff';
                sff.AddBitRow(reinterpret_cast<const unsigned char*>(row.constData()),
                              SffWriter::kStandardWidth);
            }
            sff.AddBlankRows(resolution == 196 ? 1900 : 900);
        }
        WriteFile(path, sff.Finish());
    }

    // A job file and its journal row, as kalmosend leaves them.
    void AddJob(const QString& name, const QByteArray& bytes, const QString& remark) {
        WriteFile(Path(fax::kFolderComjob, name), bytes);
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        QVERIFY2(journal, qPrintable(error));
        faxapp::JournalEntry row;
        row.jobFile = name;
        row.remark = remark;
        QVERIFY2(journal->Add(row, error), qPrintable(error));
    }

    std::optional<JobFile> Filed(const QString& folder, const QString& name) const {
        QFile file(Path(folder, name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return JobFile::Parse(file.readAll());
    }

    QString JournalRow(const QString& name) const {
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        const auto row = journal ? journal->Find(name, error) : std::nullopt;
        return row ? row->state + QStringLiteral(": ") + row->outcome : error;
    }

    // The jobs at the server by number.
    QMap<QString, PrivateHylafax::Job> JobsByNumber(const PrivateHylafax& server) {
        QString error;
        QMap<QString, PrivateHylafax::Job> jobs;
        for (const auto& job : server.Jobs(error))
            jobs.insert(job.number, job);
        if (!error.isEmpty())
            qWarning("faxstat: %s", qPrintable(error));
        return jobs;
    }

    // The document the server keeps for a job: its pages and vertical resolution.
    static std::pair<int, int> ServerDocument(const PrivateHylafax& server, const QString& id) {
        for (const QString& queue : {QStringLiteral("sendq"), QStringLiteral("doneq")}) {
            QFile q(server.Spool() + u'/' + queue + QStringLiteral("/q") + id);
            if (!q.open(QIODevice::ReadOnly))
                continue;
            static const QRegularExpression doc(QStringLiteral("^!?tiff:\\d+:[^:]*:(\\S+)$"),
                                                QRegularExpression::MultilineOption);
            const auto match = doc.match(QString::fromUtf8(q.readAll()));
            if (match.hasMatch())
                return TiffPages(server.Spool() + u'/' + match.captured(1));
        }
        return {0, 0};
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("home")));
        // kalmofax's services, started by the bus, read the same settings store.
        QMap<QString, QString> activation;
        const QProcessEnvironment env = Environment();
        for (const char* name : {"KALMO_MACHINE_REGISTRY", "KALMO_USER_REGISTRY", "HOME",
                                 "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            activation.insert(QString::fromLatin1(name), env.value(QString::fromLatin1(name)));
        QVERIFY(dbustest::SetActivationEnvironment(activation));
    }

    // Each case has a data folder of its own.
    void init() {
        const QString base = m_dir.filePath(QStringLiteral("base") + QString::number(++m_case));
        Reg({QStringLiteral("--machine"), QStringLiteral("set"), kFaxKey,
             QStringLiteral("DatenDir"), base});
        m_data = base + QStringLiteral("/Fax");
        for (const QString& f :
             {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr, fax::kFolderFaxsend})
            QVERIFY(QDir().mkpath(Path(f)));
    }

    void sendsAndFilesThroughTheServer() {
        PrivateHylafax server;
        PrivateHylafax::Options options;
        options.fakeModem = true; // ends numbers ...0 as sent, ...1 as failed
        QString error;
        QVERIFY2(server.Start(options, error), qPrintable(error));
        PointAt(server);

        const QString fine = Path(fax::kFolderFaxsend, QStringLiteral("_FX00001.SFF"));
        const QString normal = Path(fax::kFolderFaxsend, QStringLiteral("_FX00002.SFF"));
        const QString colour = Path(fax::kFolderFaxsend, QStringLiteral("_FX00003.CFF"));
        WriteSff(fine, 2, 196);
        WriteSff(normal, 3, 98);
        WriteSff(Path(fax::kFolderFaxsend, QStringLiteral("_FX00003.SFF")), 1, 196);
        WriteFile(colour, QByteArray("colour pages, sent as their black-and-white companion"));
        const QDateTime later = QDateTime::currentDateTime().addDays(1);
        AddJob(QStringLiteral("09120000.FX3"),
               SendJobBytes(fine, QStringLiteral("0301234560"), QStringLiteral("SFF"), 196,
                            QStringLiteral("IMMED")),
               QStringLiteral("Angebot 7"));
        AddJob(QStringLiteral("09120001.FX3"),
               SendJobBytes(normal, QStringLiteral("0301234561"), QStringLiteral("SFF"), 98,
                            QStringLiteral("IMMED")),
               QStringLiteral("normal"));
        AddJob(QStringLiteral("09120002.FX3"),
               SendJobBytes(colour, QStringLiteral("0301234562"), QStringLiteral("CFF"), 196,
                            QStringLiteral("IMMED")),
               QStringLiteral("colour"));
        AddJob(QStringLiteral("09120003.FX3"),
               PollJobBytes(QStringLiteral("0301234563"), QStringLiteral("IMMED")),
               QStringLiteral("poll"));
        AddJob(QStringLiteral("09120004.FX3"),
               SendJobBytes(fine, QStringLiteral("0301234564"), QStringLiteral("SFF"), 196,
                            later.toString(QStringLiteral("yy-MM-dd-HH:mm"))),
               QStringLiteral("later"));
        QByteArray malformed = PollJobBytes(QStringLiteral("0301234566"), QStringLiteral("IMMED"));
        malformed.replace("A*APPLI/COM*V001", "A*APPLI/COM*V009");
        AddJob(QStringLiteral("09120006.FX3"), malformed, QStringLiteral("malformed"));

        // One job as kalmosend itself writes it, with its row through kalmofax's journal on
        // this test's bus.
        Reg({QStringLiteral("set"), kPrintKey, QStringLiteral("Runner"),
             QStringLiteral("0301234565")});
        const QString print = m_dir.filePath(QStringLiteral("print.sff"));
        QVERIFY(QFile::copy(qEnvironmentVariable("EXAMPLE_SFF"), print));
        const RunResult sent = Run(qEnvironmentVariable("KALMOSEND"),
                                   {QStringLiteral("/d") + print, QStringLiteral("/tRunner")});
        QVERIFY2(sent.exitCode == 0, qPrintable(sent.err));

        RunResult run = RunOnce();
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));

        // Refused without reaching the server: the reason in its ERROR line, the file beside.
        const auto refused = Filed(fax::kFolderComerr, QStringLiteral("09120006.FX3"));
        QVERIFY(refused);
        QCOMPARE(refused->Value(Field::Status), QStringLiteral("REFUSED"));
        QVERIFY2(refused->Value(Field::Error).contains(u"first line"),
                 qPrintable(refused->Value(Field::Error)));
        QVERIFY(QFile::exists(Path(fax::kFolderComerr, QStringLiteral("09120006.FX3.orig"))));

        auto jobs = JobsByNumber(server);
        QVERIFY(!jobs.contains(QStringLiteral("0301234566")));
        struct Expected {
            const char* number;
            const char* tag;
            int resolution;
            int pages; // of the document at the server, 0 for the poll
        };
        for (const Expected& e :
             {Expected{"0301234560", "Angebot 7", 196, 2}, Expected{"0301234561", "normal", 98, 3},
              Expected{"0301234562", "colour", 196, 1}, Expected{"0301234563", "poll", 196, 0},
              Expected{"0301234564", "later", 196, 2}, Expected{"0301234565", "Runner", 98, 2}}) {
            const QString number = QString::fromLatin1(e.number);
            QVERIFY2(jobs.contains(number),
                     qPrintable(number + u'\n' + run.out + run.err +
                                QDir(Path(fax::kFolderComjob)).entryList().join(u' ')));
            const PrivateHylafax::Job& job = jobs[number];
            QCOMPARE(job.tag, QString::fromUtf8(e.tag));
            QCOMPARE(job.resolution, e.resolution);
            // A job the modem has taken counts its pages; one still waiting has its document
            // in the server's spool as it came (the modem may have sent and removed it since).
            if (e.pages > 0 && job.totalPages > 0)
                QCOMPARE(job.totalPages, e.pages);
            else if (e.pages > 0)
                QCOMPARE(ServerDocument(server, job.id), std::make_pair(e.pages, e.resolution));
        }
        const PrivateHylafax::Job& pending = jobs[QStringLiteral("0301234564")];
        QCOMPARE(pending.state, QStringLiteral("P"));
        QVERIFY2(qAbs(pending.sendTime - later.toSecsSinceEpoch()) < 60,
                 qPrintable(QString::number(pending.sendTime - later.toSecsSinceEpoch())));

        // The fake modem ends ...0 and ...1; the colour job is removed by hand.
        for (const char* number : {"0301234560", "0301234561"}) {
            const auto ended =
                server.WaitUntilEnded(jobs[QString::fromLatin1(number)].id, 30000, error);
            QVERIFY2(ended, qPrintable(error));
        }
        QVERIFY2(server.Remove(jobs[QStringLiteral("0301234562")].id, error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(JobsByNumber(server)[QStringLiteral("0301234562")].state,
                                  QStringLiteral("F"), 10000);

        run = RunOnce();
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        const auto done = Filed(fax::kFolderComack, QStringLiteral("09120000.FX3"));
        QVERIFY(done);
        QCOMPARE(done->Value(Field::Status), QStringLiteral("OK"));
        QCOMPARE(done->Value(Field::Pages), QStringLiteral("2"));
        QCOMPARE(done->Value(Field::Speed), QStringLiteral("14400"));
        QCOMPARE(done->Value(Field::Mode), QStringLiteral("2-D MR"));
        QCOMPARE(done->Value(Field::ReceivId), QStringLiteral("+49 30 1234567"));
        QVERIFY(JournalRow(QStringLiteral("09120000.FX3")).startsWith(u"sent: "));
        const auto busy = Filed(fax::kFolderComerr, QStringLiteral("09120001.FX3"));
        QVERIFY(busy);
        QCOMPARE(busy->Value(Field::Status), QStringLiteral("FAILED"));
        QVERIFY(busy->Value(Field::Error).contains(u"Busy signal detected"));
        const auto aborted = Filed(fax::kFolderComerr, QStringLiteral("09120002.FX3"));
        QVERIFY(aborted);
        QVERIFY(aborted->Value(Field::Error).contains(u"Job aborted by request"));
        // Ended at the server by request: cancelled, its document kept for sending it again.
        QVERIFY(JournalRow(QStringLiteral("09120002.FX3")).startsWith(u"cancelled: "));
        for (const QString& gone : {QStringLiteral("09120000.FX3"), QStringLiteral("09120001.FX3"),
                                    QStringLiteral("09120002.FX3")})
            QVERIFY(!QFile::exists(Path(fax::kFolderComjob, gone)));
        // Documents go once no job names them and they are older than the grace (a print's
        // later recipients may still come): the later job still names the fine one.
        QVERIFY(QFile::exists(fine));
        const auto goneOrYoung = [](const QString& path) {
            return !QFile::exists(path) ||
                   QFileInfo(path).metadataChangeTime().secsTo(QDateTime::currentDateTime()) <
                       faxapp::QueueRunner::kJournalGraceSecs;
        };
        QVERIFY(goneOrYoung(normal));
        QVERIFY(goneOrYoung(colour));
        QVERIFY(goneOrYoung(Path(fax::kFolderFaxsend, QStringLiteral("_FX00003.SFF"))));
        QVERIFY(QFile::exists(Path(fax::kFolderComjob, QStringLiteral("09120004.FX3"))));

        // A server that is not running: a new job stays in Comjob, untaken.
        server.Stop();
        AddJob(QStringLiteral("09120007.FX3"),
               PollJobBytes(QStringLiteral("0301234567"), QStringLiteral("IMMED")),
               QStringLiteral("down"));
        run = RunOnce();
        QCOMPARE(run.exitCode, 75);
        QVERIFY(QFile::exists(Path(fax::kFolderComjob, QStringLiteral("09120007.FX3"))));
        QVERIFY(!QFile::exists(Path(QStringLiteral(".sending"), QStringLiteral("09120007.FX3"))));
        QVERIFY(JournalRow(QStringLiteral("09120007.FX3")).startsWith(u"queued"));
    }

    // `run --once` killed (SIGKILL) at moments drawn from a seeded schedule, one runner or two
    // at once on the same folder, while it submits, follows and files jobs over shared
    // documents; then runs that are left alone finish the queue. Every job reaches the server
    // once and is filed once, with its journal row; no document goes while a job names it;
    // nothing temporary is left. KILL_SEED draws another schedule.
    void killedAtRandomMoments() {
        PrivateHylafax server;
        PrivateHylafax::Options options;
        options.fakeModem = true;
        QString error;
        QVERIFY2(server.Start(options, error), qPrintable(error));
        PointAt(server);

        constexpr int kDocuments = 10;
        constexpr int kJobs = 20;
        constexpr int kKills = 80;
        QStringList documents;
        for (int d = 0; d < kDocuments; ++d) {
            documents.append(QStringLiteral("_FX%1.SFF").arg(d + 1, 5, 10, QLatin1Char('0')));
            WriteSff(Path(fax::kFolderFaxsend, documents.last()), 1 + d % 2, 196);
        }
        QMap<QString, QString> numberOf; // job file → number: ...0 is sent, ...1 fails
        for (int j = 0; j < kJobs; ++j) {
            const QString name = QStringLiteral("0912%1.FX3").arg(j, 4, 10, QLatin1Char('0'));
            const QString number =
                QStringLiteral("0301777%1%2").arg(j, 2, 10, QLatin1Char('0')).arg(j % 2);
            AddJob(name,
                   SendJobBytes(Path(fax::kFolderFaxsend, documents[j % kDocuments]), number,
                                QStringLiteral("SFF"), 196, QStringLiteral("IMMED")),
                   QStringLiteral("kill %1").arg(j));
            numberOf.insert(name, number);
        }

        const QString sending = m_data + QStringLiteral("/.sending");
        const auto queueEmpty = [&] {
            return QDir(Path(fax::kFolderComjob))
                       .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) &&
                   QDir(sending)
                       .entryList(QDir::Files)
                       .filter(QRegularExpression(QStringLiteral("^\\d{8}\\.FX3$")))
                       .isEmpty();
        };
        const quint32 seed = qEnvironmentVariableIsSet("KILL_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("KILL_SEED"))
                                 : 20261210U;
        QRandomGenerator random(seed);
        QElapsedTimer elapsed;
        elapsed.start();
        int kills = 0;
        int runs = 0;
        while (kills < kKills && !queueEmpty() && elapsed.elapsed() < 80000) {
            std::vector<std::unique_ptr<QProcess>> running;
            for (int i = random.bounded(2) == 0 ? 2 : 1; i > 0; --i)
                running.push_back(StartOnce());
            runs += int(running.size());
            // Mostly soon after the start, while it submits; now and then later, while it
            // follows and files, as long as the kills keep pace with the jobs filed.
            const qsizetype filed = QDir(Path(fax::kFolderComack)).entryList(QDir::Files).size() +
                                    QDir(Path(fax::kFolderComerr)).entryList(QDir::Files).size();
            const bool late = random.bounded(8) == 0 && kills >= kKills * filed / kJobs;
            QThread::msleep(late ? random.bounded(600, 2000) : random.bounded(5, 300));
            for (const auto& process : running)
                process->kill();
            for (const auto& process : running) {
                QVERIFY(process->waitForFinished(30000));
                kills += process->exitStatus() == QProcess::CrashExit ? 1 : 0;
            }
            const QString missing = DocumentMissing();
            QVERIFY2(missing.isEmpty(), qPrintable(missing));
            if (random.bounded(4) == 0)
                server.AnnounceModem();
        }
        const qint64 killPhase = elapsed.elapsed();
        const qsizetype atServerThen = server.Jobs(error).size();
        const qsizetype filedThen = QDir(Path(fax::kFolderComack)).entryList(QDir::Files).size() +
                                    QDir(Path(fax::kFolderComerr)).entryList(QDir::Files).size();

        // Runs left alone until the queue is empty: the jobs of killed runs are taken over,
        // followed and filed.
        int finalRuns = 0;
        QDeadlineTimer deadline(90000);
        while (!queueEmpty() && !deadline.hasExpired()) {
            server.AnnounceModem();
            const RunResult run = RunOnce();
            ++finalRuns;
            QVERIFY2(run.exitCode == 0 || run.exitCode == 1, qPrintable(run.out + run.err));
            const QString missing = DocumentMissing();
            QVERIFY2(missing.isEmpty(), qPrintable(missing));
            if (!queueEmpty())
                QThread::msleep(500);
        }
        const RunResult last = RunOnce();
        qInfo("seed %u: %d runs, %d killed, in %lld ms (by then %lld jobs at the server, %lld "
              "filed); then %d runs to finish, %lld ms in all",
              seed, runs, kills, killPhase, qint64(atServerThen), qint64(filedThen), finalRuns,
              elapsed.elapsed());
        QVERIFY2(queueEmpty(), qPrintable(QDir(sending).entryList(QDir::Files).join(u' ')));
        QVERIFY2(last.exitCode == 0, qPrintable(last.out + last.err));
        QVERIFY2(last.out.contains(u"0 submitted, 0 sent, 0 failed, 0 refused, 0 at the server"),
                 qPrintable(last.out));
        // Enough kills to have met every step, however fast the machine ends the queue.
        QVERIFY2(kills >= 40, qPrintable(QString::number(kills)));

        // At the server: each job once, ended as its number says.
        QMap<QString, PrivateHylafax::Job> atServer;
        for (const PrivateHylafax::Job& job : server.Jobs(error)) {
            QVERIFY2(!atServer.contains(job.number), qPrintable(job.number + " twice"));
            atServer.insert(job.number, job);
        }
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(atServer.size(), kJobs);

        // Filed once, in the folder of its outcome, with its journal row.
        QString journalError;
        auto journal = JournalStore::Open(m_data, journalError);
        QVERIFY2(journal, qPrintable(journalError));
        const auto rows = journal->Entries(journalError);
        QVERIFY2(rows, qPrintable(journalError));
        QCOMPARE(rows->size(), kJobs);
        QCOMPARE(JournalIntegrity(), QStringLiteral("ok"));
        for (auto it = numberOf.cbegin(); it != numberOf.cend(); ++it) {
            const QString& name = it.key();
            const bool sent = it.value().endsWith(u'0');
            const PrivateHylafax::Job job = atServer.value(it.value());
            QCOMPARE(job.state, sent ? QStringLiteral("D") : QStringLiteral("F"));
            QCOMPARE(job.tag, QStringLiteral("kill %1").arg(name.mid(4, 4).toInt()));
            QVERIFY2(QFile::exists(Path(sent ? fax::kFolderComack : fax::kFolderComerr, name)),
                     qPrintable(name));
            QVERIFY(!QFile::exists(Path(sent ? fax::kFolderComerr : fax::kFolderComack, name)));
            const auto row = std::find_if(rows->cbegin(), rows->cend(),
                                          [&](const auto& r) { return r.jobFile == name; });
            QVERIFY(row != rows->cend());
            QCOMPARE(row->state, sent ? QStringLiteral("sent") : QStringLiteral("failed"));
            QVERIFY2(row->outcome.startsWith(QStringLiteral("fax server job %1:").arg(job.id)),
                     qPrintable(name + u' ' + job.id + u' ' + row->outcome));
        }
        const auto files = [](const QString& folder) {
            return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                          QDir::NoDotAndDotDot);
        };
        QCOMPARE(files(Path(fax::kFolderComack)).size() + files(Path(fax::kFolderComerr)).size(),
                 kJobs);
        QCOMPARE(files(sending), QStringList());
        for (const QString& left : files(Path(fax::kFolderFaxsend)))
            QVERIFY2(documents.contains(left), qPrintable(left));
    }

    // The running application sends a job as soon as it appears in Comjob.
    void runningApplicationSends() {
        PrivateHylafax server;
        QString error;
        QVERIFY2(server.Start({}, error), qPrintable(error));
        PointAt(server);
        QProcess app;
        app.setProcessEnvironment(Environment());
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(qEnvironmentVariable("KALMOFAX"),
                  {QStringLiteral("run"), QStringLiteral("--minimised")});
        QVERIFY(app.waitForStarted(10000));
        AddJob(QStringLiteral("09120009.FX3"),
               PollJobBytes(QStringLiteral("0301234569"), QStringLiteral("IMMED")),
               QStringLiteral("watched"));
        QTRY_VERIFY_WITH_TIMEOUT(JobsByNumber(server).contains(QStringLiteral("0301234569")),
                                 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            JournalRow(QStringLiteral("09120009.FX3")).startsWith(u"submitted"), 10000);
        app.terminate();
        QVERIFY(app.waitForFinished(20000));
        QCOMPARE(app.exitCode(), 0);
    }

    // A server that wants a password: a wrong one leaves the job waiting, the right one
    // sends it.
    void logsInWithItsPassword() {
        PrivateHylafax server;
        PrivateHylafax::Options options;
        options.passwordUsers = {{QStringLiteral("alice"), QStringLiteral("secret")}};
        QString error;
        QVERIFY2(server.Start(options, error), qPrintable(error));
        AddJob(QStringLiteral("09120008.FX3"),
               PollJobBytes(QStringLiteral("0301234568"), QStringLiteral("IMMED")),
               QStringLiteral("alice"));

        PointAt(server, QStringLiteral("alice"), QStringLiteral("wrong"));
        RunResult run = RunOnce();
        QCOMPARE(run.exitCode, 75);
        QVERIFY2(run.err.contains(u"530"), qPrintable(run.err));
        QVERIFY(QFile::exists(Path(fax::kFolderComjob, QStringLiteral("09120008.FX3"))));

        PointAt(server, QStringLiteral("alice"), QStringLiteral("secret"));
        run = RunOnce();
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        QVERIFY(JobsByNumber(server).contains(QStringLiteral("0301234568")));
    }
};

QTEST_GUILESS_MAIN(TestHylafaxRunner)
#include "tst_hylafax_runner.moc"
