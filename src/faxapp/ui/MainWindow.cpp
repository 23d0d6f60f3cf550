#include "faxapp/ui/MainWindow.h"

#include "fax/FaxContract.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/ui/HelpMenu.h"
#include "platform/ManualHelp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>
#include <sys/stat.h>

namespace faxapp {

namespace {

constexpr int kRefreshMs = 30 * 1000;
// SQLite writes the file in several steps; one read after they settle is enough.
constexpr int kSettleMs = 300;

enum Column { kTime, kKind, kJobFile, kNumber, kSendTime, kRemark, kState, kColumns };

QString StateText(const JournalEntry& entry) {
    if (entry.outcome.isEmpty())
        return entry.state;
    return entry.state + QStringLiteral(": ") + entry.outcome;
}

} // namespace

QIcon FaxIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7.5, 2.5, 17, 22)); // the page
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1.5));
    for (int y = 7; y <= 15; y += 4)
        p.drawLine(QPointF(10, y), QPointF(22, y));
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    p.setBrush(QColor(0x2a, 0x6f, 0xb0));
    p.drawRoundedRect(QRectF(2.5, 17.5, 27, 12), 3, 3); // the machine
    return QIcon(pixmap);
}

MainWindow::MainWindow(QString dataDir, QWidget* parent)
    : QMainWindow(parent), m_dataDir(std::move(dataDir)) {
    setWindowTitle(QStringLiteral("KALMO!fax"));
    setWindowIcon(FaxIcon());
    resize(900, 480);

    m_table = new QTableWidget(0, kColumns, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Zeit"), QStringLiteral("Art"),
                                        QStringLiteral("Auftrag"), QStringLiteral("Nummer"),
                                        QStringLiteral("Sendezeit"), QStringLiteral("Bemerkung"),
                                        QStringLiteral("Status")});
    m_table->setObjectName(QStringLiteral("journal"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    setCentralWidget(m_table);

    m_journalState = new QLabel(this);
    m_queueState = new QLabel(this);
    m_engineState = new QLabel(this);
    m_journalState->setObjectName(QStringLiteral("journalState"));
    m_queueState->setObjectName(QStringLiteral("queueState"));
    m_engineState->setObjectName(QStringLiteral("engineState"));
    statusBar()->addWidget(m_journalState, 1);
    statusBar()->addPermanentWidget(m_engineState);
    statusBar()->addPermanentWidget(m_queueState);

    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&Datei"));
    QAction* refresh = fileMenu->addAction(QStringLiteral("&Aktualisieren"));
    refresh->setShortcut(QKeySequence::Refresh);
    connect(refresh, &QAction::triggered, this, &MainWindow::Refresh);
    QAction* quit = fileMenu->addAction(QStringLiteral("&Beenden"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
    AddHelpMenu(*this, manual::kJournal);

    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, &MainWindow::Refresh);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &MainWindow::Refresh);
    m_timer->start(kRefreshMs);

    WatchFiles();
    MakeTray();
    Refresh();
}

MainWindow::~MainWindow() = default;

void MainWindow::WatchFiles() {
    m_watcher = new QFileSystemWatcher(this);
    const auto changed = [this] {
        WatchJournal(); // the database may have been made or replaced
        m_settle->start();
    };
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    if (m_dataDir.isEmpty())
        return;
    for (const QString& path : {m_dataDir, m_dataDir + u'/' + fax::kFolderComjob}) {
        if (QFileInfo::exists(path))
            m_watcher->addPath(path);
    }
    WatchJournal();
}

void MainWindow::WatchJournal() {
    if (m_dataDir.isEmpty())
        return;
    // In WAL mode a new row changes the -wal file; the database itself only at a checkpoint.
    const QString db = JournalStore::DatabasePath(m_dataDir);
    for (const QString& path : {db, db + QStringLiteral("-wal")}) {
        if (!m_watcher->files().contains(path) && QFileInfo::exists(path))
            m_watcher->addPath(path);
    }
}

void MainWindow::MakeTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(FaxIcon(), this);
    m_tray->setToolTip(windowTitle());
    auto* menu = new QMenu(this);
    menu->addAction(QStringLiteral("Fenster &anzeigen"), this, &MainWindow::ShowFromTray);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Beenden"), qApp, &QCoreApplication::quit);
    m_tray->setContextMenu(menu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    ShowFromTray();
            });
    m_tray->show();
}

void MainWindow::ShowInitially(bool minimised) {
    if (!minimised)
        show();
    else if (!m_tray)
        showMinimized();
}

void MainWindow::ShowFromTray() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // With a tray, closing the window keeps the application (and its presence) running.
    if (m_tray) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    qApp->quit();
}

void MainWindow::SetEngineState(const QString& text) {
    m_engineState->setText(text);
    m_engineState->setVisible(!text.isEmpty());
}

void MainWindow::Refresh() {
    RefreshJournal();
    RefreshQueue();
}

void MainWindow::RefreshJournal() {
    QString error;
    if (m_dataDir.isEmpty()) {
        m_journalState->setText(QStringLiteral("Kein Datenordner"));
        return;
    }
    // The journal stays open: opening and closing it each time would make and remove its
    // -wal file, a change of the watched folder, and so a refresh again. A file put in its
    // place (another inode) is opened anew.
    const QByteArray db = QFile::encodeName(JournalStore::DatabasePath(m_dataDir));
    struct stat st {};
    const ino_t inode = ::stat(db.constData(), &st) == 0 ? st.st_ino : 0;
    if (m_store && inode != m_storeInode)
        m_store.reset();
    if (!m_store) {
        m_store = JournalStore::Open(m_dataDir, error);
        m_storeInode = ::stat(db.constData(), &st) == 0 ? st.st_ino : 0;
    }
    const auto entries = m_store ? m_store->Entries(error) : std::nullopt;
    if (!entries) {
        // The last rows stay: a journal that is busy for a moment should not blank the table.
        m_journalState->setText(QStringLiteral("Journal: ") + error);
        m_store.reset();
        return;
    }
    m_table->setRowCount(int(entries->size()));
    for (int row = 0; row < int(entries->size()); ++row) {
        const JournalEntry& e = entries->at(row);
        const QStringList cells{QLocale().toString(e.recorded, QLocale::ShortFormat),
                                e.poll ? QStringLiteral("Abruf") : QStringLiteral("Senden"),
                                e.jobFile,
                                e.number,
                                e.sendTime,
                                e.remark,
                                StateText(e)};
        for (int column = 0; column < kColumns; ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    m_table->resizeColumnsToContents();
    m_journalState->setText(QStringLiteral("Journal: %1 Einträge").arg(entries->size()));
    WatchJournal();
}

void MainWindow::RefreshQueue() {
    if (m_dataDir.isEmpty())
        return;
    const QDir comjob(m_dataDir + u'/' + fax::kFolderComjob);
    const qsizetype waiting =
        comjob.entryList({QStringLiteral("*.FX3")}, QDir::Files | QDir::NoSymLinks).size();
    m_queueState->setText(waiting == 1 ? QStringLiteral("1 Auftrag wartet")
                                       : QStringLiteral("%1 Aufträge warten").arg(waiting));
    if (m_tray)
        m_tray->setToolTip(windowTitle() + QStringLiteral(" – ") + m_queueState->text());
}

} // namespace faxapp
