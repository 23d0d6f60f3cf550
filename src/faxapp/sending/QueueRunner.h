#pragma once

// The fax application's sending engine: takes the job files in Comjob, turns each document
// into the fax server's TIFF, hands the job to the fax server, follows it to its end, and
// files the outcome: the job file with its outcome fields in Comack (sent) or Comerr (not
// sent), the journal row, the document kept in the data folder for sending it again
// (KeptDocuments) and removed from Faxsend once no job names it. A job that
// is not a job file, or whose document does not convert, goes to Comerr with the reason and
// is never sent. A server that cannot be reached leaves the jobs in Comjob.
//
// One pass at a time, blocking; QueueService runs passes on a thread of its own.

#include "fax/JobFile.h"
#include "faxapp/journal/KeptDocuments.h"
#include "faxapp/sending/FaxServer.h"
#include "faxapp/sending/JobFiler.h"
#include "faxapp/sending/JobObserver.h"
#include "faxapp/sending/SendingState.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Clock;

namespace faxapp {

class JournalStore;
struct JournalEntry;

struct RunnerPass {
    int submitted = 0; // handed to the server in this pass
    int sent = 0;      // filed in Comack
    int failed = 0;    // filed in Comerr: ended without success at the server
    int refused = 0;   // filed in Comerr: never handed to the server
    int waiting = 0;   // at the server, not ended yet
    int deferred = 0;  // left in Comjob: server unreachable, or not yet in the journal
    int released = 0;  // given back: the server never got them (sent again from Comjob)
    bool unreachable = false;
    QString serverError;  // why the server could not be reached
    QStringList problems; // local failures (a folder, the journal), one line each

    // Counts and problems of another step of the same pass added in.
    void Add(const RunnerPass& other) {
        submitted += other.submitted;
        sent += other.sent;
        failed += other.failed;
        refused += other.refused;
        waiting += other.waiting;
        deferred += other.deferred;
        released += other.released;
        unreachable = unreachable || other.unreachable;
        if (serverError.isEmpty())
            serverError = other.serverError;
        problems += other.problems;
    }
};

class QueueRunner {
public:
    // The server a job's record names (FaxServer::Address()), or the configured one for an
    // empty record; a problem when there can be none.
    using ServerFactory = std::function<Result<std::unique_ptr<FaxServer>>(const QString& record)>;

    // A job file is taken once the journal has its row (kalmosend adds the row after the file
    // and takes the file back when the journal refuses it), or once it is this old without one.
    // A document no job file names is removed only once it is this old: kalmosend has written
    // all jobs of its print by then.
    static constexpr qint64 kJournalGraceSecs = 60;
    // A runner renews the records of the job it works on this often. A record another
    // machine's runner has not renewed for kMissedRenewals of its periods is taken over: the
    // periods allow for a busy machine, for clocks a little apart and for a network file
    // system that shows a file's times up to a minute late.
    static constexpr qint64 kRenewSecs = 60;
    static constexpr qint64 kMissedRenewals = 5;
    // A job taken by a runner on another machine that does not renew its records (an older
    // version) and has not got as far as the server in this time is taken over.
    static constexpr qint64 kStaleClaimSecs = qint64{10} * 60;
    // A job whose id was recorded before it was submitted, and that its server no longer
    // knows: when its record was renewed this recently, the job was never submitted (the
    // server drops such a job with the connection that created it) and is sent again. Later,
    // it may have been submitted, sent and then removed from the server's queue of ended
    // jobs (a HylaFAX server keeps ended jobs 15 minutes at least): it is filed as failed,
    // its outcome lost, instead of being sent a second time.
    static constexpr qint64 kUnsubmittedGoneSecs = qint64{10} * 60;
    // A record in .sending that is not a runner's record (a claim a kill cut short) is taken
    // over once it has not changed for this long.
    static constexpr qint64 kUnreadableRecordSecs = 60;

    QueueRunner(QString dataDir, ServerFactory serverFactory, const Clock& clock);
    ~QueueRunner();
    QueueRunner(const QueueRunner&) = delete;
    QueueRunner& operator=(const QueueRunner&) = delete;

