#pragma once

// Fetches what the fax server received into Faxrec: each pass lists the server's received
// faxes and takes each new one exactly once, also when several desktops share the data folder
// and its journal. A fax is claimed by its journal row first (state "fetching", the row's
// server file unique), fetched into a temporary file, checked (every page decodes), put on the
// disk, renamed into Faxrec and recorded ("received", or "damaged" with the reason: such a
// file is kept as it came), then told of. A fax that a poll of ours brought goes onto the
// poll's row instead of a row of its own; a poll that ended without one is told so.
//
// A claim whose fetcher is gone (its process ended, or another host has held it too long) is
// taken over by the next pass, which fetches again from the start. The server's copy is
// removed only when the settings say so, and only once the file and its row are durable.

#include "faxapp/sending/FaxServer.h"
#include "support/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Clock;

namespace faxapp {

class JobObserver;
class JournalStore;
struct JournalEntry;

struct ReceivePass {
    int fetched = 0;  // filed as received
    int damaged = 0;  // filed, but a page does not decode
    int polls = 0;    // polls that ended: their result filed, or nothing
    int deferred = 0; // left for a later pass (still coming in, or a poll of ours at work)
    bool unreachable = false;
    bool halted = false; // Faxrec took no more (a full disk): the rest waits for the next pass
    QString serverError;
    QStringList problems;
};

class Receiver {
public:
    using ServerMaker = std::function<Result<std::unique_ptr<FaxServer>>()>;

    // Another host's claim not renewed for this long is taken over: a fetch is bounded by the
    // connection's transfer limit (ten times its thirty seconds), well below.
    static constexpr qint64 kStaleClaimSecs = qint64{15} * 60;
    // How far the server's and this machine's clocks may be apart, when a fax is matched to
    // the poll that brought it.
    static constexpr qint64 kClockSlackSecs = qint64{5} * 60;
    // Polls older than this are not matched any more.
    static constexpr qint64 kPollDays = 3;

    struct Options {
        bool deleteAtServer = false;
    };

    Receiver(QString dataDir, ServerMaker server, const Clock& clock, Options options);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // The folder Faxrec and the journal; false with the reason.
    bool Open(QString& error);
    // Fetches what is new at the server and settles the polls that ended.
    ReceivePass Pass();

    // Told of each fax filed (notices); called on the receiver's thread.
    void SetObserver(JobObserver* observer) { m_observer = observer; }

private:
    // Fetches fax for row (claimed by us), files it and records the row.
    void Fetch(FaxServer& server, const ReceivedFax& fax, JournalEntry row, ReceivePass& pass);
    // Fetches fax into the new file temp, checking its pages as they arrive, and puts it on
    // the disk: the check's answer, or nullopt when the fetch failed (the pass says why; a fax
    // the server refuses is let go of).
    std::optional<Result<int>> FetchChecked(FaxServer& server, const ReceivedFax& fax,
                                            const JournalEntry& row, const QString& temp,
                                            ReceivePass& pass);
    // The poll row in state "sent" that fax answers, if any.
    const JournalEntry* PollOf(const ReceivedFax& fax, const QList<JournalEntry>& polls) const;
    // Lets go of a fax the server refused to give.
    void GiveUp(JournalEntry row, const QString& claim);
    bool Abandoned(const JournalEntry& row) const;
    QString OwnClaim() const;
    QString TemporaryPath(const QString& serverFile) const;
    QString FinalPath(const ReceivedFax& fax) const;
    void Tell(const JournalEntry& row, const QString& reason);

    QString m_dataDir;
    QString m_faxrec;
    ServerMaker m_server;
    const Clock& m_clock;
    Options m_options;
    std::unique_ptr<JournalStore> m_journal;
    JobObserver* m_observer = nullptr;
};

} // namespace faxapp
