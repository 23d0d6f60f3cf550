// The journal window's actions on its rows, pressed as a user presses them, against a private
// HylaFAX server with the sending engine at work on the same data folder: a failed job sent
// again reaches the server with the kept document; a job waiting at the server is cancelled
// there and filed as cancelled; kept documents go with their last row, and a sent job's after
// the days set.

#include "FixedClock.h"
#include "PrivateHylafax.h"
#include "fax/FaxContract.h"
#include "fax/JobFileWriter.h"
#include "fax/SffWriter.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/journal/KeptDocuments.h"
#include "faxapp/sending/JobActions.h"
#include "faxapp/sending/QueueRunner.h"
#include "faxapp/sending/ServerFactory.h"
#include "faxapp/ui/JournalModel.h"
#include "faxapp/ui/MainWindow.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using faxapp::JournalEntry;
using faxapp::JournalModel;
using faxapp::JournalStore;
using faxapp::MainWindow;
namespace KeptDocuments = faxapp::KeptDocuments;

namespace {

// Presses Yes in the next question the window asks.
void AnswerYes() {
    auto* timer = new QTimer(qApp);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->button(QMessageBox::Yes)->click();
            timer->deleteLater();
        }
    });
    timer->start();
}

int ModeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

class TestJournalActions : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_data;
    PrivateHylafax m_server;
    faxapp::ServerAccount m_account;
    int m_case = 0;
    std::unique_ptr<faxapp::WindowLanguage> m_language;

    QString Path(const QString& folder, const QString& name = {}) const {
        return m_data + u'/' + folder + (name.isEmpty() ? QString() : u'/' + name);
    }

    // A document of pages pages in Faxsend and its job to number, with its row, as kalmosend
    // leaves them.
    void AddJob(const QString& name, const QString& number, const QString& sendTime = "IMMED") {
        SffWriter sff;
        QByteArray row(SffWriter::kStandardWidth / 8, '\0');
        sff.BeginPage(196);
        for (int r = 0; r < 200; ++r) {
            row.fill('\0');
            row[r % row.size()] = '\xff';
            sff.AddBitRow(reinterpret_cast<const unsigned char*>(row.constData()),
                          SffWriter::kStandardWidth);
        }
        sff.AddBlankRows(1900);
        const QString document = Path(fax::kFolderFaxsend, "_FX" + name.left(8) + ".SFF");
        QFile doc(document);
        QVERIFY(doc.open(QIODevice::WriteOnly));
        doc.write(sff.Finish());
        doc.close();
        QFile job(Path(fax::kFolderComjob, name));
        QVERIFY(job.open(QIODevice::WriteOnly));
        job.write(SendJobBytes(document, number, "SFF", 196, sendTime));
        job.close();
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        QVERIFY2(journal, qPrintable(error));
        JournalEntry entry;
        entry.document = document;
        entry.jobFile = name;
        entry.number = number;
        entry.resolution = 196;
        entry.sendTime = sendTime;
        entry.remark = "Angebot " + name;
        QVERIFY2(journal->Add(entry, error), qPrintable(error));
    }

    faxapp::RunnerPass Pass(const QDateTime& now = QDateTime::currentDateTime()) {
        const FixedClock clock(now);
        faxapp::QueueRunner runner(
            m_data,
            [this](const QString& record) { return faxapp::MakeFaxServer(m_account, record); },
            clock);
        QString error;
        if (!runner.Open(error))
            qFatal("runner: %s", qPrintable(error));
        const faxapp::RunnerPass pass = runner.RunOnce();
        if (!pass.problems.isEmpty() || pass.unreachable)
            qWarning("pass: %s %s", qPrintable(pass.problems.join(u'\n')),
                     qPrintable(pass.serverError));
        return pass;
    }

    JournalEntry Row(const QString& jobFile) const {
        QString error;
        auto journal = JournalStore::Open(m_data, error);
        const auto row = journal ? journal->Find(jobFile, error) : std::nullopt;
        return row.value_or(JournalEntry{});
    }

    QString ServerJobOf(const QString& jobFile) const {
        static const QRegularExpression id(QStringLiteral("^fax server job (\\d+)"));
        return id.match(Row(jobFile).outcome).captured(1);
    }

    // Runs the engine until the job has ended at the server and is filed.
    void FileWhenEnded(const QString& jobFile) {
        const QString id = ServerJobOf(jobFile);
        QVERIFY2(!id.isEmpty(), qPrintable(Row(jobFile).state + ": " + Row(jobFile).outcome));
        QString error;
        QVERIFY2(m_server.WaitUntilEnded(id, 60000, error), qPrintable(error));
        Pass();
        QVERIFY2(Row(jobFile).state != "submitted", qPrintable(Row(jobFile).outcome));
    }

    // The window with the engine's real actions on this data folder.
    faxapp::MainWindowServices Services(QStringList* opened = nullptr) {
        faxapp::MainWindowServices services;
        services.sendAgain = [this](const JournalEntry& entry) -> Result<QString> {
            QString error;
            auto journal = JournalStore::Open(m_data, error);
            if (!journal)
                return Problem{0, m_data, error};
            const SystemClock clock;
            return faxapp::SendAgain(m_data, *journal, entry, clock);
        };
        services.cancelJob = [this](const JournalEntry& entry) {
            faxapp::FaxSettings settings;
            settings.dataDir = m_data;
            settings.server = m_account;
            return faxapp::CancelAtServer(settings, entry.jobFile);
        };
        services.openFile = [opened](const QString& path) {
            if (opened)
                *opened << path;
            return true;
        };
        return services;
    }

    // Shown and active, as a window the user works in: its shortcuts go to the focused table.
    static void Show(MainWindow& window) {
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    static void Select(MainWindow& window, const QString& jobFile) {
        auto* table = window.findChild<QTableView*>("journal");
        table->setFocus();
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            table->selectRow(row);
            if (window.CurrentEntry()->jobFile == jobFile)
                return;
        }
        QFAIL(qPrintable("no row " + jobFile));
    }

    static void Press(MainWindow& window, int key) {
        QTest::keyClick(window.findChild<QTableView*>("journal"), Qt::Key(key),
                        Qt::ControlModifier);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        PrivateHylafax::Options options;
        options.fakeModem = true; // ends numbers ...0 as sent, ...1 as failed
        QString error;
        QVERIFY2(m_server.Start(options, error), qPrintable(error));
        m_account.host = "127.0.0.1";
        m_account.port = m_server.Port();
        m_language = std::make_unique<faxapp::WindowLanguage>(QString());
    }

    void init() {
        m_data = m_dir.filePath(QString::number(++m_case));
        for (const QString& f :
             {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr, fax::kFolderFaxsend})
            QVERIFY(QDir().mkpath(Path(f)));
    }

    void failedJobSentAgainWithItsKeptDocument() {
        AddJob("09120001.FX3", "0301234561"); // busy
        Pass();
        FileWhenEnded("09120001.FX3");
        const JournalEntry failed = Row("09120001.FX3");
        QCOMPARE(failed.state, "failed");
        // Filed with its document kept in the private folder, however Faxsend is cleared.
        QVERIFY2(KeptDocuments::IsKept(m_data, failed.document), qPrintable(failed.document));
        QVERIFY(QFileInfo(failed.document).isFile());
        QCOMPARE(ModeOf(failed.document), 0600);
        QCOMPARE(ModeOf(KeptDocuments::FolderOf(m_data)), 0700);
        QFile::remove(Path(fax::kFolderFaxsend, "_FX09120001.SFF"));

        MainWindow window(m_data, Services());
        Show(window);
        // The server's words as its, not the engine's sentence.
        const QModelIndex state =
            window.findChild<QTableView*>("journal")->model()->index(0, JournalModel::kState);
        const QString words = state.data(Qt::ToolTipRole).toString();
        QVERIFY2(words.startsWith("fehlgeschlagen, Server: „") && words.contains("Busy"),
                 qPrintable(words));
        QVERIFY(!words.contains("fax server job"));
        auto* sendAgain = window.findChild<QAction*>("sendAgain");
        auto* cancel = window.findChild<QAction*>("cancelJob");
        Select(window, "09120001.FX3");
        QVERIFY(sendAgain->isEnabled());
        QVERIFY(!cancel->isEnabled());
        Press(window, Qt::Key_E);
        const QString again = window.CurrentEntry()->jobFile;
        QVERIFY(again != "09120001.FX3");
        QVERIFY(QFile::exists(Path(fax::kFolderComjob, again)));
        QCOMPARE(window.CurrentEntry()->document, failed.document);
        QCOMPARE(window.CurrentEntry()->number, "0301234561");
        QVERIFY(!sendAgain->isEnabled()); // waiting now

        // The engine takes it as any job: it reaches the server with the kept document.
        const faxapp::RunnerPass pass = Pass();
        QCOMPARE(pass.submitted, 1);
        QString error;
        int atServer = 0;
        for (const auto& job : m_server.Jobs(error))
            atServer += job.number == "0301234561" ? 1 : 0;
        QCOMPARE(atServer, 2);
        QTRY_COMPARE_WITH_TIMEOUT(window.CurrentEntry()->state, "submitted", 5000);
        QVERIFY(cancel->isEnabled());
        FileWhenEnded(again);

        // The kept document goes with the last row that names it.
        window.Refresh();
        Select(window, "09120001.FX3");
        QTest::keyClick(window.findChild<QTableView*>("journal"), Qt::Key_Delete);
        QVERIFY(QFile::exists(failed.document));
        Select(window, again);
        QTest::keyClick(window.findChild<QTableView*>("journal"), Qt::Key_Delete);
        QVERIFY(!QFile::exists(failed.document));
        QCOMPARE(window.findChild<QTableView*>("journal")->model()->rowCount(), 0);
    }

    void waitingJobCancelledAtTheServer() {
        const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
        AddJob("09120002.FX3", "0301234560", tomorrow.toString("yy-MM-dd-HH:mm"));
        QCOMPARE(Pass().submitted, 1);
        const QString id = ServerJobOf("09120002.FX3");
        QVERIFY(!id.isEmpty());

        MainWindow window(m_data, Services());
        Show(window);
        Select(window, "09120002.FX3");
        QCOMPARE(window.CurrentEntry()->state, "submitted");
        auto* cancel = window.findChild<QAction*>("cancelJob");
        QVERIFY(cancel->isEnabled());
        AnswerYes();
        Press(window, Qt::Key_K);
        QString error;
        const auto ended = m_server.WaitUntilEnded(id, 30000, error);
        QVERIFY2(ended, qPrintable(error));
        QCOMPARE(ended->state, "F");
        QVERIFY2(ended->status.contains("by request"), qPrintable(ended->status));

        Pass();
        QTRY_COMPARE_WITH_TIMEOUT(window.CurrentEntry()->state, "cancelled", 5000);
        QVERIFY(QFile::exists(Path(fax::kFolderComerr, "09120002.FX3")));
        QVERIFY(window.findChild<QAction*>("sendAgain")->isEnabled());

        // A job no longer at the server: the window says so.
        faxapp::FaxSettings settings;
        settings.dataDir = m_data;
        settings.server = m_account;
        const auto again = faxapp::CancelAtServer(settings, "09120002.FX3");
        QVERIFY(!again);
        QCOMPARE(again.Error().messageId, faxapp::kJobNotAtServer);
    }

    void sentDocumentKeptForTheDays() {
        AddJob("09120003.FX3", "0301234560"); // sent
        AddJob("09120004.FX3", "0301234561"); // busy
        Pass();
        FileWhenEnded("09120003.FX3");
        FileWhenEnded("09120004.FX3");
        const JournalEntry sent = Row("09120003.FX3");
        const JournalEntry failed = Row("09120004.FX3");
        QCOMPARE(sent.state, "sent");
        QCOMPARE(sent.pages, 1);
        QVERIFY(QFile::exists(sent.document) && QFile::exists(failed.document));

        // The send report opens with the desktop's viewer.
        QVERIFY(QDir().mkpath(Path("Reports")));
        QFile report(Path("Reports", "09120003.FX3.pdf"));
        QVERIFY(report.open(QIODevice::WriteOnly));
        report.close();
        QStringList opened;
        {
            MainWindow window(m_data, Services(&opened));
            Show(window);
            Select(window, "09120004.FX3");
            QVERIFY(!window.findChild<QAction*>("showReport")->isEnabled());
            Select(window, "09120003.FX3");
            QVERIFY(window.findChild<QAction*>("showReport")->isEnabled());
            auto* table = window.findChild<QTableView*>("journal");
            QCOMPARE(table->model()
                         ->index(table->currentIndex().row(), JournalModel::kPages)
                         .data()
                         .toString(),
                     "1");
            Press(window, Qt::Key_B);
        }
        QCOMPARE(opened, QStringList{report.fileName()});

        // A pass within the days keeps both; one after them removes the sent job's only.
        Pass(QDateTime::currentDateTime().addDays(29));
        QVERIFY(QFile::exists(sent.document));
        Pass(QDateTime::currentDateTime().addDays(31));
        QVERIFY(!QFile::exists(sent.document));
        QVERIFY(QFile::exists(failed.document));
    }
};

QTEST_MAIN(TestJournalActions)
#include "tst_journal_actions.moc"
