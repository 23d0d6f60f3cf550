#pragma once

// What the journal window does with a fax that came in (a received fax, a poll's result): show
// it in the viewer (which marks it read), save it as PDF, print it, forward it through the send
// dialog, mark it read or unread; and the count of unread faxes for the status bar.

#include "faxapp/journal/JournalStore.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class FileDialogs;
class ProcessLauncher;
class QAction;
class QLabel;
class QPrinter;
class QWidget;

namespace faxapp {

class PrintPages;

// What the actions do outside the window; each may be left empty.
struct ReceivedServices {
    // Asks where the PDF goes; nullptr: Qt's file dialog.
    FileDialogs* fileDialogs = nullptr;
    // Starts the send dialog (sendProgram) with the fax to forward; nullptr: no forwarding.
    ProcessLauncher* launcher = nullptr;
    QString sendProgram;
    // Sets the printer up with the user; false when cancelled. Empty: Qt's print dialog.
    std::function<bool(QPrinter& printer, QWidget* parent)> choosePrinter;
    // The folder the PDF is proposed in; empty: the home folder.
    QString saveFolder;
};

// Prints the pages from..to (from 0) on the printer, each at its size where it fits, else
// reduced to the printable area.
void PrintPagesOn(QPrinter& printer, PrintPages& pages, int from, int to);

class ReceivedActions final : public QObject {
    Q_OBJECT
public:
    // current: the selected row (nullptr when none); store: the open journal (nullptr when
    // none); show: opens a file in the viewer.
    ReceivedActions(QWidget* window, std::function<const JournalEntry*()> current,
                    std::function<JournalStore*()> store,
                    std::function<void(const QString& path)> show, ReceivedServices services);

    // A row with a fax file that came in.
    static bool IsReceived(const JournalEntry& entry);
    static int UnreadCount(const QList<JournalEntry>& entries);
    // "%n ungelesene Faxe"; empty for none.
    static QString UnreadText(int count);
    // The PDF's proposed file name: arrival time and sender, made safe for a file name.
    static QString PdfName(const JournalEntry& entry);

    QList<QAction*> Actions() const { return m_actions; }
    QLabel* UnreadLabel() const { return m_unread; }
    void SetUnreadCount(int count);
    // Enables the actions for the selected row; the read action's text follows the row.
    void Update();

public Q_SLOTS:
    void Show();
    void SaveAsPdf();
    void Print();
    void Forward();
    void ToggleRead();

Q_SIGNALS:
    // The journal was changed (read or unread): the window reads it again.
    void JournalChanged();

private:
    // The selected received row whose file is there; nullptr (the user told) when not.
    const JournalEntry* Fax();
    bool SetUnread(const JournalEntry& entry, bool unread);
    void Warn(const QString& text);

    QWidget* m_window;
    std::function<const JournalEntry*()> m_current;
    std::function<JournalStore*()> m_store;
    std::function<void(const QString&)> m_show;
    ReceivedServices m_services;
    QAction* m_showAction = nullptr;
    QAction* m_savePdf = nullptr;
    QAction* m_print = nullptr;
    QAction* m_forward = nullptr;
    QAction* m_read = nullptr;
    QList<QAction*> m_actions;
    QLabel* m_unread = nullptr;
};

} // namespace faxapp
