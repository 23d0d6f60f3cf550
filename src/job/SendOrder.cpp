#include "job/SendOrder.h"

#include "fax/FaxJob.h"
#include "fax/FileCopy.h"
#include "fax/OemFile.h"
#include "fax/PrintFileFormat.h"
#include "fax/SpoolNames.h"
#include "job/ColourPrint.h"
#include "job/JobSubmitter.h"
#include "support/FileUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <cerrno>
#include <utility>

namespace {

// What a fax modem can dial: digits, blanks, "+ - / ( )" for the reader, and the dial
// characters "* # ," (keys and a pause); at least one digit.
bool IsDialable(const QString& number) {
    bool digit = false;
    for (const QChar c : number) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (!QStringView(u" +-/()*#,").contains(c))
            return false;
    }
    return digit;
}

} // namespace

SendOrder::SendOrder(PrintFile file, QString dataDir, Messenger& messenger,
                     AutomationClient& automation, const Clock& clock)
    : m_file(std::move(file)), m_dataDir(std::move(dataDir)), m_messenger(messenger),
      m_automation(automation), m_clock(clock) {}

void SendOrder::Prepare(const QString& systemDir, ProcessLauncher& processes) {
    if (m_file.colour) {
        // The bitmaps are the print until a job names the pages collected from them. Only
        // what the assembly produced is the program's: a stem without pages names nothing.
        const QString stem = m_file.path;
        QStringList bitmaps;
        AssemblePageBitmaps(m_file.path, m_dataDir, systemDir, processes, m_messenger, &bitmaps);
        if (m_file.path == stem)
            m_file.own = false;
        else if (m_file.own)
            m_handOff.Adopt(m_file.path, true, bitmaps);
    } else if (m_file.own) {
        m_handOff.Adopt(m_file.path, false);
    } else if (!m_file.ownFile.isEmpty()) {
        // A file named after the printer's own print file is sent; the print file is still
        // the program's.
        m_handOff.Adopt(m_file.ownFile, false);
    }
    Examine();
}

void SendOrder::Abandon() {
    m_handOff.Abandon();
}

void SendOrder::Examine() {
    m_examined.Examine(m_file.path);
    m_examinedPath = m_file.path;
}

void SendOrder::Pick(const QString& path) {
    m_file.path = path;
    m_file.own = m_handOff.IsOwn(path);
    Examine();
}

Result<void> SendOrder::Redirect(const QString& target) const {
    if (CopyFileData(target, m_file.path, false) != kCopyDone)
        return Problem{IDS_ERR_COPY_PRINTFILE, {}, GetLastErrorText()};
    return Success();
}

void SendOrder::Cancel() {
    m_handOff.Discard();
}

Result<void> SendOrder::CheckJobValues(const JobSubmitter& submitter, const QStringList& numbers,
                                       FaxJob job) const {
    // The document's path in the job is the spool copy's for a print file of ours (and for a
    // file whose path the job cannot hold), so the data folder's path must be writable too.
    job.document = m_file.own || !COemFile::HoldsAll(m_file.path) ? m_dataDir : m_file.path;
    for (const QString& number : numbers) {
        job.number = number;
        if (!submitter.CheckJob(job).Ok())
            return Problem{IDS_ERR_JOB_NOT_WRITTEN, number, GetErrorText(EINVAL)};
        if (!IsDialable(number))
            return Problem{IDS_ERR_JOB_NOT_WRITTEN, number, LoadString(IDS_NOT_DIALABLE)};
    }
    return Success();
}

Result<void> SendOrder::CheckPrintFile() const {
    switch (::CheckPrintFile(m_file.path)) {
    case PrintFileProblem::CannotOpen:
        return Problem{IDS_ERR_COPY_PRINTFILE, {}, GetLastErrorText()};
    case PrintFileProblem::UnreadableFax:
        return Problem{IDS_ERR_NOT_FAX_DOCUMENT, m_file.path, {}};
    case PrintFileProblem::None:
        break;
    }
    return Success();
}

SendOutcome SendOrder::Send(const SendRequest& request) {
    SendOutcome outcome;
    FaxJob job;
    job.remark = request.remark;
    job.poll = request.poll;
    if (request.sendAt)
        job.sendTime = FormatSendTime(*request.sendAt);
    JobSubmitter submitter(m_dataDir, m_examined, m_messenger, m_automation, m_clock);

    // Everything that can be checked is checked before the print is used up.
    if (Result<void> checked = CheckJobValues(submitter, request.numbers, job); !checked) {
        outcome.problem = checked.Error();
        return outcome;
    }
    if (!request.poll) {
        // A file picked after the print was examined goes as what it is.
        if (m_file.path != m_examinedPath)
            Examine();
        if (Result<void> checked = CheckPrintFile(); !checked) {
            outcome.problem = checked.Error();
            return outcome;
        }
    }

    // The program's own print file is copied into the spool; it goes only once a job names
    // the copy. A file of the user's is referenced where it lies, unless the job cannot name
    // it there: then a copy in the spool goes, and the user's file stays.
    const bool own = !request.poll && m_file.own;
    const bool copy = !request.poll && !own && !COemFile::HoldsAll(m_file.path);
    if ((own && !m_handOff.Place(m_dataDir)) ||
        (copy && !m_handOff.PlaceCopyOf(m_dataDir, m_file.path))) {
        outcome.problem = Problem{IDS_ERR_COPY_PRINTFILE, {}, GetLastErrorText()};
        return outcome;
    }
    // A poll names no document: the program's own print file is not needed then.
    if (!request.poll)
        job.document = own || copy ? m_handOff.PlacedPath() : m_file.path;
    outcome.tried = true;

    SubmitJobs(submitter, job, request.numbers, outcome);
    outcome.notPlaced = request.numbers.size() - outcome.placed;
    if (outcome.placed == 0) {
        // Nothing names the copy: it goes, and the print stays where it was.
        if (own || copy)
            m_handOff.Rollback();
        return outcome;
    }
    if (own) {
        m_handOff.Commit();
        m_file = PrintFile{job.document, false, m_file.colour};
    } else {
        if (copy)
            m_handOff.Commit();
        // The user picked another file (or a poll needs none): the program's own print file
        // is not needed, unless it is the very file the job names.
        m_handOff.Discard(job.document);
    }
    return outcome;
}

void SendOrder::SubmitJobs(JobSubmitter& submitter, FaxJob job, const QStringList& numbers,
                           SendOutcome& outcome) {
    for (const QString& number : numbers) {
        job.number = number;
        const int result = submitter.SubmitJob(job);
        if (result == 0) {
            ++outcome.placed;
            continue;
        }
        if (result == 2)
            outcome.problem = Problem{IDS_ERR_JOB_NOT_WRITTEN, number, submitter.FailureReason()};
        // A refusal of the journal is silent while other jobs stand; when it leaves the OK
        // without any job, the user must be told why.
        else if (outcome.placed == 0 && submitter.JournalResult() == 2)
            outcome.problem =
                Problem{IDS_ERR_JOB_NOT_WRITTEN, number, LoadString(IDS_JOURNAL_REFUSED)};
        break;
    }
}
