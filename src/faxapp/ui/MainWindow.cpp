#include "faxapp/ui/MainWindow.h"

#include "fax/FaxContract.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/journal/KeptDocuments.h"
#include "faxapp/report/SendReport.h"
#include "faxapp/sending/JobActions.h"
#include "faxapp/ui/HelpMenu.h"
#include "faxapp/ui/JournalModel.h"
#include "platform/ManualHelp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QtConcurrent/QtConcurrentRun>
#include <sys/stat.h>

namespace faxapp {

namespace {

constexpr int kRefreshMs = 30 * 1000;
// The journal's files are looked at this often: a row changes state within a second.
constexpr int kPollMs = 1000;
// SQLite writes the file in several steps; one read after they settle is enough.
constexpr int kSettleMs = 300;

QByteArray StatSignature(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArrayLiteral("-;");
    return QByteArray::number(qulonglong(st.st_ino)) + ',' +
           QByteArray::number(qlonglong(st.st_size)) + ',' +
           QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qlonglong(st.st_mtim.tv_nsec)) + ';';
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

MainWindow::MainWindow(QString dataDir, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_dataDir(std::move(dataDir)), m_services(std::move(services)) {
    setWindowTitle(QStringLiteral("KALMO!fax"));
    setWindowIcon(FaxIcon());
    resize(960, 480);

    m_model = new JournalModel(this);
    m_filter = new JournalFilter(this);
    m_filter->setSourceModel(m_model);
    m_filter->setSortRole(JournalModel::kSortRole);
    m_table = new QTableView(this);
    m_table->setModel(m_filter);
    m_table->setObjectName(QStringLiteral("journal"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(JournalModel::kTime, Qt::DescendingOrder);
    m_table->setWordWrap(false);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_table->verticalHeader()->hide();
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setStretchLastSection(true);
    header->setObjectName(QStringLiteral("journalHeader"));
    header->resizeSection(JournalModel::kTime, 130);
    header->resizeSection(JournalModel::kName, 160);
    header->resizeSection(JournalModel::kNumber, 130);
    header->resizeSection(JournalModel::kSendTime, 120);
    header->resizeSection(JournalModel::kRemark, 200);
    header->resizeSection(JournalModel::kState, 120);
    header->resizeSection(JournalModel::kPages, 60);
    // The pages beside the state they tell of.
    header->moveSection(header->visualIndex(JournalModel::kPages),
                        header->visualIndex(JournalModel::kJobFile));
    if (m_services.readLayout)
        header->restoreState(m_services.readLayout());
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

    MakeActions();
    AddHelpMenu(*this, manual::kJournal);

    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, &MainWindow::Refresh);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &MainWindow::Refresh);
    m_timer->start(kRefreshMs);
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &MainWindow::CheckChanged);
    m_poll->start(kPollMs);

    if (m_services.readNames)
        m_model->SetNames(m_services.readNames());
    WatchFiles();
    MakeTray();
    Refresh();
}

MainWindow::~MainWindow() {
    if (m_services.writeLayout)
        m_services.writeLayout(m_table->horizontalHeader()->saveState());
}

void MainWindow::MakeActions() {
    QToolBar* bar = addToolBar(tr("Journal"));
    bar->setObjectName(QStringLiteral("journalBar"));
    bar->setMovable(false);

    m_showDocument = new QAction(tr("&Dokument anzeigen"), this);
    m_showDocument->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    m_showDocument->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_showDocument, &QAction::triggered, this, &MainWindow::ShowDocument);
    connect(m_table, &QTableView::activated, this, &MainWindow::ShowDocument);
    m_sendAgain = new QAction(tr("Erneut &senden"), this);
    m_sendAgain->setObjectName(QStringLiteral("sendAgain"));
    m_sendAgain->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_sendAgain->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_sendAgain, &QAction::triggered, this, &MainWindow::SendAgain);
    m_cancel = new QAction(tr("Auftrag a&bbrechen"), this);
    m_cancel->setObjectName(QStringLiteral("cancelJob"));
    m_cancel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    m_cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_cancel, &QAction::triggered, this, &MainWindow::CancelJob);
    m_showReport = new QAction(tr("Sende&bericht anzeigen"), this);
    m_showReport->setObjectName(QStringLiteral("showReport"));
    m_showReport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    m_showReport->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_showReport, &QAction::triggered, this, &MainWindow::ShowReport);
    m_remove = new QAction(tr("Eintrag &entfernen"), this);
    m_remove->setShortcut(QKeySequence::Delete);
    m_remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_remove, &QAction::triggered, this, &MainWindow::RemoveEntry);
    const QList<QAction*> rowActions{m_showDocument, m_sendAgain, m_cancel, m_showReport, m_remove};
    m_table->addActions(rowActions);
    bar->addActions(rowActions);
    m_received = new ReceivedActions(
        this, [this] { return CurrentEntry(); }, [this] { return m_store.get(); },
        m_services.showDocument, m_services.received);
    connect(m_received, &ReceivedActions::JournalChanged, this, &MainWindow::Refresh);
    m_table->addActions(m_received->Actions());
    statusBar()->addPermanentWidget(m_received->UnreadLabel());
    bar->addSeparator();

    m_stateFilter = new QComboBox(bar);
    m_stateFilter->setObjectName(QStringLiteral("stateFilter"));
    m_stateFilter->addItem(tr("Alle Aufträge"));
    m_stateFilter->addItem(tr("Wartend"), int(JournalModel::StateClass::Waiting));
    m_stateFilter->addItem(tr("Gesendet"), int(JournalModel::StateClass::Sent));
    m_stateFilter->addItem(tr("Fehlgeschlagen"), int(JournalModel::StateClass::Failed));
    m_stateFilter->addItem(tr("Empfangen"), int(JournalModel::StateClass::Received));
    connect(m_stateFilter, &QComboBox::currentIndexChanged, this, [this] {
        const QVariant chosen = m_stateFilter->currentData();
        m_filter->SetStateClass(chosen.isValid()
                                    ? std::optional(JournalModel::StateClass(chosen.toInt()))
                                    : std::nullopt);
        UpdateActions();
    });
    bar->addWidget(m_stateFilter);
    m_search = new QLineEdit(bar);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(tr("Suchen (Nummer, Name, Bemerkung)"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(280);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->SetSearch(text);
        UpdateActions();
    });
    bar->addWidget(m_search);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, m_search, qOverload<>(&QWidget::setFocus));
    addAction(find);

    QMenu* fileMenu = menuBar()->addMenu(tr("&Datei"));
    QAction* refresh = fileMenu->addAction(tr("&Aktualisieren"));
    refresh->setShortcut(QKeySequence::Refresh);
    connect(refresh, &QAction::triggered, this, [this] {
        if (m_services.readNames)
            m_model->SetNames(m_services.readNames());
        Refresh();
    });
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction(tr("&Beenden"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &MainWindow::Quit);
    QMenu* jobMenu = menuBar()->addMenu(tr("&Auftrag"));
    jobMenu->addActions(rowActions);
    menuBar()->addMenu(tr("&Fax"))->addActions(m_received->Actions());

    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::UpdateActions);
    UpdateActions();
}

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

