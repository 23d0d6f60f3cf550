#pragma once

#include "fax/JobNameIndex.h"
#include "fax/SpoolFolder.h"
#include "support/Result.h"

#include <QByteArray>
#include <QString>

class AutomationClient;
class PosixFile;
class Clock;
class Messenger;
class PrintFileInfo;
struct FaxJob;

// Hands one job after another of an OK to the fax application: a job file per recipient in
// Comjob and its journal entry. Make one per OK: the spool is listed once for the names of
// the day, not once per job or per counter value.
//
// A job file is written to a temporary file in the data folder through the descriptor that
// created it exclusively, flushed to disk, and then renamed into Comjob under the chosen name
// only while that name is still free, else under the next free one; so the fax application
// never reads a half-written job, two instances never overwrite each other's job, and a link
// swapped in on the way is neither written through nor published. The folders are held open
// by their descriptors for the whole OK.
class JobSubmitter {
public:
    // printFile is the dialog's description of the print file, read when a job is written.
    JobSubmitter(QString dataDir, const PrintFileInfo& printFile, Messenger& messenger,
                 AutomationClient& automation, const Clock& clock);

    // 0 = the job file is written and journalled; 1 = the journal entry failed and the job
    // file has been removed again (the journal showed why when it could not be reached);
    // 2 = the job file was not written (FailureReason tells why; no message shown). Sets
    // job.jobFileName, and job.resolution for a send job.
    int SubmitJob(FaxJob& job);
    // Writes and publishes the job file: job.jobFileName is the name to try first and, on
    // return 0, the name the file got. 1 when it was not written (FailureReason tells why).
    int WriteJobFile(FaxJob& job);
    // Can job be written as a job file? The same check WriteJobFile makes, with nothing
    // written: a problem naming the value that cannot be.
    Result<void> CheckJob(FaxJob job) const;

    // Why the last SubmitJob or WriteJobFile did not write its job: the system's text for
    // the cause; empty after success.
    const QString& FailureReason() const { return m_failureReason; }
    // The cause as an errno value (EINVAL: a value with a control character, EEXIST: all
    // names of the day taken); 0 after success.
    int FailureError() const { return m_failureError; }
    // The journal's answer to the last SubmitJob that reached it: 0 recorded, 1 not reached
    // or failed during the call (reported), 2 refused (not reported).
    int JournalResult() const { return m_journalResult; }

private:
    void Fail(int error);
    // The job file's bytes for job, with the format and resolution of the print file; sets
    // job.resolution for a send job.
    Result<QByteArray> JobFileBytes(FaxJob& job) const;
    bool OpenSpool();
    // Renames the temporary file tmpName in Comjob (open as file) to job.jobFileName or the
    // next free name, within Comjob: Comjob may lie on another file system.
    bool Publish(const QString& tmpName, const PosixFile& file, FaxJob& job);
    // A temporary job file in Comjob, under a name the fax application takes for no job.
    bool CreateTempJobFile(PosixFile& file, QString& name);
    // Temporary job files in folder left by processes of ours that no longer run (and older
    // than ten minutes, for processes of other machines sharing the folder).
    static void RemoveStaleTempFiles(const SpoolFolder& folder);

    QString m_dataDir;
    const PrintFileInfo& m_printFile;
    Messenger& m_messenger;
    AutomationClient& m_automation;
    const Clock& m_clock;
    JobNameIndex m_names;
    SpoolFolder m_data;
    SpoolFolder m_comjob;
    SpoolFolder m_comerr;
    SpoolFolder m_comack;
    QString m_failureReason;
    int m_failureError = 0;
    int m_journalResult = 0;
};
