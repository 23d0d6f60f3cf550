#pragma once

// A job as a HylaFAX server takes it and tells of it: what is submitted, and the state and
// outcome the server reports. And a fax the server received, as its receive queue lists it.

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

// A fax in the server's receive queue (recvq), as LIST recvq tells of it.
struct HylafaxReceived {
    QString file;   // its name in recvq, checked: "fax00000012.tif"
    QString sender; // the sender's identification (TSI), printable
    int pages = 0;
    QDateTime arrived;      // when the receive began, invalid when not told
    int resolution = 0;     // lines per inch: 98 (normal) or 196 (fine)
    int signalRate = 0;     // bit/s
    QString dataFormat;     // e.g. "2-D MR"
    QString error;          // the receiver's words on trouble during the receive, else empty
    bool receiving = false; // still being received: not to be fetched yet
    QString owner;          // whom the server counts it to
    QString mode;           // the server's protection string, e.g. "-rw----"
    bool readable = true;   // whether the protection lets this login read it
    qint64 size = 0;        // bytes
};

} // namespace faxapp
