#pragma once

// A notice of a job: what the user is told when a fax was sent, failed, was refused or
// cancelled, or has waited for the fax server too long; and when a fax came in, or a poll
// ended. The texts are the catalog's
// (context "JobNotice"), English as the source.

#include "faxapp/sending/JobObserver.h"

#include <QString>

namespace faxapp {

struct Notice {
    enum class Kind {
        Sent,
        Failed,
        Refused,
        Cancelled,
        Waiting,
        Received,     // a fax came in
        Damaged,      // a fax came in whose pages do not all decode; kept as it came
        Polled,       // a poll brought a document
        NothingPolled // a poll ended without one
    };
    Kind kind = Kind::Sent;
    QString job; // the job file's name: the journal row "Show" opens
    QString summary;
    QString body;

    // Anything but a fax sent: what the setting "failures only" still shows.
    bool IsTrouble() const {
        return kind != Kind::Sent && kind != Kind::Received && kind != Kind::Polled;
    }
    // "Send again" is offered for these.
    bool CanResend() const { return kind == Kind::Failed || kind == Kind::Cancelled; }
};

// What a notice says of its job.
struct NoticeFacts {
    Notice::Kind kind = Notice::Kind::Sent;
    QString job;
    QString number;
    QString name;       // from the own address book, empty when it does not know the number
    int pages = 0;      // pages sent
    QString reason;     // in words, for a job not sent
    int waitedMins = 0; // for a waiting job
};

// The facts of a fax that came in (or of a poll's end). name is the sender's (or the polled
// station's), when known.
NoticeFacts FactsOf(const ArrivedFax& fax, const QString& name);

// The facts of a filed job: its kind from the outcome and the server's words, the pages and
// the reason from its job file. name is the recipient's, when known.
NoticeFacts FactsOf(const EndedJob& ended, const QString& name);
Notice MakeNotice(const NoticeFacts& facts);

// The server's words on a job not sent without kalmofax's "fax server job N: " before them.
QString ReasonOf(const QString& error);
// "Name (number)", or the number alone.
QString RecipientText(const QString& name, const QString& number);

} // namespace faxapp
