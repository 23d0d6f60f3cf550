#include "faxapp/sending/QueueRunner.h"

#include "fax/FaxContract.h"
#include "fax/FolderListing.h"
#include "fax/PosixFile.h"
#include "faxapp/faxtiff/FaxTiff.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/journal/KeptDocuments.h"
#include "faxapp/sending/JobFiler.h"
#include "faxapp/sending/JobOutcome.h"
#include "support/Clock.h"

#include <QFileInfo>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace faxapp {

namespace {

using Field = JobFile::Field;

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The send time of a job file, "YY-MM-DD-hh:mm" in local time; invalid for IMMED. ok is false
// for a value that is neither.
QDateTime ParseSendTime(const QString& text, bool& ok) {
    ok = true;
    if (text == QLatin1String("IMMED") || text.isEmpty())
        return {};
    const QDateTime parsed = QDateTime::fromString(text, QStringLiteral("yy-MM-dd-HH:mm"));
    if (!parsed.isValid()) {
        ok = false;
        return {};
    }
    // Two-digit years are this century's.
    return QDateTime(
        QDate(2000 + parsed.date().year() % 100, parsed.date().month(), parsed.date().day()),
        parsed.time());
}

// The time from which journal rows can belong to the job file of st: kalmosend records its
// row after it has written the file, and a clock may be a little off.
QDateTime RowsFrom(const struct stat& st) {
    return st.st_mtim.tv_sec > 0 ? QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec - 300)
                                 : QDateTime();
}

} // namespace

struct QueueRunner::Folders {
    SpoolFolder comjob, comack, comerr, faxsend;
};

