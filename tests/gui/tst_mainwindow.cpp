// The fax application's main window on a real data folder: the jobs waiting in Comjob, the
// journal's rows newest first in the user's words, followed when the files change; a row keeps
// its selection, is found by state and text, shows its document and can be removed. Faxes that
// came in are shown (and so read), saved as PDF, printed and forwarded from their rows.

#include "FakeFileDialogs.h"
#include "FaxTiffs.h"
#include "ServiceFakes.h"
#include "fax/PrintFileInfo.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/pages/PrintPages.h"
#include "faxapp/sending/JobOutcome.h"
#include "faxapp/ui/JournalModel.h"
#include "faxapp/ui/MainWindow.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using faxapp::JournalEntry;
using faxapp::JournalModel;
using faxapp::MainWindow;

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("A*APPLI/COM*V001\r\n");
}

QString Text(const MainWindow& window, const char* name) {
    const auto* label = window.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
}

QTableView* Table(const MainWindow& window) {
    return window.findChild<QTableView*>("journal");
}

// The shown rows' cells of the columns, top to bottom.
QList<QStringList> Rows(const MainWindow& window, const QList<int>& columns) {
    const QAbstractItemModel* model = Table(window)->model();
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (const int column : columns)
            cells << model->index(row, column).data().toString();
        rows << cells;
    }
    return rows;
}

JournalEntry Send(const QString& jobFile, const QString& number, const QString& remark = {}) {
    JournalEntry entry;
    entry.document = "/nowhere/_FX00000.SFF";
    entry.jobFile = jobFile;
    entry.number = number;
    entry.resolution = 98;
    entry.sendTime = "IMMED";
    entry.remark = remark;
    return entry;
}

QString PdfInfo(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_language = std::make_unique<faxapp::WindowLanguage>(QString()); }
    void sendTimesAndLanguages();
    void queueCountFollowsComjob_data();
    void queueCountFollowsComjob();
    void journalInWords();
    void rowsActOnTheirJob();
    void outcomesInWords();
    void damagedJournalInStatusLine();
    void receivedFaxes();

private:
    std::unique_ptr<faxapp::WindowLanguage> m_language;
};

void TestMainWindow::sendTimesAndLanguages() {
    QCOMPARE(faxapp::JobSendTime("26-12-24-09:30"), QDateTime(QDate(2026, 12, 24), QTime(9, 30)));
    QVERIFY(!faxapp::JobSendTime("IMMED").isValid());
    QVERIFY(!faxapp::JobSendTime("26-02-30-09:30").isValid());
    QCOMPARE(faxapp::WindowLanguageCode({}, "de_DE.UTF-8"), QString());
    QCOMPARE(faxapp::WindowLanguageCode({}, "en_GB.UTF-8"), "EN");
    QCOMPARE(faxapp::WindowLanguageCode({}, "C"), QString());
    QCOMPARE(faxapp::WindowLanguageCode("en", "de_DE"), "EN"); // the setting wins
    QCOMPARE(faxapp::WindowLanguageCode("DE", "en_US"), QString());
}

void TestMainWindow::queueCountFollowsComjob_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after"); // once one more job file has come
    QTest::newRow("empty") << QStringList{} << "0 Aufträge warten"
                           << "1 Auftrag wartet";
    QTest::newRow("job files only count")
        << QStringList{"09120001.FX3", "09120002.FX3", "Tmp00001.tmp", "notes.txt"}
        << "2 Aufträge warten"
        << "3 Aufträge warten";
}

void TestMainWindow::queueCountFollowsComjob() {
    QFETCH(QStringList, files);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath("Comjob"));
    for (const QString& name : files)
        Touch(data.filePath("Comjob/" + name));
    QVERIFY(QDir(data.path()).mkpath("Comjob/09120009.FX3")); // a folder is no job
    MainWindow window(data.path());
    QCOMPARE(Text(window, "queueState"), before);
    Touch(data.filePath("Comjob/09120003.FX3"));
    // The folder is watched: well before the 30 s refresh.
    QTRY_COMPARE_WITH_TIMEOUT(Text(window, "queueState"), after, 5000);
}

