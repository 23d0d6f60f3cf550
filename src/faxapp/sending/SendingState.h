#pragma once

// What the queue runner keeps of the jobs it is sending, durably, in a hidden folder of the
// data folder: one small record a job file, made exclusively when the job is taken (so two
// runners, on one machine or on two sharing the data folder, never take one job) and
// replaced whole at each step (the server's job id is on disk before the job is submitted).
// A runner that starts again follows the jobs recorded here to their end.

#include "fax/PosixFile.h"
#include "fax/SpoolFolder.h"

#include <QString>
#include <QStringList>
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

    // Takes jobName with a new record, published whole (never seen empty or half written);
    // false when another runner has it (or on an error, with the reason in error).
    bool Claim(const QString& jobName, const SendingRecord& record, QString& error);
    std::optional<SendingRecord> Read(const QString& jobName) const;
    // Replaces the record durably.
    bool Write(const QString& jobName, const SendingRecord& record, QString& error);
    void Release(const QString& jobName);
    // Takes an abandoned record away, only when it is still the one seen: of two runners that
    // both found it abandoned only one succeeds, and a fresh claim made meanwhile stays.
    bool TakeOver(const QString& jobName, const SendingRecord& seen);
    // Takes a record away that is not a runner's record (a claim cut short by a kill, by an
    // older version that wrote it after creating it), only when it is still unreadable.
    bool TakeOverUnreadable(const QString& jobName);
    // When the record's file last changed (its ctime), seconds since the epoch; -1 when gone.
    qint64 ChangedAt(const QString& jobName) const;
    bool Holds(const QString& jobName) const { return m_folder.Contains(jobName); }
    // The job file names with a record, sorted.
    QStringList Names() const;

    // This process: "host:pid".
    static QString OwnerHere();
    // The same, fit for a file name: the part of this process's temporary file names that
    // keeps them apart from other runners' in a shared data folder.
    static QString OwnerTag();
    // The record's runner is known to have ended: it ran on this host and its process is gone.
    static bool OwnerGone(const SendingRecord& record);

    // Removes what runners of this host that have ended left in the folder: the temporary
    // files whose names carry their tag (a converted document "<tag>-<n>.tif", a record,
    // outcome or claim being written "<job>.new.<tag>", ".out.", ".claim.", a record set
    // aside "<job>.taken.<tag>"). Another host's files, and a live runner's, stay. The
    // number removed.
    int RemoveLeftovers();

private:
    // bytes written and synced under temp, a name of this runner's (what a stopped run of it
    // left there is replaced); false with error, and nothing left, when it could not be.
    bool WriteTemporary(const QString& temp, const QByteArray& bytes, QString& error);
    bool WriteFile(const QString& name, const QByteArray& bytes, QString& error);

    SpoolFolder m_folder;
};

} // namespace faxapp
