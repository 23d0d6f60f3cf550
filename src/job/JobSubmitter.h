#pragma once

#include "job/JobNameIndex.h"

#include <QString>

class AutomationClient;
class Clock;
class Messenger;
class PrintFileInfo;
struct FaxJob;

// Hands one job after another of an OK to the fax application: a job file per recipient in
// Comjob and its journal entry. Make one per OK: the spool is listed once for the names of
// the day, not once per job or per counter value.
//
// A job file is written to a temporary file in the data folder, flushed to disk, and then
// linked into Comjob under the chosen name only while that name is still free, else under
// the next free one; so the fax application never reads a half-written job, and two
// instances never overwrite each other's job.
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

    // Why the last SubmitJob or WriteJobFile did not write its job: the system's text for
    // the cause; empty after success.
    const QString& FailureReason() const { return m_failureReason; }
    // The cause as an errno value (EINVAL: a value with a control character, EEXIST: all
    // names of the day taken); 0 after success.
    int FailureError() const { return m_failureError; }

private:
    void Fail(int error);
    // Moves tmpPath into Comjob as job.jobFileName or the next free name.
    bool Publish(const QString& tmpPath, FaxJob& job);
    QString CreateTempJobFile();

    QString m_dataDir;
    const PrintFileInfo& m_printFile;
    Messenger& m_messenger;
    AutomationClient& m_automation;
    const Clock& m_clock;
    JobNameIndex m_names;
    QString m_failureReason;
    int m_failureError = 0;
};
