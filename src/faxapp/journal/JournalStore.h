#pragma once

// The fax application's journal: one row a job, kept in an SQLite database in the data folder
// ("Journal.sqlite"). kalmosend adds rows through the KalmoJournal.Document class; the sending
// engine adds each job's outcome to its row; `kalmofax journal` and the main window read them.

#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace faxapp {

struct JournalEntry {
    qint64 id = 0;
    QDateTime recorded;    // local time the row was added
    bool poll = false;     // a poll job (DISPID 2), else a send job (DISPID 1)
    bool received = false; // a fax that came in: neither a send nor a poll job
    QString document;      // send jobs: the fax document's path
    QString jobFile;       // the job file's name in Comjob
    QString number;
    int resolution = 0; // send jobs
    QString sendTime;   // "IMMED" or the send time text
    QString remark;
    QString state;   // "queued" until the sending engine files an outcome ("sent", "failed", ...)
    QString outcome; // the engine's words on the outcome, empty until then
    int pages = 0;   // pages sent, or received; 0 when not known
    // What came in (a received fax, a poll's result): the file in Faxrec, the sender's
    // identification (TSI; for a sent fax the receiver's CSI), the server's words on its
    // quality, where it lay at the server (so that it is fetched once: "<server> <file>"),
    // when it arrived there, and whether the user has not looked at it yet.
    QString faxFile;
    QString remoteId;
    QString quality;
    QString serverFile;
    QDateTime arrived;
    bool unread = false;
};

// What the sending engine files on a row once its job has ended.
struct JournalOutcome {
    QString state;    // "sent", "failed", "refused", "cancelled"
    QString outcome;  // the engine's words
    int pages = 0;    // pages sent
    QString remoteId; // the receiver's identification, empty when not known
    QString document; // where the document is kept now; empty: the row's stays
};

class JournalStore {
public:
    // The database file of a data folder.
    static QString DatabasePath(const QString& dataDir);

    // Opens (creating when missing) the journal of the data folder. nullptr with the reason in
    // error when it cannot be opened or is not an intact journal.
    static std::unique_ptr<JournalStore> Open(const QString& dataDir, QString& error);
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    // Adds a row and returns only once it is durable; false with the reason in error when it
    // is not (full disk, read-only folder, a lock held too long, a damaged file).
    bool Add(JournalEntry& entry, QString& error);
    // Adds a row for a fax that came in, with the state and fields as given; false with the
    // reason when it is not durable, or when a row of the same serverFile is there already
    // (another program fetched it first).
    bool AddReceived(JournalEntry& entry, QString& error);
    // Newest first; at most limit rows when limit > 0.
    std::optional<QList<JournalEntry>> Entries(QString& error, int limit = 0) const;
    // The newest row of the job file recorded at notBefore or later (names come back once
    // old job files are cleared away), nullopt with error empty when there is none, or with
    // the reason when the journal cannot be read.
    std::optional<JournalEntry> Find(const QString& jobFile, QString& error,
                                     const QDateTime& notBefore = {}) const;
    // Files the sending engine's outcome on that row.
    bool SetOutcome(const QString& jobFile, const QString& state, const QString& outcome,
                    QString& error, const QDateTime& notBefore = {});
    // The same with the pages sent, the receiver and the kept document.
    bool SetOutcome(const QString& jobFile, const JournalOutcome& ended, QString& error,
                    const QDateTime& notBefore = {});
    // Whether any row names document; nullopt with the reason when the journal cannot be read.
    std::optional<bool> Names(const QString& document, QString& error) const;

    // The row of a fax fetched from the server ("<server> <file>"), nullopt with error empty
    // when there is none.
    std::optional<JournalEntry> FindServerFile(const QString& serverFile, QString& error) const;
    // Poll rows in that state recorded at notBefore or later, oldest first.
    std::optional<QList<JournalEntry>> Polls(const QString& state, const QDateTime& notBefore,
                                             QString& error) const;
    // Puts claim in the document of the row, in state "fetching", only when the row is still in
    // that state with the document seen: of two programs that both try, one succeeds. false
    // with error empty when the row has changed.
    bool SwapClaim(qint64 id, const QString& seen, const QString& claim, QString& error);
    // Links a poll row in state pollState to the fax it brought, with a claim as SwapClaim
    // puts it: false with error empty when the row has changed or the fax is another row's.
    bool ClaimForPoll(qint64 id, const QString& pollState, const QString& serverFile,
                      const QString& claim, QString& error);
    // Writes what came in on the row entry.id: its state, outcome, document, pages, fax file,
    // sender, quality, arrival, resolution and unread mark; when onlyInState is given, only
    // while the row is in that state, and when claim is given, only while its document is
    // that claim (false with error empty when it is not).
    bool UpdateReceived(const JournalEntry& entry, QString& error, const QString& onlyInState = {},
                        const QString& claim = {});

    // Marks a row read or unread; true also when there is no such row.
    bool SetUnread(qint64 id, bool unread, QString& error);
    // Removes the row; true also when there was none.
    bool Remove(qint64 id, QString& error);

private:
    struct Impl;
    explicit JournalStore(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace faxapp