    // The spool folders, the runner's records and the journal; false with the reason.
    bool Open(QString& error);

    // Hands the jobs in Comjob to the server.
    RunnerPass SubmitNew();
    // Asks the server about every job it holds for us and files those that have ended.
    RunnerPass Follow();
    // Both: what `kalmofax run --once` does.
    RunnerPass RunOnce();

    // Jobs at the server, not filed yet.
    int InFlight() const;

    // Ends the pass at work after the job at hand; callable from any thread.
    void RequestStop() { m_stop = true; }

    // Told of every job this runner files (notices, reports); called on the runner's thread.
    void AddObserver(JobObserver* observer) { m_observers.push_back(observer); }
    // The days a sent job's kept document stays (KeptDocuments); each pass removes older ones.
    void SetKeepSentDays(int days) { m_keepSentDays = days; }
    // How often the records of the job at hand are renewed (tests shorten it).
    void SetRenewPeriod(std::chrono::milliseconds period);
    // Called at the steps of a take-over (SendingState::testHook); noExchange: take-overs
    // under the lock (SendingState::testNoExchange).
    void SetTakeOverHook(std::function<void(const char*)> hook, bool noExchange = false);

private:
    struct Folders;
    class Keeper;
    class Holding;
    using Outcome = JobFiler::Outcome;

    void BeginPass();
    void EndPass();
    // The server, or nullptr when it could not be reached in this pass (pass tells why).
    FaxServer* Server(const QString& record, RunnerPass& pass);
    void ServerFailed(FaxServer& server, const ServerProblem& problem, RunnerPass& pass);
    // held: the job's record is already ours (taken over).
    void TakeJob(const QString& name, RunnerPass& pass, bool held = false);
    // job as read and checked by TakeJob, with its journal row when it has one.
    void SubmitJob(const QString& name, JobFile job, const std::optional<JournalEntry>& row,
                   RunnerPass& pass);
    void FollowJob(const QString& name, const SendingRecord& record, RunnerPass& pass);
    // Files the job and gives up its record; the record stays when the job could not be filed.
    void File(const QString& name, const JobFile& job, Outcome outcome, const QString& journalText,
              RunnerPass& pass);
    void RefuseMalformed(const QString& name, const QByteArray& bytes, const QString& reason,
                         RunnerPass& pass);
    QString ConvertedDocument(const JobFile& job, QString& error);
    void Note(RunnerPass& pass, const QString& problem) const;
    // An unreadable record old enough is replaced by ours: true when the job is ours now.
    bool TakeOverUnreadable(const QString& name, qint64 now);
    // Whether the record's runner is gone (renewed: when the record was last renewed).
    bool Abandoned(const SendingRecord& record, qint64 renewed, qint64 now) const;
    // A record of this runner's, taken now, at phase with the job id of record.
    SendingRecord OwnRecord(SendingRecord::Phase phase, const SendingRecord& record = {}) const;

    QString m_dataDir;
    ServerFactory m_serverFactory;
    const Clock& m_clock;
    std::unique_ptr<Folders> m_folders;
    SendingState m_state;
    std::unique_ptr<JournalStore> m_journal;
    QHash<QString, std::shared_ptr<FaxServer>> m_servers; // by record, for one pass
    QHash<QString, bool> m_serverDown;                    // by record, in this pass
    int m_convertedCount = 0;
    QHash<QString, QString> m_converted; // document and rows → TIFF, in this pass
    std::unique_ptr<JobFiler> m_filer;
    std::atomic<bool> m_stop = false;
    int m_keepSentDays = KeptDocuments::kDefaultSentDays;
    std::vector<JobObserver*> m_observers;
    std::unique_ptr<Keeper> m_keeper;
    // Journal rows of the job at hand are recorded from then on: a little before its job
    // file was written (an older row of the same name is another job's).
    QDateTime m_rowsFrom;
};

} // namespace faxapp
