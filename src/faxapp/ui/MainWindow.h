#pragma once

// The fax application's main window: the journal as a table, newest first, and in the status
// bar the journal's state and the number of jobs waiting in Comjob. It follows the journal
// database (a change of the file or the data folder, and every 30 s), and lives in the tray
// where the desktop has one.

#include "faxapp/notify/Notifier.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <sys/types.h>

class QCloseEvent;
class QFileSystemWatcher;
class QLabel;
class QSystemTrayIcon;
class QTableWidget;
class QTimer;

namespace faxapp {

class JournalStore;

class MainWindow final : public QMainWindow, public TrayMessages {
    Q_OBJECT
    // A second `kalmofax run` asks the running one to show its window (Show on the presence
    // name, path /).
    Q_CLASSINFO("D-Bus Interface", "org.zeb.Kalmofax.MainWindow")
public:
    explicit MainWindow(QString dataDir, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Started minimised: with a tray only the tray icon shows, else a minimised window.
    void ShowInitially(bool minimised);
    bool HasTrayIcon() const { return m_tray != nullptr; }

    // The sending engine's hook: its state for the status bar ("" when it has none to tell).
    void SetEngineState(const QString& text);

    // Notices where the desktop has no notification service: the tray icon's message.
    bool TrayAvailable() const override { return m_tray != nullptr; }
    void ShowTrayMessage(const QString& title, const QString& text, bool warning) override;

public Q_SLOTS:
    // Reads the journal and Comjob again.
    void Refresh();
    void ShowFromTray();
    Q_SCRIPTABLE void Show() { ShowFromTray(); }
    // Shows the window with the newest journal row of the job file selected ("Show" of a
    // notice).
    void ShowJob(const QString& jobFile);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void MakeTray();
    void WatchFiles();
    void WatchJournal();
    void RefreshJournal();
    void RefreshQueue();

    QString m_dataDir;
    QTableWidget* m_table = nullptr;
    QLabel* m_journalState = nullptr;
    QLabel* m_queueState = nullptr;
    QLabel* m_engineState = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_settle = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<JournalStore> m_store;
    ino_t m_storeInode = 0;
};

// The program's icon, drawn: the tray needs one even where no icon theme is installed.
QIcon FaxIcon();

} // namespace faxapp
