#pragma once

#include "app/PrintFile.h"
#include "fax/PrintFileInfo.h"
#include "job/PrintFileHandOff.h"
#include "support/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class AutomationClient;
class Clock;
class JobSubmitter;
class Messenger;
class ProcessLauncher;
struct FaxJob;

// The numbers of one OK and what goes with each of their jobs.
struct SendRequest {
    QStringList numbers;             // one job each, in this order
    QString remark;                  // for the journal
    bool poll = false;               // fetch a fax from each number; no document goes
    std::optional<QDateTime> sendAt; // a later send time; none: at once
};

// What one OK came to.
struct SendOutcome {
    qsizetype placed = 0;    // jobs the fax application has
    qsizetype notPlaced = 0; // numbers without a job: the jobs stop at the first that fails
    // The checks passed and the document lay where the jobs name it: the jobs were tried.
    bool tried = false;
    // What the user is to be told: 628 with the number and the reason, 613 with the reason,
    // 630 with the file. None when everything went, or when the journal has said why itself.
    std::optional<Problem> problem;
};

// The print file of a send and one OK's way with it: check → place → one job per number →
// commit or roll back. Widget-free: the dialog collects the numbers and shows the problem.
//
// Values are checked before anything is used up. The program's own print file is copied into
// Faxsend and goes only once a job names the copy; an OK that places no job removes the copy
// again and keeps the print where it was. A file of the user's is referenced where it lies.
class SendOrder {
public:
    // journal and colour-print messages go to messenger; jobs go into the data folder dataDir.
    SendOrder(PrintFile file, QString dataDir, Messenger& messenger, AutomationClient& automation,
              const Clock& clock);

    // Makes the print file ready: a colour print's page bitmaps are assembled (with the page
    // converter of the program folder systemDir), the program's own file is taken over for its
    // hand-off, and the file is examined.
    void Prepare(const QString& systemDir, ProcessLauncher& processes);

    const PrintFile& File() const { return m_file; }
    // What the print file is: format, size, resolution.
    const PrintFileInfo& Examined() const { return m_examined; }

    // The user picked path: it is the program's own only when it is the very file handed over.
    // It is examined at once, for the status line.
    void Pick(const QString& path);
    // Copies the print file to target instead of sending it; the print file stays.
    Result<void> Redirect(const QString& target) const;
    // One job per number of request, the document placed first when it is the program's own.
    SendOutcome Send(const SendRequest& request);
    // Cancel: the program's own files go; nothing of the user's is touched.
    void Cancel();
    // Nobody is there to answer the dialog: the print stays for another try (a colour print's
    // bitmaps, without the files collected from them).
    void Abandon();

private:
    void Examine();
    Result<void> CheckJobValues(const JobSubmitter& submitter, const QStringList& numbers,
                                FaxJob job) const;
    Result<void> CheckPrintFile() const;
    // Submits job to each number in turn and stops at the first that is not placed.
    void SubmitJobs(JobSubmitter& submitter, FaxJob job, const QStringList& numbers,
                    SendOutcome& outcome);

    PrintFile m_file;
    QString m_dataDir;
    Messenger& m_messenger;
    AutomationClient& m_automation;
    const Clock& m_clock;
    PrintFileHandOff m_handOff; // the program's own files and their way into the spool
    PrintFileInfo m_examined;
    QString m_examinedPath; // the file m_examined describes
};
