#pragma once

// The send report ("Sendebericht") of a finished job: one A4 page as PDF with the sender, the
// recipient's number and name, date and time, the pages, the fax server's result and error in
// words, its job id, and the document's first page reduced onto the page, as a fax machine
// prints its transmission report. Texts are the catalog's (context "SendReport").

#include "faxapp/sending/JobObserver.h"
#include "support/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

namespace faxapp {

struct ReportFacts {
    QString jobName;
    QString sender; // the account the job was sent from
    QString number;
    QString name; // from the own address book, empty when unknown
    QDateTime when;
    int pagesSent = 0;
    int documentPages = 0; // 0 when the document was not at hand
    QString result;        // in words
    QString error;         // in words, empty for a fax sent
    QString serverJobId;   // empty for a job the server never had
    QImage firstPage;      // null when the document was not at hand (or a poll)
};

// <data>/Reports/<job file name>.pdf
QString ReportPath(const QString& dataDir, const QString& jobName);

// The facts of a filed job; when is the transmission's start where the server reported it,
// else ended. The name, sender and first page are the caller's to add.
ReportFacts ReportFactsOf(const EndedJob& ended, const QDateTime& endedAt);

// The document's first page as it was sent (a colour document's black-and-white companion),
// with the page count; a null image when it cannot be read.
QImage SentFirstPage(const QString& document, int& pageCount);

QByteArray ReportPdf(const ReportFacts& facts);
// Writes the report to path (the folder made when missing, the file private to the user).
Result<void> WriteReport(const ReportFacts& facts, const QString& path);

} // namespace faxapp