void TestMainWindow::journalInWords() {
    QTemporaryDir data;
    QString error;
    auto store = faxapp::JournalStore::Open(data.path(), error);
    QVERIFY2(store, qPrintable(error));
    JournalEntry send = Send("09120001.FX3", "0711 123456", "Angebot Müller");
    QVERIFY2(store->Add(send, error), qPrintable(error));

    faxapp::MainWindowServices services;
    services.readNames = [] { return QHash<QString, QString>{{"0711123456", "Müller GmbH"}}; };
    MainWindow window(data.path(), services);
    QCOMPARE(Table(window)->model()->rowCount(), 1);

    JournalEntry poll;
    poll.poll = true;
    poll.jobFile = "09120002.FX3";
    poll.number = "089 555";
    poll.sendTime = "26-12-24-09:30";
    QVERIFY2(store->Add(poll, error), qPrintable(error));
    faxapp::FaxJobStatus busy;
    busy.state = faxapp::FaxJobStatus::State::Failed;
    busy.statusCode = 3;
    busy.status = "NO CARRIER";
    QVERIFY2(
        store->SetOutcome("09120001.FX3", "failed", faxapp::JobOutcome::Describe(busy, "7"), error),
        qPrintable(error));
    QTRY_COMPARE_WITH_TIMEOUT(Table(window)->model()->rowCount(), 2, 5000);
    const QList<int> columns{JournalModel::kKind,     JournalModel::kName,   JournalModel::kNumber,
                             JournalModel::kSendTime, JournalModel::kRemark, JournalModel::kState};
    const QString christmas =
        QLocale().toString(QDateTime(QDate(2026, 12, 24), QTime(9, 30)), QLocale::ShortFormat);
    QCOMPARE(Rows(window, columns),
             (QList<QStringList>{{"Abruf", "", "089 555", christmas, "", "wartet"},
                                 {"Senden", "Müller GmbH", "0711 123456", "sofort",
                                  "Angebot Müller", "fehlgeschlagen"}}));
    const QModelIndex state = Table(window)->model()->index(1, JournalModel::kState);
    // The engine's sentence never shows: the state in words, the server's words as its.
    QCOMPARE(state.data(Qt::ToolTipRole).toString(), "fehlgeschlagen, Server: „NO CARRIER“");
    QCOMPARE(Text(window, "journalState"), "Journal: 2 Einträge");

    // The English catalog, loaded as for an English desktop, also takes Qt's own texts.
    m_language.reset();
    {
        const faxapp::WindowLanguage english("EN");
        MainWindow englishWindow(data.path());
        QCOMPARE(Rows(englishWindow,
                      {JournalModel::kKind, JournalModel::kSendTime, JournalModel::kState}),
                 (QList<QStringList>{{"Poll", christmas, "waiting"}, {"Send", "now", "failed"}}));
        QCOMPARE(Text(englishWindow, "journalState"), "Journal: 2 entries");
        QCOMPARE(englishWindow.findChild<QTableView*>("journal")
                     ->model()
                     ->index(1, JournalModel::kState)
                     .data(Qt::ToolTipRole)
                     .toString(),
                 "failed, Server: “NO CARRIER”");
    }
    m_language = std::make_unique<faxapp::WindowLanguage>(QString());
}

