#pragma once

// The fax server as the queue runner and the receiver see it: create a job, submit it, ask for
// its state; list, fetch and remove the faxes it received; in terms of no server in particular.
// ServerFactory.h makes the one the settings or a sending record name; the runner's tests put a
// scripted one in its place where they need failures a real server does not produce on demand.

#include "support/Result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class QIODevice;

namespace faxapp {

// The kind of server used when the settings name none, and the kind of the servers that
// sending records made before servers had a kind name.
inline const QString kDefaultServerKind = QStringLiteral("hylafax");

// A job as it is handed to the server.
struct FaxSubmission {
    QString number;     // as typed; the server's dial rules make the dial string
    QString tag;        // the job's tag (the remark)
    QDateTime sendTime; // invalid or past: at once
    int verticalRes = 196;
    QString tiffPath; // the document; empty for a poll
    bool poll = false;
};

// What the server tells of a job.
struct FaxJobStatus {
    enum class State { Pending, Active, Done, Failed, Gone };
    State state = State::Gone; // Gone: the server no longer knows the job
    QString status;            // the server's last status text
    int statusCode = 0;
    int pagesSent = 0;
    int totalPages = 0;
    int signalRate = 0;     // bit/s, 0 when unknown
    QString dataFormat;     // e.g. "2-D MR", empty when unknown
    QString remoteId;       // the receiver's identification (CSI)
    QDateTime started;      // the transmission's start, invalid when unknown
    int durationSecs = -1;  // -1 when unknown
    bool byRequest = false; // Failed: ended because someone cancelled it
};

// A fax the server received, as it lists it.
struct ReceivedFax {
    QString file;   // the server's name of it, plain: fit for a command and a file name
    QString sender; // the sender's identification (TSI), printable; empty when not told
    int pages = 0;
    QDateTime arrived;      // invalid when not told
    int resolution = 0;     // lines per inch, 0 when not told
    QString quality;        // the server's words on trouble during the receive, else empty
    bool receiving = false; // still coming in
    bool readable = true;   // whether this login may fetch it
    QString owner;          // whom the server counts it to, and its protection, as it tells them
    QString protection;
    qint64 size = 0;
};

// Why the server did not do what it was asked, with its words in reason.
struct ServerProblem : Problem {
    // The server could not be reached, did not let us in, or had trouble of its own (the job
    // may be tried again later); or it refused this job (it never will take it).
    enum class Kind { Unreachable, Refused };
    Kind kind = Kind::Unreachable;
};

template <typename T> using ServerResult = Result<T, ServerProblem>;

// Where a server is, as a sending record names it: "kind://host:port". A record made before
// servers had a kind says "host:port": a server of the default kind.
struct ServerAddress {
    QString kind;
    QString host;
    quint16 port = 0;

    QString Text() const;
    // nullopt for a text that names no host and port.
    static std::optional<ServerAddress> Parse(const QString& text);
};

class FaxServer {
public:
    virtual ~FaxServer() = default;
    // "host:port", for people: the window's state line, the journal, messages.
    virtual QString Name() const = 0;
    // The server's address as ServerAddress::Text() gives it, recorded with each job so that
    // its state is asked of the same server.
    virtual QString Address() const = 0;
    // Creates the job with its parameters, not yet submitted: the caller records the job id
    // durably before it calls Submit, so that a crash in between never leaves a job it does
    // not know of.
    virtual ServerResult<QString> Create(const FaxSubmission& submission) = 0;
    virtual ServerResult<void> Submit(const QString& jobId) = 0;
    virtual ServerResult<FaxJobStatus> Status(const QString& jobId) = 0;
    // Ends a job that has not ended yet; the server then reports it failed by request.
    virtual ServerResult<void> Cancel(const QString& jobId) = 0;
    // Reaches the server and logs in, for a connection test; nothing is sent.
    virtual ServerResult<void> Check() = 0;
    // The received faxes this login may read.
    virtual ServerResult<QList<ReceivedFax>> Received() = 0;
    // Writes a received fax (a file Received named) to sink as it arrives.
    virtual ServerResult<void> Fetch(const QString& file, QIODevice& sink) = 0;
    // Removes a received fax at the server.
    virtual ServerResult<void> Delete(const QString& file) = 0;
};

} // namespace faxapp
