#pragma once

// A client of a HylaFAX server over its client protocol (the one sendfax and faxstat speak):
// log in, store a document, create a job, set its parameters, submit it, and ask for a job's
// state later. One object is one connection; calls block with a time limit.

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace faxapp {

struct HylafaxAccount {
    QString host = QStringLiteral("localhost");
    quint16 port = 4559;
    QString user;     // empty: the login name of the process
    QString password; // sent only when the server asks for one
};

struct HylafaxSubmission {
    QString number;     // as typed; the server's dial rules make the dial string
    QString tag;        // the job's tag (the remark)
    QDateTime sendTime; // invalid or past: at once
    int verticalRes = 196;
    QString tiffPath; // the document; empty for a poll
    bool poll = false;
};

struct HylafaxJobStatus {
    enum class State { Pending, Active, Done, Failed, Gone };
    State state = State::Gone; // Gone: the server no longer knows the job
    QString status;            // the server's last status text
    int statusCode = 0;
    int pagesSent = 0;
    int totalPages = 0;
    int signalRate = 0;    // bit/s, 0 when unknown
    QString dataFormat;    // e.g. "2-D MR", empty when unknown
    QString remoteId;      // the receiver's identification (CSI)
    QDateTime started;     // the transmission's start, invalid when unknown
    int durationSecs = -1; // -1 when unknown
};

class HylafaxClient {
public:
    // Why a call failed: the server could not be reached or did not let us in (the job may
    // be tried again later), or it refused this job (it never will take it).
    enum class Failure { None, Unreachable, Refused };

    explicit HylafaxClient(HylafaxAccount account, int timeoutMs = 30000);
    ~HylafaxClient();
    HylafaxClient(const HylafaxClient&) = delete;
    HylafaxClient& operator=(const HylafaxClient&) = delete;

    // Connects and logs in; also done by the calls below when not connected yet.
    bool Connect();
    // Stores the document and creates the job with its parameters, not yet submitted: the
    // caller records the job id durably before it calls Submit, so that a crash in between
    // never leaves a job it does not know of.
    std::optional<QString> Create(const HylafaxSubmission& submission);
    bool Submit(const QString& jobId);
    std::optional<HylafaxJobStatus> Status(const QString& jobId);
    void Close();

    Failure LastFailure() const;
    QString LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace faxapp