void TestMainWindow::rowsActOnTheirJob() {
    QTemporaryDir data;
    QString error;
    auto store = faxapp::JournalStore::Open(data.path(), error);
    QVERIFY2(store, qPrintable(error));
    for (int i = 1; i <= 3; ++i) {
        JournalEntry entry =
            Send(QStringLiteral("0912000%1.FX3").arg(i), QStringLiteral("0711 12345%1").arg(i),
                 QStringLiteral("Nr. %1").arg(i));
        entry.document = data.filePath(QStringLiteral("Faxsend/_FX0000%1.SFF").arg(i));
        QVERIFY2(store->Add(entry, error), qPrintable(error));
    }
    QVERIFY(QDir(data.path()).mkpath("Faxsend"));
    Touch(data.filePath("Faxsend/_FX00002.SFF"));
    QVERIFY2(store->SetOutcome("09120001.FX3", "sent", {}, error), qPrintable(error));

    QStringList shown;
    faxapp::MainWindowServices services;
    services.showDocument = [&](const QString& path) { shown << path; };
    MainWindow window(data.path(), services);
    window.show();
    QTableView* table = Table(window);
    table->setFocus();
    table->selectRow(1); // 09120002, the middle one
    QCOMPARE(window.CurrentEntry()->jobFile, "09120002.FX3");
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(shown, QStringList{data.filePath("Faxsend/_FX00002.SFF")});

    // A new row above does not move the selection to another job.
    JournalEntry newer = Send("09120004.FX3", "089 1");
    QVERIFY2(store->Add(newer, error), qPrintable(error));
    QTRY_COMPARE_WITH_TIMEOUT(table->model()->rowCount(), 4, 5000);
    QCOMPARE(window.CurrentEntry()->jobFile, "09120002.FX3");

    // By state, then by text; digits find a number however it is spaced.
    auto* filter = window.findChild<QComboBox*>("stateFilter");
    filter->setCurrentIndex(filter->findText("Gesendet"));
    QCOMPARE(Rows(window, {JournalModel::kJobFile}), (QList<QStringList>{{"09120001.FX3"}}));
    filter->setCurrentIndex(0);
    window.findChild<QLineEdit*>("search")->setText("0711123452");
    QCOMPARE(Rows(window, {JournalModel::kJobFile}), (QList<QStringList>{{"09120002.FX3"}}));
    window.findChild<QLineEdit*>("search")->setText("nr. 3");
    QCOMPARE(Rows(window, {JournalModel::kJobFile}), (QList<QStringList>{{"09120003.FX3"}}));

    // Delete removes the row of a finished job from the journal.
    window.findChild<QLineEdit*>("search")->clear();
    filter->setCurrentIndex(filter->findText("Gesendet"));
    table->setFocus();
    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_Delete);
    filter->setCurrentIndex(0);
    QCOMPARE(table->model()->rowCount(), 3);
    QVERIFY(!store->Find("09120001.FX3", error));
    QVERIFY(error.isEmpty());
}