QByteArray MainWindow::FilesSignature() const {
    if (m_dataDir.isEmpty())
        return {};
    const QString db = JournalStore::DatabasePath(m_dataDir);
    return StatSignature(db) + StatSignature(db + QStringLiteral("-wal")) +
           StatSignature(m_dataDir + u'/' + fax::kFolderComjob);
}

// A change the watcher missed (a file system that does not tell, a watch limit reached) shows
// within a second all the same.
void MainWindow::CheckChanged() {
    if (FilesSignature() != m_signature && !m_settle->isActive())
        Refresh();
}

void MainWindow::MakeTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(FaxIcon(), this);
    m_tray->setToolTip(windowTitle());
    auto* menu = new QMenu(this);
    menu->addAction(tr("Fenster &anzeigen"), this, &MainWindow::ShowFromTray);
    menu->addSeparator();
    menu->addAction(tr("&Beenden"), this, &MainWindow::Quit);
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
    // The application closing its windows as it quits (after asking in Quit) is not asked
    // again, nor kept in the tray.
    if (!event->spontaneous()) {
        event->accept();
        return;
    }
    // With a tray, closing the window keeps the application (and its presence) running.
    if (m_tray) {
        hide();
        event->ignore();
        return;
    }
    if (!ConfirmQuit()) {
        event->ignore();
        return;
    }
    event->accept();
    qApp->quit();
}

