// The queue runner's bookkeeping against a scripted fax server: what it files where and with
// which fields, what a stopped runner finds again, what a server that is down leaves alone.
// The same runner against a real HylaFAX server is in tests/hylafax.

#include "FixedClock.h"
#include "fax/FaxContract.h"
#include "fax/JobFile.h"
#include "fax/JobFileWriter.h"
#include "fax/SffWriter.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/sending/JobFiler.h"
#include "faxapp/sending/QueueRunner.h"
#include "faxapp/sending/QueueService.h"
#include "faxapp/sending/ServerFactory.h"
#include "support/Clock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace faxapp;
using Field = JobFile::Field;
using State = FaxJobStatus::State;

namespace {

struct ServerJob {
    FaxSubmission submission;
    bool submitted = false;
    FaxJobStatus status;
};

// What the scripted server holds, shared by the connections the runner makes.
struct ServerScript {
    bool down = false;
    QString refuseNumber;   // Create of this number is refused
    QString refuseStatusOf; // Status of this job is refused (a damaged job at the server)
    std::function<void(const QString&)> onStatus; // called with each job asked about
    std::function<void()> onCreate;               // called while a job is being created
    QMap<QString, ServerJob> jobs;
    int creates = 0;
    QList<ReceivedFax> received;             // what the server lists as received
    QMap<QString, QByteArray> receivedBytes; // by file
};

class ScriptedServer final : public FaxServer {
public:
    using Kind = ServerProblem::Kind;

    explicit ScriptedServer(std::shared_ptr<ServerScript> script) : m_script(std::move(script)) {}
    QString Name() const override { return QStringLiteral("faxserver:4559"); }
    QString Address() const override { return QStringLiteral("hylafax://faxserver:4559"); }
    ServerResult<QString> Create(const FaxSubmission& submission) override {
        if (m_script->down)
            return Down();
        if (submission.number == m_script->refuseNumber)
            return Refusal(QStringLiteral("503 bad dial string"));
        if (m_script->onCreate)
            m_script->onCreate();
        const QString id = QString::number(++m_script->creates);
        m_script->jobs[id].submission = submission;
        m_script->jobs[id].status.state = State::Pending;
        return id;
    }
    ServerResult<void> Submit(const QString& jobId) override {
        if (m_script->down)
            return Down();
        ServerJob& job = m_script->jobs[jobId];
        if (job.submitted)
            return Refusal(QStringLiteral("504 job already submitted"));
        job.submitted = true;
        return {};
    }
    ServerResult<void> Check() override { return {}; }
    ServerResult<QList<ReceivedFax>> Received() override {
        if (m_script->down)
            return Down();
        return m_script->received;
    }
    ServerResult<void> Fetch(const QString& file, QIODevice& sink) override {
        if (m_script->down)
            return Down();
        if (!m_script->receivedBytes.contains(file))
            return Refusal(QStringLiteral("550 ") + file + QStringLiteral(": No such file"));
        sink.write(m_script->receivedBytes.value(file));
        return {};
    }
    ServerResult<void> Delete(const QString& file) override {
        if (m_script->down)
            return Down();
        m_script->receivedBytes.remove(file);
        return {};
    }
    // As a HylaFAX server kills a job: failed, by request; an ended job is refused.
    ServerResult<void> Cancel(const QString& jobId) override {
        if (m_script->down)
            return Down();
        if (!m_script->jobs.contains(jobId))
            return Refusal(QStringLiteral("500 Cannot set job %1; job does not exist").arg(jobId));
        FaxJobStatus& status = m_script->jobs[jobId].status;
        if (status.state == State::Done || status.state == State::Failed)
            return Refusal(QStringLiteral("504 Job %1 not killed; already done").arg(jobId));
        status.state = State::Failed;
        status.status = QStringLiteral("Job aborted by request");
        status.byRequest = true;
        return {};
    }
    ServerResult<FaxJobStatus> Status(const QString& jobId) override {
        if (m_script->onStatus)
            m_script->onStatus(jobId);
        if (m_script->down)
            return Down();
        if (jobId == m_script->refuseStatusOf)
            return Refusal(
                QStringLiteral("500 Cannot set job; invalid or corrupted job description"));
        if (!m_script->jobs.contains(jobId))
            return FaxJobStatus{};
        return m_script->jobs[jobId].status;
    }

private:
    static ServerProblem Down() {
        ServerProblem problem;
        problem.reason = QStringLiteral("connection refused");
        return problem;
    }
    static ServerProblem Refusal(const QString& reason) {
        ServerProblem problem;
        problem.reason = reason;
        problem.kind = Kind::Refused;
        return problem;
    }
    std::shared_ptr<ServerScript> m_script;
};

} // namespace