// What each kind of row tells in words: a sent job its pages and receiver, a job at the
// server its id there, a refusal its cause; a received fax its pages and sender, in bold while
// unread.
void TestMainWindow::outcomesInWords() {
    QTemporaryDir data;
    QString error;
    auto store = faxapp::JournalStore::Open(data.path(), error);
    QVERIFY2(store, qPrintable(error));
    JournalEntry sent = Send("09120001.FX3", "0711 1");
    JournalEntry waiting = Send("09120002.FX3", "0711 2");
    JournalEntry refused = Send("09120003.FX3", "0711 3");
    for (JournalEntry* entry : {&sent, &waiting, &refused})
        QVERIFY2(store->Add(*entry, error), qPrintable(error));
    faxapp::JournalOutcome done;
    done.state = "sent";
    faxapp::FaxJobStatus status;
    status.state = faxapp::FaxJobStatus::State::Done;
    status.pagesSent = 3;
    done.outcome = faxapp::JobOutcome::Describe(status, "5");
    done.pages = 3;
    done.remoteId = "+49 711 1";
    QVERIFY2(store->SetOutcome("09120001.FX3", done, error), qPrintable(error));
    QVERIFY2(
        store->SetOutcome("09120002.FX3", "submitted", "fax server job 6 at 127.0.0.1:4559", error),
        qPrintable(error));
    QVERIFY2(store->SetOutcome("09120003.FX3", "refused",
                               "the fax server does not take the job: 503 bad dial string", error),
             qPrintable(error));
    JournalEntry received;
    received.state = "received";
    received.remoteId = "+49 89 555";
    received.pages = 2;
    received.unread = true;
    received.serverFile = "hylafax://127.0.0.1:4559 recvq/fax00001.tif";
    QVERIFY2(store->AddReceived(received, error), qPrintable(error));

    MainWindow window(data.path());
    const QAbstractItemModel* model = Table(window)->model();
    const auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
        return model->index(row, column).data(role);
    };
    QCOMPARE(Rows(window, {JournalModel::kKind, JournalModel::kNumber, JournalModel::kPages,
                           JournalModel::kState}),
             (QList<QStringList>{{"Empfang", "+49 89 555", "2", "empfangen"},
                                 {"Senden", "0711 3", "", "abgelehnt"},
                                 {"Senden", "0711 2", "", "beim Faxserver"},
                                 {"Senden", "0711 1", "3", "gesendet"}}));
    QCOMPARE(cell(0, JournalModel::kState, Qt::ToolTipRole).toString(),
             "empfangen, 2 Seiten, von „+49 89 555“");
    QVERIFY(cell(0, JournalModel::kRemark, Qt::FontRole).value<QFont>().bold());
    QVERIFY(!cell(1, JournalModel::kRemark, Qt::FontRole).value<QFont>().bold());
    QCOMPARE(cell(1, JournalModel::kState, Qt::ToolTipRole).toString(),
             "abgelehnt, Der Faxserver nimmt den Auftrag nicht an. Server: „503 bad dial string“");
    QCOMPARE(cell(2, JournalModel::kState, Qt::ToolTipRole).toString(),
             "beim Faxserver, Auftrag 6 bei 127.0.0.1:4559");
    QCOMPARE(cell(3, JournalModel::kState, Qt::ToolTipRole).toString(),
             "gesendet, 3 Seiten, an „+49 711 1“");
}

// The window still comes up, with the journal's own words on what is wrong.
void TestMainWindow::damagedJournalInStatusLine() {
    QTemporaryDir data;
    QFile junk(faxapp::JournalStore::DatabasePath(data.path()));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'j'));
    junk.close();
    QString error;
    QVERIFY(!faxapp::JournalStore::Open(data.path(), error));
    MainWindow window(data.path());
    QCOMPARE(Text(window, "journalState"), "Journal: " + error);
    QCOMPARE(Table(window)->model()->rowCount(), 0);
}