void MainWindow::ShowTrayMessage(const QString& title, const QString& text, bool warning) {
    if (m_tray)
        m_tray->showMessage(title, text,
                            warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

void MainWindow::SetEngineState(const QString& text) {
    m_engineState->setText(text);
    m_engineState->setVisible(!text.isEmpty());
}

void MainWindow::Refresh() {
    m_signature = FilesSignature();
    RefreshJournal();
    RefreshQueue();
}

const JournalEntry* MainWindow::CurrentEntry() const {
    return m_model->EntryOf(m_filter->mapToSource(m_table->currentIndex()));
}

void MainWindow::SelectId(qint64 id) {
    const int row = m_model->RowOf(id);
    if (row < 0)
        return;
    const QModelIndex index = m_filter->mapFromSource(m_model->index(row, 0));
    if (!index.isValid())
        return;
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_table->scrollTo(index);
}

void MainWindow::ShowJob(const QString& jobFile) {
    Refresh();
    m_stateFilter->setCurrentIndex(0);
    m_search->clear();
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const JournalEntry* entry = m_model->EntryOf(m_model->index(row, 0));
        if (entry->jobFile == jobFile) { // newest first: the first is the newest
            SelectId(entry->id);
            break;
        }
    }
    ShowFromTray();
}

namespace {

// A job that ended without going out, and may be sent again.
bool NotSent(const JournalEntry& entry) {
    return !entry.received &&
           (entry.state == u"failed" || entry.state == u"refused" || entry.state == u"cancelled");
}

} // namespace

QString MainWindow::ReportOf(const JournalEntry& entry) const {
    if (m_dataDir.isEmpty() || entry.received || entry.jobFile.isEmpty() ||
        JournalModel::ClassOf(entry.state) == JournalModel::StateClass::Waiting)
        return {};
    const QString path = ReportPath(m_dataDir, entry.jobFile);
    return QFileInfo(path).isFile() ? path : QString();
}

void MainWindow::UpdateActions() {
    const JournalEntry* entry = CurrentEntry();
    m_showDocument->setEnabled(entry && !entry->poll && !entry->document.isEmpty());
    m_sendAgain->setEnabled(entry && m_services.sendAgain && NotSent(*entry) &&
                            (entry->poll || QFileInfo(entry->document).isFile()));
    m_cancel->setEnabled(entry && m_services.cancelJob && entry->state == u"submitted" &&
                         !m_cancelling.contains(entry->jobFile));
    m_showReport->setEnabled(entry && m_services.openFile && !ReportOf(*entry).isEmpty());
    m_remove->setEnabled(entry != nullptr);
    m_received->Update();
}

void MainWindow::SendAgain() {
    const JournalEntry* entry = CurrentEntry();
    if (!entry || !m_sendAgain->isEnabled())
        return;
    const auto sent = m_services.sendAgain(*entry);
    if (!sent) {
        QMessageBox::warning(this, windowTitle(),
                             tr("Der Auftrag %1 ließ sich nicht erneut senden:\n%2")
                                 .arg(entry->jobFile, sent.Error().Text()));
        return;
    }
    Refresh();
    ShowJob(*sent);
}

void MainWindow::SendJobAgain(const QString& jobFile) {
    ShowJob(jobFile);
    const JournalEntry* entry = CurrentEntry();
    if (entry && entry->jobFile == jobFile && m_sendAgain->isEnabled())
        SendAgain();
}

void MainWindow::CancelJob() {
    const JournalEntry* entry = CurrentEntry();
    if (!entry || !m_cancel->isEnabled())
        return;
    const JournalEntry job = *entry;
    if (QMessageBox::question(
            this, windowTitle(),
            tr("Den Auftrag %1 an %2 beim Faxserver abbrechen?").arg(job.jobFile, job.number)) !=
        QMessageBox::Yes)
        return;
    m_cancelling.insert(job.jobFile);
    UpdateActions();
    statusBar()->showMessage(tr("Auftrag %1 wird beim Faxserver abgebrochen …").arg(job.jobFile));
    // The server may take its time to answer, or not answer at all: the window stays usable.
    auto* watcher = new QFutureWatcher<Result<void>>(this);
    connect(watcher, &QFutureWatcher<Result<void>>::finished, this, [this, watcher, job] {
        watcher->deleteLater();
        m_cancelling.remove(job.jobFile);
        const Result<void> done = watcher->result();
        statusBar()->clearMessage();
        if (done) {
            statusBar()->showMessage(tr("Auftrag %1 beim Faxserver abgebrochen").arg(job.jobFile),
                                     10000);
        } else if (done.Error().messageId == kJobNotAtServer) {
            QMessageBox::information(
                this, windowTitle(),
                tr("Der Auftrag %1 ist nicht (mehr) beim Faxserver.").arg(job.jobFile));
        } else {
            QMessageBox::warning(this, windowTitle(),
                                 tr("Der Auftrag %1 ließ sich nicht abbrechen.\n%2: „%3“")
                                     .arg(job.jobFile, done.Error().what, done.Error().reason));
        }
        Refresh();
    });
    watcher->setFuture(
        QtConcurrent::run([cancel = m_services.cancelJob, job] { return cancel(job); }));
}

void MainWindow::ShowReport() {
    const JournalEntry* entry = CurrentEntry();
    if (!entry || !m_showReport->isEnabled())
        return;
    const QString report = ReportOf(*entry);
    if (!m_services.openFile(report))
        QMessageBox::warning(this, windowTitle(),
                             tr("Der Sendebericht lässt sich nicht öffnen:\n%1").arg(report));
}

void MainWindow::ShowDocument() {
    const JournalEntry* entry = CurrentEntry();
    if (entry && ReceivedActions::IsReceived(*entry)) {
        m_received->Show();
        return;
    }
    if (!entry || entry->poll || entry->document.isEmpty())
        return;
    if (!QFileInfo::exists(entry->document)) {
        QMessageBox::information(
            this, windowTitle(),
            tr("Das Dokument dieses Auftrags ist nicht mehr da:\n%1").arg(entry->document));
        return;
    }
    if (m_services.showDocument)
        m_services.showDocument(entry->document);
}

void MainWindow::RemoveEntry() {
    const JournalEntry* entry = CurrentEntry();
    if (!entry || !m_store)
        return;
    if (JournalModel::ClassOf(entry->state) == JournalModel::StateClass::Waiting &&
        QMessageBox::question(this, windowTitle(),
                              tr("Der Auftrag %1 an %2 ist noch nicht gesendet. Nur den "
                                 "Eintrag im Journal entfernen?")
                                  .arg(entry->jobFile, entry->number)) != QMessageBox::Yes)
        return;
    QString error;
    const QString document = entry->document;
    if (!m_store->Remove(entry->id, error)) {
        QMessageBox::warning(this, windowTitle(), tr("Journal: %1").arg(error));
        return;
    }
    // The document kept for sending the job again goes with the last row that names it.
    if (const auto dropped = KeptDocuments::DropUnnamed(m_dataDir, *m_store, document); !dropped)
        statusBar()->showMessage(dropped.Error().Text(), 10000);
    Refresh();
}

bool MainWindow::ConfirmQuit() {
    return m_waiting == 0 ||
           QMessageBox::question(
               this, windowTitle(),
               tr("%n Auftrag wartet noch. Er wird beim nächsten Start von KALMO!fax gesendet. "
                  "Trotzdem beenden?",
                  nullptr, int(m_waiting))) == QMessageBox::Yes;
}

void MainWindow::Quit() {
    if (ConfirmQuit())
        qApp->quit();
}

void MainWindow::RefreshJournal() {
    QString error;
    if (m_dataDir.isEmpty()) {
        m_journalState->setText(tr("Kein Datenordner"));
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
    auto entries = m_store ? m_store->Entries(error) : std::nullopt;
    if (!entries) {
        // The last rows stay: a journal that is busy for a moment should not blank the table.
        m_journalState->setText(tr("Journal: %1").arg(error));
        m_store.reset();
        return;
    }
    // The selection stays on its job, not on its row number.
    const JournalEntry* current = CurrentEntry();
    const qint64 selected = current ? current->id : 0;
    const qsizetype count = entries->size();
    m_received->SetUnreadCount(ReceivedActions::UnreadCount(*entries));
    m_model->SetEntries(std::move(*entries));
    if (selected != 0)
        SelectId(selected);
    UpdateActions();
    m_journalState->setText(
        count == 0 ? tr("Das Journal ist leer: Faxe, die Sie auf den Faxdrucker drucken, "
                        "erscheinen hier.")
                   : tr("Journal: %n Einträge", nullptr, int(count)));
    WatchJournal();
}

void MainWindow::RefreshQueue() {
    if (m_dataDir.isEmpty())
        return;
    const QDir comjob(m_dataDir + u'/' + fax::kFolderComjob);
    m_waiting = comjob.entryList({QStringLiteral("*.FX3")}, QDir::Files | QDir::NoSymLinks).size();
    m_queueState->setText(tr("%n Aufträge warten", nullptr, int(m_waiting)));
    if (m_tray) {
        QStringList tip{windowTitle(), m_received->UnreadLabel()->text(), m_queueState->text()};
        tip.removeAll(QString());
        m_tray->setToolTip(tip.join(QStringLiteral(" – ")));
    }
}

} // namespace faxapp
