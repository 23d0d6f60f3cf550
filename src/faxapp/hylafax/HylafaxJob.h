#pragma once

// A job as a HylaFAX server takes it and tells of it: what is submitted, and the state and
// outcome the server reports.

#include <QDateTime>
#include <QString>

namespace faxapp {

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
    int signalRate = 0;     // bit/s, 0 when unknown
    QString dataFormat;     // e.g. "2-D MR", empty when unknown
    QString remoteId;       // the receiver's identification (CSI)
    QDateTime started;      // the transmission's start, invalid when unknown
    int durationSecs = -1;  // -1 when unknown
    bool byRequest = false; // Failed: killed by a client ("Job aborted by request")
};

} // namespace faxapp
