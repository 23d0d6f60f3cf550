#include "JournalPictures.h"

#include "faxapp/journal/JournalStore.h"
#include "faxapp/report/SendReport.h"
#include "faxapp/sending/FaxServer.h"
#include "faxapp/sending/JobOutcome.h"
#include "faxapp/ui/MainWindow.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using faxapp::FaxJobStatus;
using faxapp::JournalEntry;

struct ExampleJob {
    const char* number;
    const char* remark;
    const char* state;
    int pages;
    const char* serverWords; // the server's status text of an ended job
};

// One row of each kind the window shows, oldest first.
constexpr ExampleJob kJobs[] = {
    {"0711 123456", "Angebot 2024-117", "sent", 3, nullptr},
    {"+49 30 9876543", "Rechnung 4711", "failed", 0, "Busy signal detected"},
    {"089 555 0100", "Lieferschein", "cancelled", 0, "Job aborted by request"},
    {"0221 4711", "Bestellung", "submitted", 0, nullptr},
    {"0711 123456", "Rückfrage", "queued", 0, nullptr},
};

bool FillJournal(const QString& dataDir) {
    QString error;
    auto store = faxapp::JournalStore::Open(dataDir, error);
    if (!store)
        return false;
    int n = 0;
    for (const ExampleJob& example : kJobs) {
        JournalEntry entry;
        entry.jobFile = QStringLiteral("1405%1.FX3").arg(++n, 4, 10, QLatin1Char('0'));
        entry.document = dataDir + QStringLiteral("/Documents/doc.SFF");
        entry.number = QString::fromUtf8(example.number);
        entry.remark = QString::fromUtf8(example.remark);
        entry.resolution = 196;
        entry.sendTime = QStringLiteral("IMMED");
        if (!store->Add(entry, error))
            return false;
        const QString state = QString::fromLatin1(example.state);
        if (state == u"queued")
            continue;
        faxapp::JournalOutcome ended;
        ended.state = state;
        ended.pages = example.pages;
        FaxJobStatus status;
        status.state = state == u"sent" ? FaxJobStatus::State::Done : FaxJobStatus::State::Failed;
        status.pagesSent = example.pages;
        status.status = QString::fromLatin1(example.serverWords);
        ended.outcome = state == u"submitted"
                            ? QStringLiteral("fax server job %1 at faxserver:4559").arg(n + 40)
                            : faxapp::JobOutcome::Describe(status, QString::number(n + 40));
        if (state == u"sent")
            ended.remoteId = QStringLiteral("+49 711 123456");
        if (!store->SetOutcome(entry.jobFile, ended, error))
            return false;
    }
    // The document the failed job can be sent again with.
    QDir(dataDir).mkpath(QStringLiteral("Documents"));
    QFile document(dataDir + QStringLiteral("/Documents/doc.SFF"));
    if (!document.open(QIODevice::WriteOnly))
        return false;
    document.close();
    JournalEntry received;
    received.state = QStringLiteral("received");
    received.remoteId = QStringLiteral("+49 40 33445566");
    received.pages = 2;
    received.unread = true;
    received.serverFile = QStringLiteral("hylafax://faxserver:4559 recvq/fax00017.tif");
    return store->AddReceived(received, error);
}

// A page of a letter, as the report shows the first page sent.
QImage ExamplePage() {
    QImage page(1728, 2200, QImage::Format_Grayscale8);
    page.fill(Qt::white);
    QPainter p(&page);
    p.setPen(Qt::black);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 48, QFont::Bold));
    p.drawText(QRect(150, 150, 1400, 120), Qt::AlignLeft, QStringLiteral("Müller GmbH"));
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 26));
    for (int line = 0; line < 24; ++line)
        p.fillRect(150, 500 + line * 60, line % 6 == 5 ? 700 : 1400, 14, Qt::darkGray);
    return page;
}

bool Grab(QWidget& widget, const QString& path) {
    widget.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const bool saved = widget.grab().save(path, "PNG");
    std::printf("%s\n", qPrintable(path));
    widget.hide();
    return saved;
}

} // namespace

bool SaveJournalPictures(const QString& folder, const QString& suffix, const QString& code) {
    const faxapp::WindowLanguage language(code);
    QTemporaryDir data;
    if (!data.isValid() || !FillJournal(data.path()))
        return false;
    faxapp::MainWindowServices services;
    services.readNames = [] {
        return QHash<QString, QString>{
            {QStringLiteral("0711123456"), QStringLiteral("Meier, Hans")},
            {QStringLiteral("+49309876543"), QStringLiteral("Müller GmbH")}};
    };
    // The actions at hand for the selected row, as in the running application.
    services.sendAgain = [](const JournalEntry& entry) -> Result<QString> { return entry.jobFile; };
    services.cancelJob = [](const JournalEntry&) -> Result<void> { return Success(); };
    services.openFile = [](const QString&) { return true; };
    faxapp::MainWindow window(data.path(), services);
    window.resize(1180, 330);
    auto* table = window.findChild<QTableView*>(QStringLiteral("journal"));
    table->selectRow(4); // the failed job: send again is at hand
    bool ok =
        Grab(window, QDir(folder).filePath(QStringLiteral("journal-window-%1.png").arg(suffix)));

    faxapp::ReportFacts facts;
    facts.jobName = QStringLiteral("14050001.FX3");
    facts.sender = QStringLiteral("hmeier");
    facts.number = QStringLiteral("0711 123456");
    facts.name = QStringLiteral("Meier, Hans");
    facts.when = QDateTime(QDate(2024, 5, 14), QTime(18, 31));
    facts.pagesSent = 3;
    facts.documentPages = 3;
    facts.result = QCoreApplication::translate("faxapp::SendReport", "gesendet");
    facts.serverJobId = QStringLiteral("41");
    facts.firstPage = ExamplePage();
    QFile pdf(QDir(folder).filePath(QStringLiteral("send-report-%1.pdf").arg(suffix)));
    ok = pdf.open(QIODevice::WriteOnly) && pdf.write(faxapp::ReportPdf(facts)) > 0 && ok;
    std::printf("%s\n", qPrintable(pdf.fileName()));
    return ok;
}
