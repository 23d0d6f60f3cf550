#include "faxapp/ui/ReceivedActions.h"

#include "faxapp/faxtiff/TiffSff.h"
#include "faxapp/pages/PagesPdf.h"
#include "faxapp/pages/PrintPages.h"
#include "platform/ProcessLauncher.h"
#include "support/FileUtil.h"
#include "ui/FileDialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryFile>
#include <cerrno>

namespace faxapp {

namespace {

// A sender's identification goes into file names and the send dialog's title: at most this
// long, and only characters that mean nothing to a file system or a command line.
constexpr int kMaxIdLength = 40;

QString SafeId(const QString& id) {
    QString safe;
    for (const QChar c : id.left(kMaxIdLength)) {
        safe += c.isLetterOrNumber() || QStringView(u" +-.,()_").contains(c) ? c : QChar(u'_');
    }
    return safe.simplified();
}

// Qt's own dialog, where no file dialogs were handed in.
std::optional<QString> AskSavePath(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& proposal) {
    const QString path = QFileDialog::getSaveFileName(parent, title, proposal, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace

void PrintPagesOn(QPrinter& printer, PrintPages& pages, int from, int to) {
    QPainter painter(&printer);
    for (int index = from; index <= to && painter.isActive(); ++index) {
        const QImage page = pages.Page(index);
        if (page.isNull())
            continue;
        if (index > from)
            printer.newPage();
        const QSizeF mm = PageSizeMm(page);
        const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
        QSizeF size(mm.width() / 25.4 * printer.resolution(),
                    mm.height() / 25.4 * printer.resolution());
        size = size.width() <= area.width() && size.height() <= area.height()
                   ? size
                   : size.scaled(area.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRectF(QPointF(0, 0), size), page);
    }
}

ReceivedActions::ReceivedActions(QWidget* window, std::function<const JournalEntry*()> current,
                                 std::function<JournalStore*()> store,
                                 std::function<void(const QString&)> show,
                                 ReceivedServices services)
    : QObject(window), m_window(window), m_current(std::move(current)), m_store(std::move(store)),
      m_show(std::move(show)), m_services(std::move(services)) {
    const auto add = [this](const QString& text, const char* name, auto slot) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_actions.append(action);
        return action;
    };
    m_showAction = add(tr("Fax &anzeigen"), "actionShowFax", &ReceivedActions::Show);
    m_savePdf = add(tr("Als &PDF speichern …"), "actionSaveFaxPdf", &ReceivedActions::SaveAsPdf);
    m_savePdf->setShortcut(QKeySequence::SaveAs);
    m_print = add(tr("&Drucken …"), "actionPrintFax", &ReceivedActions::Print);
    m_print->setShortcut(QKeySequence::Print);
    m_forward = add(tr("&Weiterleiten …"), "actionForwardFax", &ReceivedActions::Forward);
    m_read = add(tr("Als &gelesen markieren"), "actionMarkRead", &ReceivedActions::ToggleRead);
    m_unread = new QLabel(window);
    m_unread->setObjectName(QStringLiteral("unreadState"));
    m_unread->hide();
    Update();
}

bool ReceivedActions::IsReceived(const JournalEntry& entry) {
    return (entry.received || entry.poll) && !entry.faxFile.isEmpty();
}

int ReceivedActions::UnreadCount(const QList<JournalEntry>& entries) {
    return int(std::count_if(entries.cbegin(), entries.cend(), [](const JournalEntry& entry) {
        return entry.unread && IsReceived(entry);
    }));
}

QString ReceivedActions::UnreadText(int count) {
    return count > 0 ? tr("%n ungelesene Faxe", nullptr, count) : QString();
}

QString ReceivedActions::PdfName(const JournalEntry& entry) {
    const QDateTime at = entry.arrived.isValid() ? entry.arrived : entry.recorded;
    QString name = tr("Fax") + u' ' + at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH-mm"));
    if (const QString id = SafeId(entry.remoteId); !id.isEmpty())
        name += u' ' + id;
    return name.trimmed() + QStringLiteral(".pdf");
}

void ReceivedActions::SetUnreadCount(int count) {
    m_unread->setText(UnreadText(count));
    m_unread->setVisible(count > 0);
}

void ReceivedActions::Update() {
    const JournalEntry* entry = m_current ? m_current() : nullptr;
    const bool received = entry && IsReceived(*entry);
    for (QAction* action : std::as_const(m_actions))
        action->setEnabled(received);
    m_forward->setEnabled(received && m_services.launcher && !m_services.sendProgram.isEmpty());
    m_read->setText(received && !entry->unread ? tr("Als &ungelesen markieren")
                                               : tr("Als &gelesen markieren"));
}

void ReceivedActions::Warn(const QString& text) {
    QMessageBox::warning(m_window, m_window->windowTitle(), text);
}

const JournalEntry* ReceivedActions::Fax() {
    const JournalEntry* entry = m_current ? m_current() : nullptr;
    if (!entry || !IsReceived(*entry))
        return nullptr;
    if (!QFileInfo::exists(entry->faxFile)) {
        QMessageBox::information(m_window, m_window->windowTitle(),
                                 tr("Das Fax ist nicht mehr da:\n%1").arg(entry->faxFile));
        return nullptr;
    }
    return entry;
}

bool ReceivedActions::SetUnread(const JournalEntry& entry, bool unread) {
    JournalStore* store = m_store ? m_store() : nullptr;
    if (!store)
        return false;
    QString error;
    if (!store->SetUnread(entry.id, unread, error)) {
        Warn(tr("Journal: %1").arg(error));
        return false;
    }
    Q_EMIT JournalChanged();
    return true;
}

void ReceivedActions::Show() {
    const JournalEntry* entry = Fax();
    if (!entry)
        return;
    const JournalEntry shown = *entry; // the row may be read again while it is shown
    if (m_show)
        m_show(shown.faxFile);
    if (shown.unread)
        SetUnread(shown, false);
}

void ReceivedActions::ToggleRead() {
    const JournalEntry* entry = m_current ? m_current() : nullptr;
    if (entry && IsReceived(*entry))
        SetUnread(JournalEntry(*entry), !entry->unread);
}

void ReceivedActions::SaveAsPdf() {
    const JournalEntry* entry = Fax();
    if (!entry)
        return;
    const JournalEntry fax = *entry;
    const QString folder =
        m_services.saveFolder.isEmpty() ? QDir::homePath() : m_services.saveFolder;
    const QString proposal = QDir(folder).filePath(PdfName(fax));
    const std::optional<QString> path =
        m_services.fileDialogs
            ? m_services.fileDialogs->GetSaveFileName(m_window, tr("PDF-Dateien (*.pdf)|*.pdf||"),
                                                      QStringLiteral("pdf"), proposal)
            : AskSavePath(m_window, tr("Als PDF speichern"), tr("PDF-Dateien (*.pdf)"), proposal);
    if (!path)
        return;
    PrintPages pages;
    if (!pages.Open(fax.faxFile)) {
        Warn(tr("Das PDF wurde nicht geschrieben: %1").arg(pages.Error()));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<void> written = WritePagesPdf(*path, pages, QFileInfo(*path).completeBaseName());
    QApplication::restoreOverrideCursor();
    if (!written)
        Warn(tr("Das PDF wurde nicht geschrieben: %1").arg(written.Error().Text()));
}

void ReceivedActions::Print() {
    const JournalEntry* entry = Fax();
    if (!entry)
        return;
    // The dialog lets the window read the journal again: the row is kept as it was.
    const JournalEntry fax = *entry;
    PrintPages pages;
    if (!pages.Open(fax.faxFile)) {
        Warn(tr("Das Fax kann nicht gedruckt werden: %1").arg(pages.Error()));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QFileInfo(fax.faxFile).fileName());
    printer.setFromTo(1, pages.PageCount());
    bool chosen = false;
    if (m_services.choosePrinter) {
        chosen = m_services.choosePrinter(printer, m_window);
    } else {
        QPrintDialog dialog(&printer, m_window);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
        chosen = dialog.exec() == QDialog::Accepted;
    }
    if (!chosen)
        return;
    const int from = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    const int to = printer.toPage() > 0 ? std::min(printer.toPage(), pages.PageCount()) - 1
                                        : pages.PageCount() - 1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PrintPagesOn(printer, pages, from, to);
    QApplication::restoreOverrideCursor();
}

// The send dialog takes a fax as SFF: the fax goes to it as a private SFF copy, which the
// dialog owns (/d) and removes once it has sent or been cancelled.
void ReceivedActions::Forward() {
    const JournalEntry* entry = Fax();
    if (!entry || !m_services.launcher || m_services.sendProgram.isEmpty())
        return;
    const JournalEntry fax = *entry;
    QFile tiff(fax.faxFile);
    if (!tiff.open(QIODevice::ReadOnly) || tiff.size() > PrintPages::kMaxFileSize) {
        Warn(tr("Das Fax kann nicht weitergeleitet werden: %1").arg(fax.faxFile));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<QByteArray> sff = TiffToSff(tiff.readAll());
    QApplication::restoreOverrideCursor();
    if (!sff) {
        Warn(tr("Das Fax kann nicht weitergeleitet werden: %1")
                 .arg(Problem{0, fax.faxFile, sff.Error().reason}.Text()));
        return;
    }
    QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("kalmofax-forward-XXXXXX.sff")));
    copy.setAutoRemove(false);
    if (!copy.open() || copy.write(*sff) != sff->size() || !copy.flush()) {
        Warn(tr("Das Fax kann nicht weitergeleitet werden: %1").arg(copy.errorString()));
        copy.remove();
        return;
    }
    copy.close();
    const QString id = SafeId(fax.remoteId);
    ProcessStart start;
    start.program = m_services.sendProgram;
    start.arguments = {QStringLiteral("/d") + copy.fileName(),
                       QStringLiteral("/t") +
                           (id.isEmpty() ? tr("Fax") : tr("Fax von %1").arg(id))};
    if (!m_services.launcher->Start(start)) {
        const QString reason = GetLastErrorText();
        copy.remove();
        Warn(tr("Der Sendedialog kann nicht gestartet werden: %1")
                 .arg(Problem{0, m_services.sendProgram, reason}.Text()));
    }
}

} // namespace faxapp