void TestMainWindow::receivedFaxes() {
    QTemporaryDir data;
    QString error;
    auto store = faxapp::JournalStore::Open(data.path(), error);
    QVERIFY2(store, qPrintable(error));
    QVERIFY(QDir(data.path()).mkpath("Faxrec"));
    const QString faxFile = data.filePath("Faxrec/fax000000012.tif");
    QVERIFY(WriteFaxTiff(faxFile, {true, false}));
    JournalEntry sent = Send("09120001.FX3", "0711 1");
    QVERIFY2(store->Add(sent, error), qPrintable(error));
    JournalEntry fax;
    fax.state = "received";
    fax.pages = 2;
    fax.faxFile = faxFile;
    fax.remoteId = "+49 711 555/0";
    fax.serverFile = "localhost recvq/fax000000012.tif";
    fax.arrived = QDateTime(QDate(2026, 12, 9), QTime(8, 15));
    fax.unread = true;
    QVERIFY2(store->AddReceived(fax, error), qPrintable(error));

    FakeFileDialogs dialogs;
    dialogs.saveAnswer = data.filePath("saved.pdf");
    FakeProcessLauncher launcher;
    QStringList shown;
    const QString printed = data.filePath("printed.pdf");
    faxapp::MainWindowServices services;
    services.showDocument = [&](const QString& path) { shown << path; };
    services.received.fileDialogs = &dialogs;
    services.received.launcher = &launcher;
    services.received.sendProgram = "/opt/kalmo/bin/kalmosend";
    services.received.saveFolder = data.filePath("Documents");
    services.received.choosePrinter = [&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    };
    MainWindow window(data.path(), services);
    window.show();
    QTableView* table = Table(window);
    const auto action = [&](const char* name) { return window.findChild<QAction*>(name); };
    const auto bold = [&](int row) {
        return table->model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold();
    };

    // The unread fax stands out, and the status bar counts it.
    QCOMPARE(Rows(window, {JournalModel::kKind}), (QList<QStringList>{{"Empfang"}, {"Senden"}}));
    QVERIFY(bold(0));
    QVERIFY(!bold(1));
    QCOMPARE(Text(window, "unreadState"), "1 ungelesenes Fax");
    auto* filter = window.findChild<QComboBox*>("stateFilter");
    filter->setCurrentIndex(filter->findText("Fehlgeschlagen"));
    QCOMPARE(table->model()->rowCount(), 0);
    filter->setCurrentIndex(filter->findText("Empfangen"));
    QCOMPARE(Rows(window, {JournalModel::kKind}), (QList<QStringList>{{"Empfang"}}));
    filter->setCurrentIndex(0);
    // The sender's identification is searched like a number.
    window.findChild<QLineEdit*>("search")->setText("711555");
    QCOMPARE(Rows(window, {JournalModel::kKind}), (QList<QStringList>{{"Empfang"}}));
    window.findChild<QLineEdit*>("search")->clear();
    table->setFocus();
    table->selectRow(1);
    QVERIFY(!action("actionSaveFaxPdf")->isEnabled());
    QVERIFY(!action("actionForwardFax")->isEnabled());

    // Return shows the fax and marks it read.
    table->selectRow(0);
    QVERIFY(action("actionForwardFax")->isEnabled());
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(shown, QStringList{faxFile});
    QVERIFY(!bold(0));
    QVERIFY(!window.findChild<QLabel*>("unreadState")->isVisible());
    QVERIFY(!store->Entries(error)->first().unread);
    QCOMPARE(action("actionMarkRead")->text(), "Als &ungelesen markieren");
    action("actionMarkRead")->trigger();
    QVERIFY(store->Entries(error)->first().unread);
    QVERIFY(bold(0));
    QCOMPARE(window.CurrentEntry()->faxFile, faxFile);

    // Saved as PDF where the user says, proposed by arrival and sender (made a safe name).
    action("actionSaveFaxPdf")->trigger();
    QCOMPARE(dialogs.saves.size(), 1);
    QCOMPARE(dialogs.saves.first().preset,
             data.filePath("Documents/Fax 2026-12-09 08-15 +49 711 555_0.pdf"));
    const QString info = PdfInfo(data.filePath("saved.pdf"));
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+2\\n")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Page size:\\s+609.88\\d* x 839.7")),
             qPrintable(info));

    // Printed: both pages on the printer the user chose.
    action("actionPrintFax")->trigger();
    QVERIFY2(PdfInfo(printed).contains(QRegularExpression("Pages:\\s+2\\n")),
             qPrintable(PdfInfo(printed)));

    // Forwarded: the send dialog gets the fax as its own SFF copy, at the fax's resolution.
    action("actionForwardFax")->trigger();
    QCOMPARE(launcher.Programs(), QStringList{"/opt/kalmo/bin/kalmosend"});
    const QStringList args = launcher.starts.first().arguments;
    QCOMPARE(args.size(), 2);
    QCOMPARE(args.at(1), "/tFax von +49 711 555_0");
    QVERIFY(args.at(0).startsWith("/d"));
    const QString copy = args.at(0).mid(2);
    faxapp::PrintPages pages;
    QVERIFY2(pages.Open(copy), qPrintable(pages.Error()));
    QCOMPARE(pages.Format(), kFormatSff);
    QCOMPARE(pages.PageCount(), 2);
    QCOMPARE(QFile(copy).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    QFile::remove(copy);

    // A send dialog that cannot be started leaves no copy behind.
    launcher.failures.insert("/opt/kalmo/bin/kalmosend", ENOENT);
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    action("actionForwardFax")->trigger();
    QCOMPARE(launcher.starts.size(), 2);
    QVERIFY(!QFile::exists(launcher.starts.last().arguments.first().mid(2)));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