// Renews the record of the job at hand on a thread of its own, while the runner converts,
// uploads or waits for the server.
class QueueRunner::Keeper {
public:
    Keeper(const SendingState& state, const Clock& clock) : m_state(state), m_clock(clock) {}
    ~Keeper() {
        {
            const std::lock_guard lock(m_mutex);
            m_end = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;

    void SetPeriod(std::chrono::milliseconds period) {
        const std::lock_guard lock(m_mutex);
        m_period = period;
    }
    std::chrono::milliseconds Period() const {
        const std::lock_guard lock(m_mutex);
        return m_period;
    }
    // Renews name's record every period from now on; an empty name stops renewing.
    void Hold(const QString& name) {
        {
            const std::lock_guard lock(m_mutex);
            m_name = name;
            m_due = std::chrono::steady_clock::now() + m_period;
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Run(); });
        m_wake.notify_all();
    }

private:
    void Run() {
        std::unique_lock lock(m_mutex);
        while (!m_end) {
            if (m_name.isEmpty()) {
                m_wake.wait(lock);
                continue;
            }
            m_wake.wait_until(lock, m_due);
            if (m_end || m_name.isEmpty() || std::chrono::steady_clock::now() < m_due)
                continue; // woken early: held anew, or ended
            const QString name = m_name;
            m_due += m_period;
            lock.unlock();
            m_state.Renew(name, m_clock.Now().toSecsSinceEpoch());
            lock.lock();
        }
    }

    const SendingState& m_state;
    const Clock& m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::chrono::milliseconds m_period{QueueRunner::kRenewSecs * 1000};
    std::chrono::steady_clock::time_point m_due;
    QString m_name;
    bool m_end = false;
    std::thread m_thread;
};

// The job whose record is renewed while this lives.
class QueueRunner::Holding {
public:
    Holding(Keeper& keeper, const QString& name) : m_keeper(keeper) { m_keeper.Hold(name); }
    ~Holding() { m_keeper.Hold({}); }
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;

private:
    Keeper& m_keeper;
};

QueueRunner::QueueRunner(QString dataDir, ServerFactory serverFactory, const Clock& clock)
    : m_dataDir(std::move(dataDir)), m_serverFactory(std::move(serverFactory)), m_clock(clock),
      m_folders(std::make_unique<Folders>()), m_keeper(std::make_unique<Keeper>(m_state, m_clock)) {
}

void QueueRunner::SetRenewPeriod(std::chrono::milliseconds period) {
    m_keeper->SetPeriod(period);
}

void QueueRunner::SetTakeOverHook(std::function<void(const char*)> hook, bool noExchange) {
    m_state.testHook = std::move(hook);
    m_state.testNoExchange = noExchange;
}

SendingRecord QueueRunner::OwnRecord(SendingRecord::Phase phase,
                                     const SendingRecord& record) const {
    SendingRecord own = record;
    own.phase = phase;
    SendingState::Identify(own);
    own.since = m_clock.Now().toSecsSinceEpoch();
    own.renews = std::max<qint64>(
        1, std::chrono::duration_cast<std::chrono::seconds>(m_keeper->Period()).count());
    return own;
}

bool QueueRunner::Abandoned(const SendingRecord& record, qint64 renewed, qint64 now) const {
    if (SendingState::OwnerGone(record))
        return true;
    // A runner of this host that is still there is at work, however long it takes.
    if (SendingState::OwnerOnThisHost(record))
        return false;
    if (record.renews > 0)
        return now - renewed >= kMissedRenewals * record.renews;
    return now - record.since >= kStaleClaimSecs;
}

QueueRunner::~QueueRunner() = default;

bool QueueRunner::Open(QString& error) {
    SpoolFolder data;
    if (!data.Open(m_dataDir)) {
        error = m_dataDir + QStringLiteral(": ") + ErrnoText();
        return false;
    }
    const std::pair<SpoolFolder*, QString> folders[] = {
        {&m_folders->comjob, fax::kFolderComjob},
        {&m_folders->comack, fax::kFolderComack},
        {&m_folders->comerr, fax::kFolderComerr},
        {&m_folders->faxsend, fax::kFolderFaxsend},
    };
    for (const auto& [folder, name] : folders) {
        if (!folder->OpenAt(data, name)) {
            error = data.PathOf(name) + QStringLiteral(": ") + ErrnoText();
            return false;
        }
    }
    if (!m_state.Open(m_dataDir, error))
        return false;
    m_journal = JournalStore::Open(m_dataDir, error);
    if (!m_journal)
        return false;
    m_filer = std::make_unique<JobFiler>(m_folders->comjob, m_folders->comack, m_folders->comerr,
                                         m_folders->faxsend, m_state.Folder(), *m_journal, m_clock,
                                         kJournalGraceSecs);
    m_filer->KeepDocumentsOf(m_dataDir);
    return true;
}

int QueueRunner::InFlight() const {
    return static_cast<int>(m_state.Names().size());
}

RunnerPass QueueRunner::RunOnce() {
    RunnerPass pass = SubmitNew();
    const RunnerPass followed = Follow();
    // Jobs the server never got were given back by following them: sent in this pass, not
    // left waiting for the next one.
    if (followed.released > 0)
        pass.Add(SubmitNew());
    pass.Add(followed);
    return pass;
}

void QueueRunner::BeginPass() {
    m_servers.clear();
    m_serverDown.clear();
    m_filer->Forget();
}

void QueueRunner::EndPass() {
    for (const QString& tiff : std::as_const(m_converted))
        m_state.Folder().Remove(QFileInfo(tiff).fileName());
    m_converted.clear();
    m_servers.clear(); // closes the connections
}

bool QueueRunner::TakeOverUnreadable(const QString& name, qint64 now) {
    const qint64 changed = m_state.ChangedAt(name);
    return changed >= 0 && now - changed >= kUnreadableRecordSecs &&
           m_state.TakeOverUnreadable(name, OwnRecord(SendingRecord::Phase::Claimed));
}

void QueueRunner::Note(RunnerPass& pass, const QString& problem) const {
    pass.problems.append(problem);
}

FaxServer* QueueRunner::Server(const QString& record, RunnerPass& pass) {
    if (m_serverDown.value(record))
        return nullptr;
    auto& server = m_servers[record];
    if (!server) {
        auto made = m_serverFactory(record);
        if (!made || !*made) {
            m_serverDown[record] = true;
            pass.unreachable = true;
            if (!made)
                pass.serverError = made.Error().Text();
            return nullptr;
        }
        server = std::move(*made);
    }
    return server.get();
}

void QueueRunner::ServerFailed(FaxServer& server, const ServerProblem& problem, RunnerPass& pass) {
    // Found unreachable once, a server is not asked again in this pass: the jobs wait for
    // the next one instead of each waiting for its own time-out.
    for (auto it = m_servers.cbegin(); it != m_servers.cend(); ++it) {
        if (it.value().get() == &server)
            m_serverDown[it.key()] = true;
    }
    pass.unreachable = true;
    pass.serverError = server.Name() + QStringLiteral(": ") + problem.reason;
}

RunnerPass QueueRunner::SubmitNew() {
    RunnerPass pass;
    BeginPass();
    // What an ended run of this host left behind: its temporary files go first, so that a
    // killed run's converted documents do not stay for ever.
    m_state.RemoveLeftovers();
    QString problem;
    m_filer->Sweep(problem);
    if (!problem.isEmpty())
        Note(pass, problem);
    if (const auto pruned =
            KeptDocuments::Prune(m_dataDir, *m_journal, m_keepSentDays, m_clock.Now());
        !pruned)
        Note(pass, pruned.Error().Text());
    QStringList names;
    if (!ListFolder(m_folders->comjob.Path(), [&](std::string_view entry) {
            const QString name =
                QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
            if (IsJobFileName(name))
                names.append(name);
        })) {
        Note(pass, m_folders->comjob.Path() + QStringLiteral(": ") + ErrnoText());
    }
    names.sort();
    const qint64 now = m_clock.Now().toSecsSinceEpoch();
    for (const QString& name : std::as_const(names)) {
        if (m_stop)
            break;
        bool held = false;
        if (m_state.Holds(name)) {
            // Taken by a runner that did not get as far as the server: once that runner is
            // gone, the job is ours.
            const auto record = m_state.Read(name);
            const qint64 renewed = m_state.RenewedAt(name);
            held = record ? record->phase == SendingRecord::Phase::Claimed &&
                                Abandoned(*record, renewed, now) &&
                                m_state.TakeOver(name, *record, renewed,
                                                 OwnRecord(SendingRecord::Phase::Claimed))
                          : TakeOverUnreadable(name, now);
            if (!held)
                continue;
        }
        TakeJob(name, pass, held);
    }
    EndPass();
    return pass;
}

void QueueRunner::TakeJob(const QString& name, RunnerPass& pass, bool held) {
    m_rowsFrom = {};
    const SendingRecord claim = OwnRecord(SendingRecord::Phase::Claimed);
    QString error;
    const Holding holding(*m_keeper, name);
    const auto takes = [&] { return held || m_state.Claim(name, claim, error); };
    // A job not taken after all is given back.
    const auto giveBack = [&] {
        if (held)
            m_state.Release(name);
    };

    PosixFile file;
    if (!m_folders->comjob.OpenRegular(file, name)) {
        if (errno != ELOOP && errno != EISDIR && errno != kErrorNotRegularFile) {
            // Gone in the meantime (filed, taken back), or not readable now: not refused.
            if (errno != ENOENT)
                Note(pass, m_folders->comjob.PathOf(name) + QStringLiteral(": ") + ErrnoText());
            giveBack();
            return;
        }
        // A link, a FIFO or a folder under a job file's name is not a job.
        const QString why = QStringLiteral("not a regular file: ") + ErrnoText();
        if (takes())
            RefuseMalformed(name, {}, why, pass);
        return;
    }
    QByteArray bytes;
    if (!ReadJobFileBytes(file, bytes)) {
        Note(pass, m_folders->comjob.PathOf(name) + QStringLiteral(": ") + ErrnoText());
        giveBack();
        return;
    }
    QString why;
    auto job = JobFile::Parse(bytes, &why);
    // The runner sends as its user, with that user's rights: a job file that another user put
    // into the folder is not the user's job.
    struct stat st {};
    if (job && (::fstat(file.Descriptor(), &st) != 0 || st.st_uid != ::geteuid())) {
        why = QStringLiteral("the file belongs to another user");
        job.reset();
    }
    m_rowsFrom = RowsFrom(st);
    if (!job) {
        if (takes())
            RefuseMalformed(name, bytes, why, pass);
        else if (!error.isEmpty())
            Note(pass, error);
        return;
    }
    // kalmosend records the job in the journal after the file appears, and takes the file
    // back when the journal refuses: a job without its row may still go away.
    const auto row = m_journal->Find(name, error, m_rowsFrom);
    if (!row) {
        const qint64 age = m_clock.Now().toSecsSinceEpoch() - st.st_mtim.tv_sec;
        if (!error.isEmpty())
            Note(pass, error);
        if (age < kJournalGraceSecs) {
            ++pass.deferred;
            giveBack();
            return;
        }
    }
    if (!takes()) {
        if (!error.isEmpty())
            Note(pass, error);
        return;
    }
    // Another runner may have filed it between the read and the claim.
    if (!file.IsNamedAt(m_folders->comjob.Descriptor(), name)) {
        m_state.Release(name);
        return;
    }
    SubmitJob(name, std::move(*job), row, pass);
}

QString QueueRunner::ConvertedDocument(const JobFile& job, QString& error) {
    const QString& document = job.Value(Field::FileName);
    const bool normal = job.Value(Field::FaxRes) == QLatin1String("98");
    const QString key = document + (normal ? QStringLiteral("|98") : QStringLiteral("|196"));
    if (const auto it = m_converted.constFind(key); it != m_converted.cend())
        return it.value();
    if (document.isEmpty()) {
        error = QStringLiteral("the job names no document");
        return {};
    }
    // The owner in the name keeps runners sharing the data folder apart.
    const QString tiff =
        m_state.Folder().PathOf(SendingState::OwnerTag() + u'-' +
                                QString::number(++m_convertedCount) + QStringLiteral(".tif"));
    m_state.Folder().Remove(QFileInfo(tiff).fileName());
    const FaxTiffResult result =
        FaxTiff::Write(document, job.Value(Field::Convert),
                       normal ? FaxTiff::Rows::Normal : FaxTiff::Rows::Fine, tiff);
    if (!result.error.isEmpty() || result.pages == 0) {
        error = document + QStringLiteral(": ") +
                (result.error.isEmpty() ? QStringLiteral("no pages") : result.error);
        return {};
    }
    m_converted.insert(key, tiff);
    return tiff;
}

void QueueRunner::SubmitJob(const QString& name, JobFile job,
                            const std::optional<JournalEntry>& row, RunnerPass& pass) {
    QString error;

    FaxSubmission submission;
    submission.poll = job.IsPoll();
    submission.number = job.Value(Field::Address);
    submission.tag = row ? JobOutcome::Fit(row->remark, 100) : QString();
    submission.verticalRes = job.Value(Field::FaxRes) == QLatin1String("98") ? 98 : 196;
    bool timeOk = true;
    submission.sendTime = ParseSendTime(job.Value(Field::SendTime), timeOk);
    QString refusal;
    if (submission.number.trimmed().isEmpty())
        refusal = QStringLiteral("the job has no fax number");
    else if (!timeOk)
        refusal =
            QStringLiteral("the send time is not YY-MM-DD-hh:mm: ") + job.Value(Field::SendTime);
    else if (!submission.poll && (submission.tiffPath = ConvertedDocument(job, error)).isEmpty())
        refusal = QStringLiteral("the document did not convert: ") + error;
    if (!refusal.isEmpty()) {
        JobOutcome::ApplyRefusal(job, refusal);
        File(name, job, Outcome::Refused, refusal, pass);
        return;
    }

    FaxServer* server = Server({}, pass);
    if (!server) {
        m_state.Release(name);
        ++pass.deferred;
        return;
    }
    // A job the server refuses is never sent; one it could not take waits for the next pass.
    const auto refusedByServer = [&](const ServerProblem& problem) {
        if (problem.kind != ServerProblem::Kind::Refused)
            return false;
        const QString reason =
            QStringLiteral("the fax server does not take the job: ") + problem.reason;
        JobOutcome::ApplyRefusal(job, reason);
        File(name, job, Outcome::Refused, reason, pass);
        return true;
    };
    const auto jobId = server->Create(submission);
    if (!jobId) {
        if (!refusedByServer(jobId.Error())) {
            ServerFailed(*server, jobId.Error(), pass);
            m_state.Release(name);
            ++pass.deferred;
        }
        return;
    }
    // Taken over meanwhile by a runner that found this one gone (another machine that saw no
    // renewal for long): the job is that runner's now, and the job created here is never
    // submitted (the server drops it with the connection).
    if (!m_state.IsOwn(name))
        return;
    // The job's id is on disk before the job is submitted: a runner stopped in between
    // finds the job again instead of sending it a second time.
    SendingRecord created;
    created.server = server->Address();
    created.jobId = *jobId;
    SendingRecord record = OwnRecord(SendingRecord::Phase::Created, created);
    if (!m_state.Write(name, record, error)) {
        Note(pass, error);
        m_state.Release(name); // the unsubmitted job is dropped by the server
        ++pass.deferred;
        return;
    }
    if (const auto submitted = server->Submit(*jobId); !submitted) {
        // Unless refused, the record says created: the job is followed later.
        if (!refusedByServer(submitted.Error()))
            ServerFailed(*server, submitted.Error(), pass);
        return;
    }
    record.phase = SendingRecord::Phase::Submitted;
    if (!m_state.Write(name, record, error))
        Note(pass, error); // still "created": the next pass finds it submitted
    if (!m_journal->SetOutcome(
            name, QStringLiteral("submitted"),
            QStringLiteral("fax server job %1 at %2").arg(*jobId, server->Name()), error,
            m_rowsFrom) &&
        row) {
        Note(pass, error);
    }
    ++pass.submitted;
}

RunnerPass QueueRunner::Follow() {
    RunnerPass pass;
    BeginPass();
    const qint64 now = m_clock.Now().toSecsSinceEpoch();
    for (const QString& name : m_state.Names()) {
        if (m_stop)
            break;
        const auto record = m_state.Read(name);
        if (!record) {
            // Released meanwhile (filed by another runner), or a claim a kill cut short:
            // taken away once old enough, and the job, if still in Comjob, taken again.
            TakeOverUnreadable(name, now);
            continue;
        }
        const qint64 renewed = m_state.RenewedAt(name);
        const bool own = m_state.IsOwn(name);
        const bool abandoned = !own && Abandoned(*record, renewed, now);
        if (record->phase == SendingRecord::Phase::Claimed) {
            // Never reached the server: given back, to be taken again.
            if (abandoned &&
                m_state.TakeOver(name, *record, renewed, OwnRecord(SendingRecord::Phase::Claimed)))
                m_state.Release(name);
            continue;
        }
        if (record->phase == SendingRecord::Phase::Created && !own) {
            // Another runner at work between creating and submitting its job is left to it;
            // a gone one's job is followed by one runner only, with the record taken over.
            // The taken-over record keeps the time its runner was last seen at work on it.
            SendingRecord ours = OwnRecord(SendingRecord::Phase::Created, *record);
            ours.since = std::min(ours.since, renewed);
            if (!abandoned || !m_state.TakeOver(name, *record, renewed, ours))
                continue;
        }
        const auto current = m_state.Read(name); // ours now, when taken over
        if (!current)
            continue;
        const Holding holding(*m_keeper, name);
        FollowJob(name, *current, pass);
    }
    EndPass();
    return pass;
}

void QueueRunner::FollowJob(const QString& name, const SendingRecord& record, RunnerPass& pass) {
    FaxServer* server = Server(record.server, pass);
    if (!server) {
        ++pass.waiting;
        return;
    }
    const auto status = server->Status(record.jobId);
    if (!status) {
        // A server that answers, but not about this job (a job another runner is still
        // setting up, a damaged job file at the server), is asked again in the next pass.
        if (status.Error().kind == ServerProblem::Kind::Refused)
            Note(pass, name + QStringLiteral(": ") + status.Error().reason);
        else
            ServerFailed(*server, status.Error(), pass);
        ++pass.waiting;
        return;
    }
    using State = FaxJobStatus::State;
    QString error;
    // The server forgets a job that was never submitted as soon as the connection that
    // created it is gone; one it has taken it keeps for a while after it ended.
    const bool lost =
        record.phase == SendingRecord::Phase::Created && status->state == State::Gone &&
        m_clock.Now().toSecsSinceEpoch() - m_state.RenewedAt(name) >= kUnsubmittedGoneSecs;
    if (record.phase == SendingRecord::Phase::Created && !lost) {
        if (status->state == State::Gone) {
            m_state.Release(name); // never submitted: sent from Comjob again
            ++pass.released;
            return;
        }
        // Created and perhaps submitted before the runner stopped: submitting again is
        // refused by the server when it was, and completes the job when it was not.
        if (const auto submitted = server->Submit(record.jobId);
            !submitted && submitted.Error().kind == ServerProblem::Kind::Unreachable) {
            ServerFailed(*server, submitted.Error(), pass);
            ++pass.waiting;
            return;
        }
        SendingRecord submitted = record;
        submitted.phase = SendingRecord::Phase::Submitted;
        if (!m_state.Write(name, submitted, error))
            Note(pass, error);
        ++pass.waiting;
        return;
    }
    if (status->state == State::Pending || status->state == State::Active) {
        ++pass.waiting;
        return;
    }

    PosixFile file;
    QByteArray bytes;
    if (!m_folders->comjob.OpenRegular(file, name) || !ReadJobFileBytes(file, bytes)) {
        // Filed by another runner following the same job, or removed by hand: the journal
        // still gets the outcome.
        const bool sent = status->state == State::Done;
        const QString state = sent                ? QStringLiteral("sent")
                              : status->byRequest ? QStringLiteral("cancelled")
                                                  : QStringLiteral("failed");
        // No row is no failure here: the job file may not have been kalmosend's.
        QString findError;
        if (!m_journal->SetOutcome(name, state, JobOutcome::Describe(*status, record.jobId),
                                   error) &&
            (m_journal->Find(name, findError) || !findError.isEmpty()))
            Note(pass, error);
        m_state.Release(name);
        return;
    }
    struct stat st {};
    ::fstat(file.Descriptor(), &st);
    m_rowsFrom = RowsFrom(st);
    JobFile job = JobFile::Parse(bytes).value_or(JobOutcome::Salvage(bytes));
    JobOutcome::ApplyServerOutcome(job, *status, record.jobId);
    const Outcome outcome = status->state == State::Done ? Outcome::Sent
                            : status->byRequest          ? Outcome::Cancelled
                                                         : Outcome::Failed;
    File(name, job, outcome, JobOutcome::Describe(*status, record.jobId), pass);
}

void QueueRunner::File(const QString& name, const JobFile& job, Outcome outcome,
                       const QString& journalText, RunnerPass& pass) {
    for (JobObserver* observer : m_observers)
        observer->JobEnding(name, job);
    QString problem;
    const JobFiler::Filed filed =
        m_filer->File(name, job, outcome, journalText, problem, m_rowsFrom);
    if (!problem.isEmpty())
        Note(pass, problem);
    if (filed == JobFiler::Filed::No) {
        // A job at the server keeps its record and is filed by the next pass; one never
        // handed over is given back, to be taken again.
        if (const auto record = m_state.Read(name);
            record && record->phase == SendingRecord::Phase::Claimed)
            m_state.Release(name);
        return;
    }
    if (filed == JobFiler::Filed::Here && !m_observers.empty()) {
        const auto record = m_state.Read(name);
        const EndedJob ended{name, job, outcome, record ? record->jobId : QString(), journalText};
        for (JobObserver* observer : m_observers)
            observer->JobFiled(ended);
    }
    m_state.Release(name);
    if (filed == JobFiler::Filed::Elsewhere)
        return; // counted by the runner that filed it
    switch (outcome) {
    case Outcome::Sent:
        ++pass.sent;
        break;
    case Outcome::Failed:
    case Outcome::Cancelled:
        ++pass.failed;
        break;
    case Outcome::Refused:
        ++pass.refused;
        break;
    }
}

void QueueRunner::RefuseMalformed(const QString& name, const QByteArray& bytes,
                                  const QString& reason, RunnerPass& pass) {
    QString problem;
    const bool filed = m_filer->FileMalformed(name, bytes, reason, problem, m_rowsFrom);
    if (!problem.isEmpty())
        Note(pass, problem);
    m_state.Release(name); // filed, or given back to be taken again
    if (filed)
        ++pass.refused;
}

} // namespace faxapp
