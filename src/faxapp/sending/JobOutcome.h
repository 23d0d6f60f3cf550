#pragma once

// A job's outcome in its own job file: the fields the fax application fills once the job has
// ended (PAGES, SPEED, RECEIVID, ERROR, STATUS, FAXDATE, FAXSTART, FAXDAUER, MODE), and the
// job file made of what can be read of a file that is not a job file.

#include "fax/JobFile.h"
#include "faxapp/sending/FaxServer.h"

#include <QByteArrayView>
#include <QString>

namespace faxapp {

class JobOutcome {
public:
    // STATUS of a job: sent; ended by the server without success; no longer known to the
    // server (its outcome is lost); never handed to the server.
    static QString StatusSent() { return QStringLiteral("OK"); }
    static QString StatusFailed() { return QStringLiteral("FAILED"); }
    static QString StatusUnknown() { return QStringLiteral("UNKNOWN"); }
    static QString StatusRefused() { return QStringLiteral("REFUSED"); }

    // Fills the outcome fields from the server's word on an ended job; a field the server did
    // not report stays empty. FAXDATE "YY-MM-DD" and FAXSTART "hh:mm:ss" in local time,
    // FAXDAUER "hh:mm:ss", SPEED in bit/s.
    static void ApplyServerOutcome(JobFile& job, const FaxJobStatus& status, const QString& jobId);
    // A job that was not sent for reason.
    static void ApplyRefusal(JobFile& job, const QString& reason);
    // The job file built from what bytes hold of its keyed lines (a file that the strict
    // reader refused), so that the refusal can be filed as a job file with its reason.
    static JobFile Salvage(QByteArrayView bytes);
    // value with control characters as blanks and at most maxChars characters: fit for a
    // job file's line.
    static QString Fit(const QString& value, int maxChars = 1000);
    // The server's words on an ended job, for the journal.
    static QString Describe(const FaxJobStatus& status, const QString& jobId);
};

} // namespace faxapp
