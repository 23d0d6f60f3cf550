#pragma once

// The sending engine's observer that keeps a send report of every job it files, in the data
// folder's Reports, and prints it where the user wants reports printed.

#include "faxapp/report/ReportPrinter.h"
#include "faxapp/sending/JobObserver.h"

#include <QHash>
#include <QImage>
#include <QString>

class Clock;
class ProcessLauncher;

namespace faxapp {

class SendReports final : public JobObserver {
public:
    SendReports(ReportSettings settings, QString dataDir, QString contactsDir,
                ProcessLauncher& launcher, const Clock& clock);

    void JobEnding(const QString& name, const JobFile& job) override;
    void JobFiled(const EndedJob& ended) override;
    void PassEnded() override;

private:
    struct FirstPage {
        QImage image;
        int pageCount = 0;
    };

    ReportSettings m_settings;
    QString m_dataDir;
    QString m_contactsDir;
    ProcessLauncher& m_launcher;
    const Clock& m_clock;
    QHash<QString, FirstPage> m_pages; // of the jobs being filed: their documents may go
};

} // namespace faxapp