class TestQueueRunner : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_data;
    std::shared_ptr<ServerScript> m_script;
    FixedClock m_clock;
    int m_case = 0;

    QString Folder(const QString& name) const { return m_data + u'/' + name; }
    QString Document(const QString& name) const {
        return Folder(fax::kFolderFaxsend) + u'/' + name;
    }

    std::unique_ptr<QueueRunner> Runner() {
        auto runner = std::make_unique<QueueRunner>(
            m_data,
            [script = m_script](const QString&) -> Result<std::unique_ptr<FaxServer>> {
                return std::unique_ptr<FaxServer>(std::make_unique<ScriptedServer>(script));
            },
            m_clock);
        QString error;
        if (!runner->Open(error))
            qFatal("%s", qPrintable(error));
        return runner;
    }

    void WriteSff(const QString& path, int pages = 1) {
        SffWriter sff;
        const QByteArray row(SffWriter::kStandardWidth / 8, '\x0f');
        for (int p = 0; p < pages; ++p) {
            sff.BeginPage(196);
            for (int r = 0; r < 20; ++r)
                sff.AddBitRow(reinterpret_cast<const unsigned char*>(row.constData()),
                              SffWriter::kStandardWidth);
            sff.AddBlankRows(100);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sff.Finish());
    }

    // A job file in Comjob and its journal row, as kalmosend leaves them.
    void AddJob(const QString& name, const QByteArray& bytes, const QString& remark = {}) {
        QFile file(Folder(fax::kFolderComjob) + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        QVERIFY2(journal, qPrintable(error));
        JournalEntry row;
        row.jobFile = name;
        row.number = QStringLiteral("0301234");
        row.remark = remark;
        QVERIFY2(journal->Add(row, error), qPrintable(error));
    }

    std::optional<JobFile> Filed(const QString& folder, const QString& name) {
        QFile file(Folder(folder) + u'/' + name);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QString why;
        auto job = JobFile::Parse(file.readAll(), &why);
        if (!job)
            qWarning("%s: %s", qPrintable(name), qPrintable(why));
        return job;
    }

    QString JournalState(const QString& name) {
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        const auto row = journal ? journal->Find(name, error) : std::nullopt;
        return row ? row->state + u'|' + row->outcome : error;
    }

    bool InComjob(const QString& name) const {
        return QFile::exists(Folder(fax::kFolderComjob) + u'/' + name);
    }

private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        m_data = m_dir.path() + QStringLiteral("/data") + QString::number(++m_case);
        for (const QString& f :
             {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr, fax::kFolderFaxsend})
            QVERIFY(QDir().mkpath(Folder(f)));
        m_script = std::make_shared<ServerScript>();
        m_clock.now = QDateTime::currentDateTime();
    }

    // What only a scripted server shows: a second pass sends nothing twice, the time fields
    // of an outcome that reports them, a job the server no longer knows, and a document kept
    // while another job names it. (The values at a real server: tests/hylafax.)
    void followsAndFiles() {
        const QString doc = Document(QStringLiteral("_FX00001.SFF"));
        WriteSff(doc, 2);
        for (const char* name : {"09120000.FX3", "09120001.FX3"})
            AddJob(QString::fromLatin1(name),
                   SendJobBytes(doc, QStringLiteral("0301"), QStringLiteral("SFF"), 98,
                                QStringLiteral("26-12-24-18:30")));
        auto runner = Runner();
        QCOMPARE(runner->RunOnce().submitted, 2);
        QCOMPARE(runner->RunOnce().submitted, 0);
        QCOMPARE(m_script->creates, 2);
        QCOMPARE(m_script->jobs[QStringLiteral("1")].submission.sendTime,
                 QDateTime(QDate(2026, 12, 24), QTime(18, 30)));

        FaxJobStatus done;
        done.state = State::Done;
        done.pagesSent = 2;
        done.started = QDateTime(QDate(2026, 12, 24), QTime(18, 31, 5));
        done.durationSecs = 3675;
        m_script->jobs[QStringLiteral("1")].status = done;
        QCOMPARE(runner->RunOnce().sent, 1);
        QVERIFY(QFile::exists(doc)); // the other job still names it
        const auto sent = Filed(fax::kFolderComack, QStringLiteral("09120000.FX3"));
        QVERIFY(sent);
        QCOMPARE(sent->Value(Field::FaxDate), QStringLiteral("26-12-24"));
        QCOMPARE(sent->Value(Field::FaxStart), QStringLiteral("18:31:05"));
        QCOMPARE(sent->Value(Field::FaxDauer), QStringLiteral("01:01:15"));
        QCOMPARE(sent->Value(Field::Status), QStringLiteral("OK"));

        m_script->jobs.remove(QStringLiteral("2")); // cleaned out of the server's done queue
        m_clock.now = m_clock.now.addSecs(QueueRunner::kJournalGraceSecs); // the print is complete
        QCOMPARE(runner->RunOnce().failed, 1);
        QCOMPARE(runner->InFlight(), 0);
        QVERIFY(!QFile::exists(doc));
        const auto lost = Filed(fax::kFolderComerr, QStringLiteral("09120001.FX3"));
        QVERIFY(lost);
        QCOMPARE(lost->Value(Field::Status), QStringLiteral("UNKNOWN"));
        QVERIFY(JournalState(QStringLiteral("09120001.FX3")).startsWith(u"failed|"));
    }

    void refusesWhatIsNotAJob_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good =
            SendJobBytes(QStringLiteral("/nowhere/_FX00009.SFF"), QStringLiteral("0301"),
                         QStringLiteral("SFF"), 196, QStringLiteral("IMMED"));
        QByteArray wrongFirst = good;
        wrongFirst.replace("A*APPLI/COM*V001", "A*APPLI/COM*V002");
        QByteArray missingKey = good;
        missingKey.replace("SPEED   :\r\n", "");
        QByteArray longLine = good;
        longLine.replace("ERROR   :", "ERROR   :" + QByteArray(5000, 'x'));
        QTest::newRow("wrong first line") << wrongFirst << "first line";
        QTest::newRow("missing key") << missingKey << "SPEED";
        QTest::newRow("line too long") << longLine << "long";
        QTest::newRow("document missing") << good << "did not convert";
        QTest::newRow("bad send time")
            << SendJobBytes(QStringLiteral("/x.SFF"), QStringLiteral("0301"), QStringLiteral("SFF"),
                            196, QStringLiteral("morgen"))
            << "send time";
        QTest::newRow("refused by the server")
            << PollJobBytes(QStringLiteral("999"), QStringLiteral("IMMED")) << "503 bad dial";
        // Put there by another user (the tests run as root, who can give it away).
        QTest::newRow("another user's")
            << PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")) << "another user";
    }

    // Nothing of these reaches the server; each lands in Comerr with its reason.
    void refusesWhatIsNotAJob() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        m_script->refuseNumber = QStringLiteral("999");
        const QString name = QStringLiteral("09120005.FX3");
        AddJob(name, bytes);
        if (QByteArray(QTest::currentDataTag()) == "another user's")
            QCOMPARE(
                ::chown(QFile::encodeName(Folder(fax::kFolderComjob) + u'/' + name).constData(),
                        65534, 65534),
                0);
        const RunnerPass pass = Runner()->RunOnce();
        QCOMPARE(pass.refused, 1);
        QVERIFY(!m_script->jobs.contains(QStringLiteral("1")) ||
                !m_script->jobs[QStringLiteral("1")].submitted);
        QVERIFY(!InComjob(name));
        const auto refused = Filed(fax::kFolderComerr, name);
        QVERIFY(refused);
        QCOMPARE(refused->Value(Field::Status), QStringLiteral("REFUSED"));
        QVERIFY2(refused->Value(Field::Error).contains(reason, Qt::CaseInsensitive),
                 qPrintable(refused->Value(Field::Error)));
        QVERIFY(JournalState(name).startsWith(u"refused|"));
    }

    // A link in Comjob is filed as it is (the link, not its target) with the reason.
    void refusesALink() {
        const QString target = m_dir.path() + QStringLiteral("/secret");
        QFile secret(target);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("keep");
        secret.close();
        QVERIFY(QFile::link(target, Folder(fax::kFolderComjob) + QStringLiteral("/09120007.FX3")));
        QCOMPARE(Runner()->RunOnce().refused, 1);
        QVERIFY(QFileInfo(Folder(fax::kFolderComerr) + QStringLiteral("/09120007.FX3.orig"))
                    .isSymLink());
        QVERIFY(Filed(fax::kFolderComerr, QStringLiteral("09120007.FX3")));
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep"));
    }

    // A server that cannot be reached leaves every job in Comjob, untaken, for the next try;
    // the delay between tries grows to a limit.
    void serverDownLeavesJobs() {
        m_script->down = true;
        for (int i = 0; i < 3; ++i)
            AddJob(QStringLiteral("0912000%1.FX3").arg(i),
                   PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        auto runner = Runner();
        const RunnerPass pass = runner->RunOnce();
        QVERIFY(pass.unreachable);
        QVERIFY(pass.serverError.contains(u"connection refused"));
        QCOMPARE(pass.deferred, 3);
        QCOMPARE(runner->InFlight(), 0);
        for (int i = 0; i < 3; ++i)
            QVERIFY(InComjob(QStringLiteral("0912000%1.FX3").arg(i)));
        m_script->down = false;
        QCOMPARE(runner->RunOnce().submitted, 3);

        QCOMPARE(QueueService::RetryDelayMs(1), 10 * 1000);
        QCOMPARE(QueueService::RetryDelayMs(2), 20 * 1000);
        QCOMPARE(QueueService::RetryDelayMs(5), 160 * 1000);
        QCOMPARE(QueueService::RetryDelayMs(40), 15 * 60 * 1000);
    }

    // A runner stopped between creating a job at the server and recording it submitted:
    // the next one completes the job when it was not submitted, leaves it when it was, and
    // sends a job again only when the server never got it; one the server no longer knows
    // long after is filed as failed, its outcome lost.
    void restartFindsItsJobs_data() {
        QTest::addColumn<bool>("atServer");
        QTest::addColumn<bool>("submitted");
        QTest::addColumn<int>("creates");
        QTest::addColumn<qint64>("renewedAgo");
        QTest::newRow("created, not submitted") << true << false << 1 << qint64{0};
        QTest::newRow("created and submitted") << true << true << 1 << qint64{0};
        QTest::newRow("never reached the server") << false << false << 2 << qint64{0};
        // May have been sent, and removed from the server since: not sent a second time.
        QTest::newRow("unknown long after")
            << false << false << 1 << QueueRunner::kUnsubmittedGoneSecs;
    }
    void restartFindsItsJobs() {
        QFETCH(bool, atServer);
        QFETCH(bool, submitted);
        QFETCH(int, creates);
        QFETCH(qint64, renewedAgo);
        const QString name = QStringLiteral("09120003.FX3");
        AddJob(name, PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        m_script->creates = 1;
        if (atServer) {
            m_script->jobs[QStringLiteral("1")].submitted = submitted;
            m_script->jobs[QStringLiteral("1")].status.state = State::Pending;
        }
        QVERIFY(QDir().mkpath(Folder(SendingState::kFolderName)));
        QFile record(Folder(SendingState::kFolderName) + u'/' + name);
        QVERIFY(record.open(QIODevice::WriteOnly));
        record.write("phase=created\nowner=elsewhere:1\nsince=0\nserver=faxserver:4559\njob=1\n");
        record.close();
        const qint64 renewed = m_clock.now.toSecsSinceEpoch() - renewedAgo;
        const struct utimbuf times { renewed, renewed };
        QVERIFY(::utime(QFile::encodeName(record.fileName()).constData(), &times) == 0);

        auto runner = Runner();
        // Finds the record; a job the server never got is given back and sent in the same pass.
        const RunnerPass pass = runner->RunOnce();
        QCOMPARE(m_script->creates, creates);
        if (renewedAgo > 0) {
            QCOMPARE(pass.failed, 1);
            const auto filed = Filed(fax::kFolderComerr, name);
            QVERIFY(filed);
            QVERIFY(filed->Value(Field::Error).contains(u"outcome is lost"));
            return;
        }
        for (const ServerJob& job : std::as_const(m_script->jobs))
            QVERIFY(job.submitted);
        QCOMPARE(runner->InFlight(), 1);
        QVERIFY(InComjob(name));
    }

    // A document stays while a job file that appeared during the pass names it.
    void documentKeptForAJobThatCameMeanwhile() {
        const QString doc = Document(QStringLiteral("_FX00002.SFF"));
        WriteSff(doc);
        const QByteArray bytes = SendJobBytes(doc, QStringLiteral("0301"), QStringLiteral("SFF"),
                                              196, QStringLiteral("IMMED"));
        AddJob(QStringLiteral("09120000.FX3"), bytes);
        AddJob(QStringLiteral("09120001.FX3"), bytes);
        auto runner = Runner();
        QCOMPARE(runner->RunOnce().submitted, 2);
        for (const char* id : {"1", "2"})
            m_script->jobs[QString::fromLatin1(id)].status.state = State::Done;
        m_script->onStatus = [&](const QString& id) {
            if (id == u"2")
                AddJob(QStringLiteral("09120002.FX3"), bytes); // a further recipient
        };
        QCOMPARE(runner->SubmitNew().submitted, 0);
        QCOMPARE(runner->Follow().sent, 2);
        QVERIFY(QFile::exists(doc));
    }

    // A print's first recipient refused at once leaves the document to the recipients that
    // kalmosend writes after it; a document no job names goes once it is older than the grace
    // (also one left by a runner stopped after filing its last job), a colour one with its SFF.
    void documentOutlivesAnEarlyRefusal() {
        const QString doc = Document(QStringLiteral("_FX00005.SFF"));
        WriteSff(doc);
        m_script->refuseNumber = QStringLiteral("0399");
        AddJob(QStringLiteral("09120000.FX3"),
               SendJobBytes(doc, QStringLiteral("0399"), QStringLiteral("SFF"), 196,
                            QStringLiteral("IMMED")));
        auto runner = Runner();
        QCOMPARE(runner->RunOnce().refused, 1);
        QVERIFY(QFile::exists(doc));
        AddJob(QStringLiteral("09120001.FX3"),
               SendJobBytes(doc, QStringLiteral("0301"), QStringLiteral("SFF"), 196,
                            QStringLiteral("IMMED")));
        QCOMPARE(runner->RunOnce().submitted, 1);
        m_script->jobs[QStringLiteral("1")].status.state = State::Done;
        QCOMPARE(runner->RunOnce().sent, 1);
        QVERIFY(QFile::exists(doc)); // young: the print may have more recipients

        const QString stranded = Document(QStringLiteral("_FX00006.CFF"));
        const QString companion = Document(QStringLiteral("_FX00006.SFF"));
        const QString named = Document(QStringLiteral("_FX00007.SFF"));
        const QString foreign = Document(QStringLiteral("letter.SFF"));
        for (const QString& path : {stranded, companion, named, foreign})
            WriteSff(path);
        AddJob(QStringLiteral("09120002.FX3"),
               SendJobBytes(named, QStringLiteral("0301"), QStringLiteral("SFF"), 196,
                            QStringLiteral("20-01-01-00:00")));
        m_script->down = true; // the named job stays in Comjob
        m_clock.now = m_clock.now.addSecs(QueueRunner::kJournalGraceSecs - 5);
        QCOMPARE(runner->RunOnce().sent, 0);
        QVERIFY(QFile::exists(doc) && QFile::exists(stranded));
        m_clock.now = m_clock.now.addSecs(10);
        QCOMPARE(runner->RunOnce().sent, 0);
        QVERIFY(!QFile::exists(doc));
        QVERIFY(!QFile::exists(stranded));
        QVERIFY(!QFile::exists(companion));
        QVERIFY(QFile::exists(named));
        QVERIFY(QFile::exists(foreign));
    }

    // A job another runner has filed meanwhile (moved, and out of Comjob) is filed here only
    // as far as Comjob goes: its document, which a later recipient still names, stays, and
    // the outcome is not this filer's to count.
    void jobFiledByAnotherRunner() {
        const QString doc = Document(QStringLiteral("_FX00008.SFF"));
        WriteSff(doc);
        const QByteArray bytes = SendJobBytes(doc, QStringLiteral("0301"), QStringLiteral("SFF"),
                                              196, QStringLiteral("IMMED"));
        const QString name = QStringLiteral("09120000.FX3");
        AddJob(QStringLiteral("09120001.FX3"), bytes);
        QFile filed(Folder(fax::kFolderComack) + u'/' + name); // the other runner's move
        QVERIFY(filed.open(QIODevice::WriteOnly));
        filed.write(bytes);
        filed.close();
        SpoolFolder comjob, comack, comerr, faxsend, work;
        QVERIFY(comjob.Open(Folder(fax::kFolderComjob)) &&
                comack.Open(Folder(fax::kFolderComack)) &&
                comerr.Open(Folder(fax::kFolderComerr)) &&
                faxsend.Open(Folder(fax::kFolderFaxsend)) && work.Open(Folder(fax::kFolderComerr)));
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        QVERIFY2(journal, qPrintable(error));
        m_clock.now = m_clock.now.addSecs(QueueRunner::kJournalGraceSecs + 1);
        JobFiler filer(comjob, comack, comerr, faxsend, work, *journal, m_clock,
                       QueueRunner::kJournalGraceSecs);
        QString problem;
        QCOMPARE(filer.File(name, *JobFile::Parse(bytes), JobFiler::Outcome::Sent, {}, problem),
                 JobFiler::Filed::Elsewhere);
        QVERIFY(QFile::exists(doc));
    }

    // A claim a kill cut short (created, never written: a record that is no runner's) does
    // not strand its job: left alone while young, taken over once old, without a problem
    // reported for it in any pass. A claim is never seen half written.
    void claimCutShortByAKill() {
        const QString name = QStringLiteral("09120005.FX3");
        AddJob(name, PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        QVERIFY(QDir().mkpath(Folder(SendingState::kFolderName)));
        QFile record(Folder(SendingState::kFolderName) + u'/' + name);
        QVERIFY(record.open(QIODevice::WriteOnly));
        record.close();
        auto runner = Runner();
        RunnerPass pass = runner->RunOnce();
        QCOMPARE(pass.submitted, 0);
        QVERIFY2(pass.problems.isEmpty(), qPrintable(pass.problems.join(u'\n')));
        m_clock.now = m_clock.now.addSecs(QueueRunner::kUnreadableRecordSecs + 1);
        pass = runner->RunOnce();
        QCOMPARE(pass.submitted, 1);
        QVERIFY2(pass.problems.isEmpty(), qPrintable(pass.problems.join(u'\n')));
        QCOMPARE(runner->InFlight(), 1);
        QVERIFY(runner->Follow().problems.isEmpty());
        // Only complete records under a job's name: nothing else is left in the folder.
        QCOMPARE(QDir(Folder(SendingState::kFolderName)).entryList(QDir::Files), QStringList{name});
    }

    // A killed run's temporary files are removed by the next run of the host; another host's
    // and a live runner's stay.
    void leftoversOfAnEndedRun() {
        QProcess ended;
        ended.start(QStringLiteral("true"));
        QVERIFY(ended.waitForStarted());
        const QString pid = QString::number(ended.processId());
        QVERIFY(ended.waitForFinished());
        const QString own = SendingState::OwnerTag();
        const QString host = own.left(own.lastIndexOf(u'_'));
        const QString dead = host + u'_' + pid;
        const QString folder = Folder(SendingState::kFolderName);
        QVERIFY(QDir().mkpath(folder));
        const QStringList gone = {dead + "-1.tif", "09120006.FX3.new." + dead,
                                  "09120006.FX3.out." + dead, "09120006.FX3.claim." + dead,
                                  "09120006.FX3.taken." + dead};
        const QStringList kept = {"elsewhere_" + pid + "-1.tif", host + "_1-2.tif",
                                  "09120007.FX3.out.elsewhere_" + pid};
        for (const QString& name : gone + kept) {
            QFile file(folder + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        auto runner = Runner();
        QVERIFY(runner->SubmitNew().problems.isEmpty());
        QStringList left = QDir(folder).entryList(QDir::Files);
        left.sort();
        QStringList expected = kept;
        expected.sort();
        QCOMPARE(left, expected);
    }

    // A job the server will not talk about is asked about again later; the server is not
    // down for it, and the other jobs are followed and filed.
    void oneJobTheServerRefusesToShow() {
        for (const char* name : {"09120000.FX3", "09120001.FX3"})
            AddJob(QString::fromLatin1(name),
                   PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        auto runner = Runner();
        QCOMPARE(runner->RunOnce().submitted, 2);
        m_script->refuseStatusOf = QStringLiteral("1");
        m_script->jobs[QStringLiteral("2")].status.state = State::Done;
        const RunnerPass pass = runner->RunOnce();
        QVERIFY(!pass.unreachable);
        QCOMPARE(pass.sent, 1);
        QCOMPARE(pass.waiting, 1);
        QVERIFY(pass.problems.join(u' ').contains(u"corrupted"));
    }

    // A refusal that cannot be filed gives the job back instead of holding it for good.
    void refusalThatCannotBeFiled() {
        const QString name = QStringLiteral("09120002.FX3");
        AddJob(name, "not a job file\r\n");
        const QString blocker = Folder(SendingState::kFolderName) + u'/' + name +
                                QStringLiteral(".out.") + SendingState::OwnerTag();
        QVERIFY(QDir().mkpath(blocker));
        auto runner = Runner();
        QCOMPARE(runner->RunOnce().refused, 0);
        QVERIFY(InComjob(name));
        QCOMPARE(runner->InFlight(), 0);
        QVERIFY(QDir().rmdir(blocker));
        QCOMPARE(runner->RunOnce().refused, 1);
    }

    // Of two runners that find one abandoned claim, only one takes it over, its claim in the
    // record's place; a record renewed after it was seen stays as it was. Nothing else is left.
    void takeOverOnlyWhatWasSeen_data() {
        QTest::addColumn<bool>("noExchange");
        QTest::newRow("exchanged") << false;
        QTest::newRow("under the lock") << true;
    }
    void takeOverOnlyWhatWasSeen() {
        QFETCH(bool, noExchange);
        SendingState state;
        state.testNoExchange = noExchange;
        QString error;
        QVERIFY2(state.Open(m_data, error), qPrintable(error));
        const QString name = QStringLiteral("09120003.FX3");
        SendingRecord abandoned;
        abandoned.owner = QStringLiteral("gone:1");
        abandoned.since = 1000;
        QVERIFY(state.Claim(name, abandoned, error));
        QCOMPARE(state.RenewedAt(name), 1000);
        SendingRecord ours;
        ours.owner = QStringLiteral("us:1");
        ours.since = 2000;
        SendingRecord second;
        second.owner = QStringLiteral("second:1");
        QVERIFY(state.TakeOver(name, abandoned, 1000, ours));
        QCOMPARE(state.Read(name)->owner, QStringLiteral("us:1"));
        QVERIFY(!state.TakeOver(name, abandoned, 1000, second));
        QCOMPARE(state.Read(name)->owner, QStringLiteral("us:1"));

        QVERIFY(state.Write(name, abandoned, error));
        const QString path = Folder(SendingState::kFolderName) + u'/' + name;
        const struct utimbuf renewed { 1500, 1500 };
        QVERIFY(::utime(QFile::encodeName(path).constData(), &renewed) == 0);
        QVERIFY(!state.TakeOver(name, abandoned, 1000, ours));
        QCOMPARE(state.Read(name)->Bytes(), abandoned.Bytes());
        QCOMPARE(state.RenewedAt(name), 1500);
        QStringList left = QDir(Folder(SendingState::kFolderName)).entryList(QDir::Files);
        left.removeAll(QStringLiteral(".takeover.lock"));
        QCOMPARE(left, QStringList{name});
    }

    // A take-over that finds a live claim where the abandoned one was (another runner was
    // first) leaves it there, and meanwhile the job's name is never free: a third runner
    // finds the job taken, the live runner's record is not lost.
    void takeOverLeavesALiveClaim_data() { takeOverOnlyWhatWasSeen_data(); }
    void takeOverLeavesALiveClaim() {
        QFETCH(bool, noExchange);
        const QString name = QStringLiteral("09120004.FX3");
        AddJob(name, PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        const QString folder = Folder(SendingState::kFolderName);
        QVERIFY(QDir().mkpath(folder));
        const auto write = [&](const QString& file, const QByteArray& bytes) {
            QFile record(folder + u'/' + file);
            QVERIFY(record.open(QIODevice::WriteOnly));
            record.write(bytes);
        };
        const qint64 now = m_clock.now.toSecsSinceEpoch();
        write(name,
              "phase=claimed\nowner=elsewhere:1\nsince=" + QByteArray::number(now - 3600) + "\n");
        const QByteArray live =
            "phase=claimed\nowner=elsewhere:2\nsince=" + QByteArray::number(now) + "\nrenews=60\n";
        auto runner = Runner();
        auto third = Runner();
        RunnerPass thirdPass;
        runner->SetTakeOverHook(
            [&](const char* step) {
                if (std::strcmp(step, "take-over") == 0) {
                    write(QStringLiteral("live"), live);
                    QVERIFY(QDir(folder).rename(QStringLiteral("live"), name) ||
                            (QFile::remove(folder + u'/' + name) &&
                             QDir(folder).rename(QStringLiteral("live"), name)));
                } else if (std::strcmp(step, "taken") == 0) {
                    thirdPass = third->SubmitNew();
                }
            },
            noExchange);
        const RunnerPass pass = runner->SubmitNew();
        QCOMPARE(pass.submitted + thirdPass.submitted, 0);
        QCOMPARE(m_script->creates, 0);
        QFile record(folder + u'/' + name);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll(), live);
        QStringList left = QDir(folder).entryList(QDir::Files);
        left.removeAll(QStringLiteral(".takeover.lock"));
        QCOMPARE(left, QStringList{name});
    }

    // A claim is taken over only from a runner that is gone, however long its job takes:
    // one of this host whose process lives stays (a record of an older runner, without the
    // process's start time, too), one whose process id another process has now is taken
    // over. One of another machine stays while it is renewed, and is taken over once it has
    // missed several renewals.
    void liveClaimsStay() {
        QProcess alive;
        alive.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(alive.waitForStarted());
        const QByteArray pid = QByteArray::number(alive.processId());
        const QString own = SendingState::OwnerHere();
        const QByteArray owner = own.left(own.lastIndexOf(u':')).toUtf8() + ':' + pid;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(alive.processId()));
        QVERIFY(stat.open(QIODevice::ReadOnly));
        const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
        const QByteArray start = fields.value(20);
        QVERIFY(start.toLongLong() > 0);
        const QString folder = Folder(SendingState::kFolderName);
        QVERIFY(QDir().mkpath(folder));
        const qint64 now = m_clock.now.toSecsSinceEpoch();
        const QByteArray longAgo = QByteArray::number(now - 3600);
        struct Claim {
            const char* name;
            QByteArray record;
            qint64 renewedAgo;
        };
        const Claim claims[] = {
            {"09120000.FX3", "owner=" + owner + "\nsince=" + longAgo + "\nstart=" + start, 3600},
            {"09120001.FX3", "owner=" + owner + "\nsince=" + longAgo, 3600},
            {"09120002.FX3", "owner=" + owner + "\nsince=" + QByteArray::number(now) + "\nstart=1",
             0},
            {"09120003.FX3", "owner=elsewhere:7\nsince=" + longAgo + "\nrenews=60", 60},
        };
        for (const Claim& claim : claims) {
            const QString name = QString::fromLatin1(claim.name);
            AddJob(name, PollJobBytes(name.left(8), QStringLiteral("IMMED")));
            const QString path = folder + u'/' + name;
            QFile record(path);
            QVERIFY(record.open(QIODevice::WriteOnly));
            record.write("phase=claimed\n" + claim.record + '\n');
            record.close();
            const struct utimbuf renewed { now - claim.renewedAgo, now - claim.renewedAgo };
            QVERIFY(::utime(QFile::encodeName(path).constData(), &renewed) == 0);
        }
        auto runner = Runner();
        runner->RunOnce();
        QStringList sent;
        for (const ServerJob& job : std::as_const(m_script->jobs))
            sent.append(job.submission.number);
        QCOMPARE(sent, QStringList{QStringLiteral("09120002")});

        // Not renewed for as long as several periods: that machine's runner is gone.
        m_clock.now = m_clock.now.addSecs(QueueRunner::kMissedRenewals * 60 - 60);
        runner->RunOnce();
        QCOMPARE(m_script->jobs.size(), 2);
        QCOMPARE(m_script->jobs.last().submission.number, QStringLiteral("09120003"));
        alive.kill();
        alive.waitForFinished();
    }

    // The record of the job at hand is renewed while the runner waits for the server.
    void renewsWhileAtWork() {
        const QString name = QStringLiteral("09120005.FX3");
        AddJob(name, PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        auto runner = Runner();
        runner->SetRenewPeriod(std::chrono::milliseconds(10));
        const QByteArray path = QFile::encodeName(Folder(SendingState::kFolderName) + u'/' + name);
        bool renewed = false;
        m_script->onCreate = [&] {
            struct stat before {};
            QVERIFY(::stat(path.constData(), &before) == 0);
            QDeadlineTimer deadline(5000);
            while (!renewed && !deadline.hasExpired()) {
                struct stat now {};
                renewed = ::stat(path.constData(), &now) == 0 &&
                          (now.st_ctim.tv_sec != before.st_ctim.tv_sec ||
                           now.st_ctim.tv_nsec != before.st_ctim.tv_nsec);
                QThread::msleep(5);
            }
        };
        QCOMPARE(runner->RunOnce().submitted, 1);
        QVERIFY(renewed);
        QVERIFY(runner->SubmitNew().problems.isEmpty());
    }

    // A job taken by another live runner is left to it; one taken long ago by a runner on
    // another machine that never reached the server is taken over. A job without its journal
    // row waits a while: kalmosend may still take it back.
    void claimsAndJournalRow() {
        const QString name = QStringLiteral("09120004.FX3");
        AddJob(name, PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        QVERIFY(QDir().mkpath(Folder(SendingState::kFolderName)));
        QFile record(Folder(SendingState::kFolderName) + u'/' + name);
        QVERIFY(record.open(QIODevice::WriteOnly));
        record.write("phase=claimed\nowner=elsewhere:1\nsince=" +
                     QByteArray::number(m_clock.now.toSecsSinceEpoch()) + "\n");
        record.close();
        auto runner = Runner();
        QCOMPARE(runner->RunOnce().submitted, 0);
        m_clock.now = m_clock.now.addSecs(QueueRunner::kStaleClaimSecs + 1);
        QCOMPARE(runner->RunOnce().submitted, 1);

        // The row of an older job of the same name is not this job's row.
        const QString orphan = QStringLiteral("09120009.FX3");
        AddJob(orphan, PollJobBytes(QStringLiteral("0302"), QStringLiteral("IMMED")));
        const QString path = Folder(fax::kFolderComjob) + u'/' + orphan;
        const QDateTime written = QDateTime::currentDateTime().addSecs(3600);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
        file.close();
        m_clock.now = written;
        RunnerPass pass = runner->RunOnce();
        QCOMPARE(pass.submitted, 0);
        QCOMPARE(pass.deferred, 1);
        m_clock.now = written.addSecs(QueueRunner::kJournalGraceSecs + 1);
        QCOMPARE(runner->RunOnce().submitted, 1);
        QVERIFY(JournalState(orphan).startsWith(u"queued|")); // the older job's row
    }

    // The server a sending record names: its address as written now, the bare "host:port"
    // of records written before servers had a kind (jobs at the server during an upgrade),
    // the configured one for a record without an address; a kind this program does not know
    // makes no server.
    void theServerARecordNames_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("address"); // empty: no server
        const QString set = QStringLiteral("hylafax://fax.example:4559");
        QTest::newRow("none") << ""
                              << "" << set;
        QTest::newRow("the set one") << "" << set << set;
        QTest::newRow("another") << ""
                                 << "hylafax://other:4600"
                                 << "hylafax://other:4600";
        QTest::newRow("bare") << ""
                              << "other:4600"
                              << "hylafax://other:4600";
        QTest::newRow("bare v6") << ""
                                 << "::1:4559"
                                 << "hylafax://::1:4559";
        QTest::newRow("no port") << ""
                                 << "other" << set;
        QTest::newRow("port 0") << ""
                                << "hylafax://other:0" << set;
        QTest::newRow("no kind") << ""
                                 << "://other:4600" << set;
        QTest::newRow("unknown kind") << ""
                                      << "fax2://other:4600"
                                      << "";
        QTest::newRow("unknown kind set") << "fax2"
                                          << ""
                                          << "";
    }
    void theServerARecordNames() {
        QFETCH(QString, kind);
        QFETCH(QString, record);
        QFETCH(QString, address);
        ServerAccount account;
        if (!kind.isEmpty())
            account.kind = kind;
        account.host = QStringLiteral("fax.example");
        const auto server = MakeFaxServer(account, record);
        QCOMPARE(server ? (*server)->Address() : QString(), address);
        if (server)
            QCOMPARE(ServerAddress::Parse((*server)->Address())->Text(), address);
    }

    // A server the factory cannot make leaves the jobs waiting, with the reason.
    void noServerOfTheKindLeavesJobs() {
        AddJob(QStringLiteral("09120000.FX3"),
               PollJobBytes(QStringLiteral("0301"), QStringLiteral("IMMED")));
        ServerAccount account;
        account.kind = QStringLiteral("fax2");
        QueueRunner runner(
            m_data, [&](const QString& record) { return MakeFaxServer(account, record); }, m_clock);
        QString error;
        QVERIFY2(runner.Open(error), qPrintable(error));
        const RunnerPass pass = runner.RunOnce();
        QVERIFY(pass.unreachable);
        QVERIFY2(pass.serverError.startsWith(u"fax2: "), qPrintable(pass.serverError));
        QCOMPARE(pass.deferred, 1);
        QVERIFY(InComjob(QStringLiteral("09120000.FX3")));
    }

    // Observers (notices, reports) hear of a job once, from the runner whose move filed it,
    // and before filing, while the document is still there; with the server's job id.
    void observersAreToldOnce() {
        struct Recorder final : JobObserver {
            QStringList heard;
            void JobEnding(const QString& name, const JobFile& job) override {
                const QString& doc = job.Value(Field::FileName);
                heard << QStringLiteral("ending ") + name +
                             (QFile::exists(doc) ? QStringLiteral(" with document") : QString());
            }
            void JobFiled(const EndedJob& ended) override {
                heard << QStringLiteral("filed %1 %2 %3")
                             .arg(ended.name)
                             .arg(int(ended.outcome))
                             .arg(ended.serverJobId);
            }
        } recorder;
        const QString doc = Document(QStringLiteral("_FX00001.SFF"));
        WriteSff(doc);
        AddJob(QStringLiteral("09120000.FX3"),
               SendJobBytes(doc, QStringLiteral("0301"), QStringLiteral("SFF"), 196,
                            QStringLiteral("IMMED")));
        AddJob(QStringLiteral("09120001.FX3"),
               PollJobBytes(QStringLiteral("999"), QStringLiteral("IMMED")));
        m_script->refuseNumber = QStringLiteral("999");
        auto runner = Runner();
        auto other = Runner(); // follows the same jobs: files nothing twice
        runner->AddObserver(&recorder);
        other->AddObserver(&recorder);
        runner->RunOnce();
        m_script->jobs[QStringLiteral("1")].status.state = State::Done;
        m_clock.now = m_clock.now.addSecs(QueueRunner::kJournalGraceSecs);
        runner->RunOnce();
        other->RunOnce();
        QVERIFY(!QFile::exists(doc)); // filing took it
        QCOMPARE(recorder.heard,
                 QStringList({"ending 09120001.FX3", "filed 09120001.FX3 2 ",
                              "ending 09120000.FX3 with document", "filed 09120000.FX3 0 1"}));
    }
};

QTEST_GUILESS_MAIN(TestQueueRunner)
#include "tst_queuerunner.moc"
