#pragma once

// A client of a HylaFAX server over its client protocol (the one sendfax and faxstat speak):
// log in, store a document, create a job, set its parameters, submit it, and ask for a job's
// state later; list, fetch and remove the faxes it received. One object is one connection; calls
// block with a time limit.

#include "faxapp/hylafax/HylafaxJob.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class QIODevice;

namespace faxapp {

struct HylafaxAccount {
    QString host = QStringLiteral("localhost");
    quint16 port = 4559;
    QString user;     // empty: the login name of the process
    QString password; // sent only when the server asks for one
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
    // The faxes in the server's receive queue that this login may see; lines that name no
    // plain file are left out (rejectedLines counts them).
    std::optional<QList<HylafaxReceived>> Received(int* rejectedLines = nullptr);
    // Writes the received fax file (a name Received gave) to sink as it arrives, at most
    // maxBytes, within the connection's transfer limit.
    bool Retrieve(const QString& file, QIODevice& sink, qint64 maxBytes = kMaxReceivedBytes);
    // Removes the received fax from the server's receive queue.
    bool Delete(const QString& file);
    // Kills a job that has not ended (JKILL): the server ends it as failed, "aborted by
    // request". Refused when the server does not know the job or it has ended already.
    bool Kill(const QString& jobId);
    void Close();

    // Far more than a long fine fax (a 20-page one is about 1 MB).
    static constexpr qint64 kMaxReceivedBytes = qint64{512} * 1024 * 1024;

    Failure LastFailure() const;
    QString LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace faxapp
