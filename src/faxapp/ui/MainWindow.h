#pragma once

// The fax application's main window: the journal as a table, newest first, filtered by state
// and searched by number, name or remark; per row the document can be shown, a job that did
// not go out sent again, one waiting at the fax server cancelled, a finished job's send report
// shown, and the row removed (with the document kept for it, unless another row names it). In the
// status bar the journal's state and the number of jobs waiting in Comjob. It follows the journal
// database (checked every second and when the folders change), and lives in the tray where the
// desktop has one.

#include "faxapp/journal/JournalStore.h"
#include "faxapp/notify/Notifier.h"
#include "faxapp/ui/ReceivedActions.h"
#include "support/Result.h"

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <sys/types.h>

class QAction;
class QCloseEvent;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QSystemTrayIcon;
class QTableView;
class QTimer;

namespace faxapp {

class JournalFilter;
class JournalModel;

// What the window does outside itself; each may be left empty.
struct MainWindowServices {
    // Shows a fax document (the viewer).
    std::function<void(const QString& path)> showDocument;
    // Names by number key (NumberKey) from the address book.
    std::function<QHash<QString, QString>()> readNames;
    // The table's column widths and order, kept between starts.
    std::function<QByteArray()> readLayout;
    std::function<void(const QByteArray&)> writeLayout;
    // Writes a new job of the row's document (or poll) and number, with its row; the new job
    // file's name.
    std::function<Result<QString>(const JournalEntry&)> sendAgain;
    // Asks the fax server to end the row's job. Called off the window's thread: it may wait for
    // the server. A problem with messageId kJobNotAtServer when the job is not there.
    std::function<Result<void>(const JournalEntry&)> cancelJob;
    // Opens a file (the send report's PDF) with the desktop's viewer; false when it cannot.
    std::function<bool(const QString& path)> openFile;
    // Saving, printing and forwarding faxes that came in.
    ReceivedServices received;
};

class MainWindow final : public QMainWindow, public TrayMessages {
    Q_OBJECT
    // A second `kalmofax run` asks the running one to show its window (Show on the presence
    // name, path /).
    Q_CLASSINFO("D-Bus Interface", "org.zeb.Kalmofax.MainWindow")
public:
    explicit MainWindow(QString dataDir, MainWindowServices services = {},
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Started minimised: with a tray only the tray icon shows, else a minimised window.
    void ShowInitially(bool minimised);
    bool HasTrayIcon() const { return m_tray != nullptr; }

    // The sending engine's hook: its state for the status bar ("" when it has none to tell).
    void SetEngineState(const QString& text);
    // Selects the row of the job file's newest entry and shows the window.
    void ShowJob(const QString& jobFile);
    // The same, and sends the job again where it can be (a notice's "send again").
    void SendJobAgain(const QString& jobFile);
    // The entry of the current row, nullptr when none is selected.
    const JournalEntry* CurrentEntry() const;

    // Notices where the desktop has no notification service: the tray icon's message.
    bool TrayAvailable() const override { return m_tray != nullptr; }
    void ShowTrayMessage(const QString& title, const QString& text, bool warning) override;

public Q_SLOTS:
    // Reads the journal and Comjob again.
    void Refresh();
    void ShowFromTray();
    Q_SCRIPTABLE void Show() { ShowFromTray(); }
    void ShowDocument();
    void SendAgain();
    void CancelJob();
    void ShowReport();
    void RemoveEntry();
    // Ends the application, after asking when jobs still wait.
    void Quit();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void MakeActions();
    void MakeTray();
    void WatchFiles();
    void WatchJournal();
    void RefreshJournal();
    void RefreshQueue();
    void CheckChanged();
    void UpdateActions();
    bool ConfirmQuit();
    // The send report of the row's job, empty when there is none.
    QString ReportOf(const JournalEntry& entry) const;
    void SelectId(qint64 id);
    QByteArray FilesSignature() const;

    QString m_dataDir;
    MainWindowServices m_services;
    JournalModel* m_model = nullptr;
    JournalFilter* m_filter = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_stateFilter = nullptr;
    QLineEdit* m_search = nullptr;
    QAction* m_showDocument = nullptr;
    QAction* m_sendAgain = nullptr;
    QAction* m_cancel = nullptr;
    QAction* m_showReport = nullptr;
    QAction* m_remove = nullptr;
    QSet<QString> m_cancelling; // job files whose cancel is on its way to the server
    ReceivedActions* m_received = nullptr;
    QLabel* m_journalState = nullptr;
    QLabel* m_queueState = nullptr;
    QLabel* m_engineState = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_poll = nullptr;
    QTimer* m_settle = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<JournalStore> m_store;
    ino_t m_storeInode = 0;
    QByteArray m_signature;
    qsizetype m_waiting = 0;
};

// The program's icon, drawn: the tray needs one even where no icon theme is installed.
QIcon FaxIcon();

} // namespace faxapp
