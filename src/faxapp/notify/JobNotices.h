#pragma once

// The sending engine's observer that tells the user: a notice for each job filed (unless the
// user wants notices of trouble only, or none), and one for each job still in Comjob longer
// than the set minutes after it was due. Which waiting jobs were told of is kept in the data
// folder, so that `kalmofax run --once` started again and again tells each job once.

#include "faxapp/notify/NoticeSettings.h"
#include "faxapp/sending/JobObserver.h"

#include <QSet>
#include <QString>

class Clock;

namespace faxapp {

class Notifier;

class JobNotices final : public JobObserver {
public:
    // The file in the data folder naming the waiting jobs already told of.
    static inline const QString kWaitRecord = QStringLiteral(".waitnotices");

    JobNotices(const NoticeSettings& settings, QString dataDir, QString contactsDir,
               Notifier& notifier, const Clock& clock);

    void JobFiled(const EndedJob& ended) override;
    void PassEnded() override;
    void FaxArrived(const ArrivedFax& fax) override;

private:
    NoticeSettings m_settings;
    QString m_dataDir;
    QString m_contactsDir;
    Notifier& m_notifier;
    const Clock& m_clock;
};

} // namespace faxapp
