#pragma once

// The fax application's sending engine: takes the job files in Comjob, turns each document
// into the fax server's TIFF, hands the job to the fax server, follows it to its end, and
// files the outcome: the job file with its outcome fields in Comack (sent) or Comerr (not
// sent), the journal row, the document removed from Faxsend once no job names it. A job that
// is not a job file, or whose document does not convert, goes to Comerr with the reason and
// is never sent. A server that cannot be reached leaves the jobs in Comjob.
//
// One pass at a time, blocking; QueueService runs passes on a thread of its own.

#include "fax/JobFile.h"
#include "faxapp/sending/FaxServer.h"
#include "faxapp/sending/JobFiler.h"
#include "faxapp/sending/JobObserver.h"
#include "faxapp/sending/SendingState.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <atomic>
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
    // A job taken by a runner on another machine that has not got as far as the server in
    // this time is taken over.
    static constexpr qint64 kStaleClaimSecs = qint64{10} * 60;
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

private:
    struct Folders;
    using Outcome = JobFiler::Outcome;

    void BeginPass();
    void EndPass();
    // The server, or nullptr when it could not be reached in this pass (pass tells why).
    FaxServer* Server(const QString& record, RunnerPass& pass);
    void ServerFailed(FaxServer& server, const ServerProblem& problem, RunnerPass& pass);
    void TakeJob(const QString& name, RunnerPass& pass);
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
    // An unreadable record old enough is taken away: true when the job is free again.
    bool TakeOverUnreadable(const QString& name, qint64 now);

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
    std::vector<JobObserver*> m_observers;
    // Journal rows of the job at hand are recorded from then on: a little before its job
    // file was written (an older row of the same name is another job's).
    QDateTime m_rowsFrom;
};

} // namespace faxapp
