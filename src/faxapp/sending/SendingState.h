#pragma once

// What the queue runner keeps of the jobs it is sending, durably, in a hidden folder of the
// data folder: one small record a job file, made exclusively when the job is taken (so two
// runners, on one machine or on two sharing the data folder, never take one job) and
// replaced whole at each step (the server's job id is on disk before the job is submitted).
// A runner that starts again follows the jobs recorded here to their end.
//
// A runner renews the records of the job it works on (their modification time) while it
// converts, uploads and follows it. A record is taken over only from a runner that is gone:
// on this host, its process has ended (its id and start time, and the host's boot id, tell);
// on another, the record has not been renewed for several of its periods.

#include "fax/PosixFile.h"
#include "fax/SpoolFolder.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace faxapp {

struct SendingRecord {
    enum class Phase { Claimed, Created, Submitted };
    Phase phase = Phase::Claimed;
    QString owner;    // "host:pid" of the runner that took the job
    qint64 since = 0; // when it was taken, seconds since the epoch
    QString server;   // the fax server's address (ServerAddress), once the job is created
                      // there; records of older runners say "host:port"
    QString jobId;    // the server's job id, once created
    // How often the runner renews the record, in seconds; 0 in records of runners that do not
    // renew theirs.
    qint64 renews = 0;
    QString boot;     // the boot id of the runner's host, empty when unknown
    qint64 start = 0; // when the runner's process started (clock ticks after boot), 0: unknown

    QByteArray Bytes() const;
    static std::optional<SendingRecord> Parse(const QByteArray& bytes);
};

class SendingState {
public:
    static const QString kFolderName; // ".sending"

    // Opens (making it, mode 0700) the folder in the data folder; a link in its place is
    // refused.
    bool Open(const QString& dataDir, QString& error);
    const SpoolFolder& Folder() const { return m_folder; }

    // Takes jobName with a new record, published whole (never seen empty or half written), its
    // renewal time record.since; false when another runner has it (or on an error, with the
    // reason in error).
    bool Claim(const QString& jobName, const SendingRecord& record, QString& error);
    std::optional<SendingRecord> Read(const QString& jobName) const;
    // Replaces the record durably, its renewal time record.since.
    bool Write(const QString& jobName, const SendingRecord& record, QString& error);
    void Release(const QString& jobName);
    // Sets the renewal time of this process's record of jobName; false when the record is not
    // this process's (any more).
    bool Renew(const QString& jobName, qint64 now) const;
    // Whether the record of jobName is this process's.
    bool IsOwn(const QString& jobName) const;
    // Puts ours in the place of an abandoned record, in one step (the name is never empty),
    // only when it is still the one seen and not renewed since seenRenewed; else the record
    // stays (or goes back) as it is. Of two runners that both found it abandoned only one
    // succeeds, and a fresh claim made meanwhile stays.
    bool TakeOver(const QString& jobName, const SendingRecord& seen, qint64 seenRenewed,
                  const SendingRecord& ours);
    // The same for a record that is not a runner's record (a claim cut short by a kill, by an
    // older version that wrote it after creating it), only when it is still unreadable.
    bool TakeOverUnreadable(const QString& jobName, const SendingRecord& ours);
    // When the record's file last changed (its ctime), seconds since the epoch; -1 when gone.
    qint64 ChangedAt(const QString& jobName) const;
    // When the record was last renewed (its mtime), seconds since the epoch; -1 when gone.
    qint64 RenewedAt(const QString& jobName) const;
    bool Holds(const QString& jobName) const { return m_folder.Contains(jobName); }
    // The job file names with a record, sorted.
    QStringList Names() const;

    // This process: "host:pid".
    static QString OwnerHere();
    // The same, fit for a file name: the part of this process's temporary file names that
    // keeps them apart from other runners' in a shared data folder.
    static QString OwnerTag();
    // A record of this process's: its owner, boot and start set.
    static void Identify(SendingRecord& record);
    // The record's runner is known to have ended: it ran on this host and its process is gone
    // (or is another process under the same id, or the host has started again since).
    static bool OwnerGone(const SendingRecord& record);
    // The record's runner runs on this host.
    static bool OwnerOnThisHost(const SendingRecord& record);

    // Called at the steps of a take-over ("take-over" before the record is touched, "taken"
    // once ours stands in its place, before it is checked): for tests that make races happen.
    std::function<void(const char* step)> testHook;
    // Takes over under the folder's lock, as on a file system that cannot exchange two names.
    bool testNoExchange = false;

    // Removes what runners of this host that have ended left in the folder: the temporary
    // files whose names carry their tag (a converted document "<tag>-<n>.tif", a record,
    // outcome or claim being written "<job>.new.<tag>", ".out.", ".claim.", a record set
    // aside "<job>.taken.<tag>"). Another host's files, and a live runner's, stay. The
    // number removed.
    int RemoveLeftovers();

private:
    // bytes written and synced under temp, a name of this runner's (what a stopped run of it
    // left there is replaced); false with error, and nothing left, when it could not be.
    bool WriteTemporary(const QString& temp, const QByteArray& bytes, qint64 renewed,
                        QString& error);
    // bytes, renewed at the time renewed, in the place of name.
    bool WriteFile(const QString& name, const QByteArray& bytes, qint64 renewed, QString& error);
    std::optional<QByteArray> ReadBytes(const QString& name) const;
    // ours in the place of jobName, when check(name in the folder) accepts what was there.
    bool Exchange(const QString& jobName, const SendingRecord& ours,
                  const std::function<bool(const QString&)>& check);
    // Where the folder cannot exchange two names: the same under the folder's take-over lock.
    bool ReplaceLocked(const QString& jobName, const QString& temp,
                       const std::function<bool(const QString&)>& check);
    // What a take-over took that was not abandoned goes back in front (or what its runner
    // wrote meanwhile, when that is newer); what is left over is removed.
    void PutBack(const QString& jobName, const QString& temp, const QByteArray& ours,
                 QByteArray holding);
    void Step(const char* step) const {
        if (testHook)
            testHook(step);
    }

    SpoolFolder m_folder;
};

} // namespace faxapp
