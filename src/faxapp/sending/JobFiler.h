#pragma once

// Files a job that has ended, or that will never be sent: the job file with its outcome into
// Comack (sent) or Comerr (not sent) by an exclusive rename, out of Comjob, the outcome into
// the journal row, and the document out of Faxsend once no job in Comjob names it any more.

#include "fax/JobFile.h"
#include "fax/SpoolFolder.h"

#include <QDateTime>
#include <QHash>
#include <QString>

namespace faxapp {

class JournalStore;

class JobFiler {
public:
    enum class Outcome { Sent, Failed, Refused };

    // The folders and the journal stay the caller's; work is a folder of the data folder's
    // file system for the file being written.
    JobFiler(const SpoolFolder& comjob, const SpoolFolder& comack, const SpoolFolder& comerr,
             const SpoolFolder& faxsend, const SpoolFolder& work, JournalStore& journal);

    // Counts of documents named in Comjob are taken afresh in the next filing.
    void Forget();

    // Files job under name. False with problem when it could not be written: the job stays
    // in Comjob for the next try. A problem may also be set on success (the journal, a
    // document that could not be removed). The journal row is the job file's newest recorded
    // at rowsFrom or later.
    bool File(const QString& name, const JobFile& job, Outcome outcome, const QString& journalText,
              QString& problem, const QDateTime& rowsFrom = {});
    // Files the refusal of a file under a job file's name that is not a job file: what could
    // be read of it as a job file with the reason, the file as it was beside it as
    // "<name>.orig".
    bool FileMalformed(const QString& name, const QByteArray& bytes, const QString& reason,
                       QString& problem, const QDateTime& rowsFrom = {});

private:
    bool Write(const QString& name, const JobFile& job, Outcome outcome, QString& problem);
    void CountDocuments();
    // Comjob's modification time in nanoseconds, -1 when unknown.
    qint64 ComjobChanged() const;
    void RemoveDocumentIfUnused(const QString& document, QString& problem);

    const SpoolFolder& m_comjob;
    const SpoolFolder& m_comack;
    const SpoolFolder& m_comerr;
    const SpoolFolder& m_faxsend;
    const SpoolFolder& m_work;
    JournalStore& m_journal;
    QHash<QString, int> m_documentUse; // Faxsend document → jobs in Comjob naming it
    bool m_documentUseKnown = false;
    qint64 m_comjobChanged = -1; // when the count was taken
};

} // namespace faxapp
