#include "job/Journal.h"

#include "fax/FaxContract.h"
#include "fax/FaxJob.h"
#include "platform/Automation.h"
#include "support/Messenger.h"
#include "support/StringIds.h"

namespace {

constexpr qsizetype kMaxErrorText = 255;

void ShowConnectFailure(Messenger& messenger, qint32 status, const QString& text) {
    MessageWarning2(messenger, IDS_ERR_JOURNAL_CONNECT, FormatStatusCode(status),
                    text.left(kMaxErrorText));
}

} // namespace

int WriteJournalEntry(const FaxJob& job, AutomationClient& automation, Messenger& messenger) {
    DispatchDriver journalObject;
    CreateFailure failure;
    if (!journalObject.CreateDispatch(automation, fax::kProgIdJournal, &failure)) {
        ShowConnectFailure(messenger, failure.scode, failure.text);
        return 1;
    }
    int result = 0;
    try {
        AutoVariant answer;
        if (job.poll) {
            answer = journalObject.InvokeHelper(
                journal::kDispRecordPoll, InvokeKind::Method, VT_I2,
                {AutoVariant::BStr(job.jobFileName), AutoVariant::BStr(job.number),
                 AutoVariant::BStr(job.sendTime), AutoVariant::BStr(job.remark)});
        } else {
            // The journal takes the resolution as a 16-bit value: its low 16 bits.
            const auto resolution =
                static_cast<qint16>(static_cast<quint16>(job.resolution & 0xFFFF));
            answer = journalObject.InvokeHelper(
                journal::kDispRecordSend, InvokeKind::Method, VT_I2,
                {AutoVariant::BStr(job.document), AutoVariant::BStr(job.jobFileName),
                 AutoVariant::BStr(job.number), AutoVariant::I2(resolution),
                 AutoVariant::BStr(job.sendTime), AutoVariant::BStr(job.remark),
                 AutoVariant::I2(1)});
        }
        if (answer.ToI2() != 0)
            result = 2;
    } catch (const AutomationError& error) {
        // A journal that fails during the call has not recorded the job: the caller takes
        // the job back as for a refusal, and the user learns why.
        ShowConnectFailure(messenger, error.scode, error.text);
        result = 1;
    }
    journalObject.ReleaseDispatch();
    return result;
}
