#pragma once

// Files a job that has ended, or that will never be sent: the job file with its outcome into
// Comack (sent) or Comerr (not sent) by an exclusive rename, out of Comjob, the outcome into
// the journal row, and the document out of Faxsend once no job file in Comjob names it and it
// has been there for longer than kalmosend needs to write all jobs of one print (the grace: a
// print's later recipients may not be written yet when an earlier one is filed).

#include "fax/JobFile.h"
#include "fax/SpoolFolder.h"

#include <QDateTime>
#include <QHash>
#include <QString>

class Clock;

namespace faxapp {

class JournalStore;

class JobFiler {
public:
    // Cancelled: ended at the server by someone's request; filed like a failed job.
    enum class Outcome { Sent, Failed, Refused, Cancelled };
    // Filed by this filer's own move, found filed already (by another runner following the
    // same job, or by one that stopped before it took the job out of Comjob), or not filed.
    enum class Filed { Here, Elsewhere, No };

    // The folders and the journal stay the caller's; work is a folder of the data folder's
    // file system for the file being written.
    // A document is removed only when its status change (ctime) is graceSecs before the
    // clock's now or longer.
    JobFiler(const SpoolFolder& comjob, const SpoolFolder& comack, const SpoolFolder& comerr,
             const SpoolFolder& faxsend, const SpoolFolder& work, JournalStore& journal,
             const Clock& clock, qint64 graceSecs);

    // From now on the document of each job filed here is kept in the data folder's kept
    // documents (KeptDocuments) and its journal row names it there.
    void KeepDocumentsOf(const QString& dataDir) { m_dataDir = dataDir; }

    // Counts of documents named in Comjob are taken afresh in the next filing.
    void Forget();

    // Files job under name. No with problem when it could not be written: the job stays
    // in Comjob for the next try. A problem may also be set on success (the journal, a
    // document that could not be removed). The journal row is the job file's newest recorded
    // at rowsFrom or later. Only a job filed here decides about its document.
    Filed File(const QString& name, const JobFile& job, Outcome outcome, const QString& journalText,
               QString& problem, const QDateTime& rowsFrom = {});
    // Files the refusal of a file under a job file's name that is not a job file: what could
    // be read of it as a job file with the reason, the file as it was beside it as
    // "<name>.orig".
    bool FileMalformed(const QString& name, const QByteArray& bytes, const QString& reason,
                       QString& problem, const QDateTime& rowsFrom = {});
    // Removes kalmosend's documents in Faxsend ("_FX*.SFF", "_FX*.CFF" with its ".SFF") that
    // no job file in Comjob names and that are older than the grace: those of jobs filed
    // while the document was young, and those left by a runner stopped between filing a job
    // and removing its document.
    void Sweep(QString& problem);

private:
    Filed Write(const QString& name, const JobFile& job, Outcome outcome, QString& problem);
    void CountDocuments();
    // Comjob's modification time in nanoseconds, -1 when unknown.
    qint64 ComjobChanged() const;
    // Removes document unless a job file in Comjob other than jobName names it, or it is
    // young (pastGrace false).
    void RemoveDocumentIfUnused(const QString& jobName, const QString& document, bool pastGrace,
                                QString& problem);
    // The document in Faxsend has been there for the grace.
    bool PastGrace(const QString& fileName) const;
    void RemoveDocument(const QString& fileName, QString& problem);

    const SpoolFolder& m_comjob;
    const SpoolFolder& m_comack;
    const SpoolFolder& m_comerr;
    const SpoolFolder& m_faxsend;
    const SpoolFolder& m_work;
    JournalStore& m_journal;
    const Clock& m_clock;
    qint64 m_graceSecs;
    QString m_dataDir;                    // where documents are kept; empty: they are not
    QHash<QString, QString> m_documentOf; // job file in Comjob → the document it names
    bool m_documentUseKnown = false;
    qint64 m_comjobChanged = -1; // when the count was taken
};

} // namespace faxapp
