// The send dialog's initialisation, submit flow and cancel, offscreen, with every service
// outside the process faked.
#include "FakeAutomation.h"
#include "FakeFileDialogs.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "SffPages.h"
#include "TestRegistry.h"
#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "fax/SffWriter.h"
#include "support/FileUtil.h"
#include "ui/CZebComboBox.h"
#include "ui/SendDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <sys/stat.h>

namespace {

const QString kFax = "Software\\ZEB\\Kalmo! 2.0\\Fax";
const QString kHistory = kFax + "\\Rufnummern";

// The own address book's entries, "name\nnumber", served by DISPIDs 1 to 4.
FakeAutomation::Handler AddressBook(QStringList entries) {
    auto position = std::make_shared<int>(0);
    return [entries, position](int dispid, InvokeKind, const QList<AutoVariant>&) -> AutoVariant {
        switch (dispid) {
        case 2:
            *position = 0;
            return AutoVariant::I4(entries.isEmpty() ? 0 : 7);
        case 4:
            return AutoVariant::BStr(entries.value(*position));
        case 3:
            return AutoVariant::I4(++*position < entries.size() ? 1 : 0);
        default:
            return {};
        }
    };
}

struct Fixture {
    QTemporaryDir dir;
    TestRegistry reg;
    RecordingMessenger messages;
    AppBase app{reg.registry(), messages};
    FakeAutomation automation;
    FakeProcessLauncher processes;
    FakePresence presence;
    FakeFileDialogs files;
    CountingBusy busy;
    FixedClock clock{QDateTime(QDate(2026, 12, 24), QTime(10, 0))};
    QList<int> journalAnswers; // per job in turn; 0 when used up
    SendDialogState state;
    std::unique_ptr<SendDialog> dialog;

    Fixture() {
        app.SetRegistryKey(fax::kRegistryCompany);
        app.SetProfileName(fax::kProfileName);
        app.m_strTitlePrefix = fax::kTitlePrefix;
        app.m_strDataDir = dir.filePath("Fax");
        app.m_strSystemDir = "/opt/kalmo";
        app.CreateFolder(app.m_strDataDir);
        app.CreateSpoolFolders();
        automation.RegisterClass(fax::kProgIdAddressBook, AddressBook({}));
        automation.RegisterClass(
            fax::kProgIdJournal, [this](int, InvokeKind, const QList<AutoVariant>&) {
                return AutoVariant::I2(
                    static_cast<qint16>(journalAnswers.isEmpty() ? 0 : journalAnswers.takeFirst()));
            });
    }

    void Entries(const QStringList& entries) {
        automation.RegisterClass(fax::kProgIdAddressBook, AddressBook(entries));
    }
    // A print file of the given name in the temporary folder.
    QString PrintFile(const QString& name, const QByteArray& bytes = Sff()) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    bool Open() {
        const SendServices services{app, automation, processes, presence, files, busy, clock};
        dialog = std::make_unique<SendDialog>(services, state);
        return dialog->OnInitDialog();
    }
    void Type(const QString& number) { dialog->m_comboNumber->setEditText(number); }
    // Clicks the dialog's button of that object name.
    void Click(const char* name) const {
        auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        button->click();
    }
    // Job files in Comjob, each as "ADDRESS :<number>" lines, in name order.
    QStringList JobAddresses() const {
        QStringList addresses;
        QDir comjob(app.m_strDataDir + "/Comjob");
        for (const QString& name : comjob.entryList(QDir::Files, QDir::Name)) {
            QFile f(comjob.filePath(name));
            f.open(QIODevice::ReadOnly);
            for (const QByteArray& line : f.readAll().split('\n'))
                if (line.startsWith("ADDRESS :"))
                    addresses << QString::fromLatin1(line.mid(9).trimmed());
        }
        return addresses;
    }
    QStringList Spool(const QString& folder) const {
        return QDir(app.m_strDataDir + '/' + folder).entryList(QDir::Files, QDir::Name);
    }
    QString Stored(const QString& key, const QString& name) {
        const auto v = reg.User().QueryValue(key, name);
        return v ? v->ToText() : QString("<none>");
    }
};

// The value of one line of a job file ("FILENAME:" -> the document).
QByteArray JobValue(const QByteArray& job, const QByteArray& key) {
    for (const QByteArray& line : job.split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).chopped(1);
    return {};
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestSendDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void presetNumberSubmitsAtOnce();
    void missingPrintFileKeepsPresetNumber();
    void pollWithoutPrintFile();
    void redirect_data();
    void redirect();
    void redirectProposal_data();
    void redirectProposal();
    void selectedRowsWriteOneJobEach();
    void deselectedRowsKeepCountAndRefuse();
    void startFaxApplication_data();
    void startFaxApplication();
    void cancelDeletesOwnPrintFile_data();
    void cancelDeletesOwnPrintFile();
    void historyTakesNumberOnce();
    void singleRowCopiesItsNumber();
    void closingClearsRows();
    void remarkKeepsToOemCharacters();
    void doubleClickBelowTheRowsSends();
    void pickedFileIsSent();
    void pickedFileShownInStatus();
    void problemKeepsTheDialogOpen_data();
    void problemKeepsTheDialogOpen();
    void laterJobRefusedStillCloses();
    void presetSendTime_data();
    void presetSendTime();
};

void TestSendDialog::presetNumberSubmitsAtOnce() {
    Fixture f;
    const QByteArray bytes = Sff("and the rest of a print");
    f.state.m_printFile.path = f.PrintFile("print.sff", bytes);
    f.state.m_printFile.own = true;
    f.state.m_strPresetNumber = "123";
    f.state.m_strRemark = "Report";
    QVERIFY(!f.Open()); // closed before anybody acted
    QCOMPARE(f.JobAddresses(), QStringList{"123"});
    QCOMPARE(f.Spool("Faxsend"), QStringList{"_FX00000.SFF"});
    QCOMPARE(ReadAll(f.app.m_strDataDir + "/Faxsend/_FX00000.SFF"), bytes);
    QVERIFY(!QFile::exists(f.state.m_printFile.path));
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("123"));
    QCOMPARE(f.Stored(kHistory, "Nummer0"), QString("123"));
    QCOMPARE(f.messages.Ids(), QList<int>{611}); // KalFax32 is not running: asked, No
    QVERIFY(f.processes.starts.isEmpty());
}

void TestSendDialog::missingPrintFileKeepsPresetNumber() {
    Fixture f;
    f.state.m_strPresetNumber = "555";
    QVERIFY(f.Open());
    QCOMPARE(f.messages.Ids(), QList<int>{610});
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("555"));
    QVERIFY(f.JobAddresses().isEmpty());
}

void TestSendDialog::pollWithoutPrintFile() {
    Fixture f;
    f.state.m_bPoll = 1;
    QVERIFY(f.Open());
    QVERIFY(!f.dialog->m_checkRedirect->isEnabled());
    f.Type("0711 777");
    f.Click("btnOk");
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), QStringList{"0711 777"});
}

void TestSendDialog::redirect_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("copied") << true;
    QTest::newRow("cancelled") << false;
}

void TestSendDialog::redirect() {
    QFETCH(bool, chosen);
    Fixture f;
    f.state.m_printFile.path = f.PrintFile("print.sff", "redirected bytes");
    f.state.m_printFile.own = true;
    QVERIFY(f.Open());
    const QString target = f.dir.filePath("out.sff");
    if (chosen)
        f.files.saveAnswer = target;
    f.dialog->m_checkRedirect->setChecked(true);
    f.Type("999");
    f.Click("btnOk");
    QCOMPARE(f.dialog->IsClosed(), chosen);
    QCOMPARE(f.files.saves.size(), 1);
    QCOMPARE(f.files.saves[0].filter, QString("Fax-Dateien (*.sff)|*.sff||"));
    QCOMPARE(f.files.saves[0].defaultExtension, QString(".sff"));
    QCOMPARE(QFile::exists(target), chosen);
    if (chosen)
        QCOMPARE(ReadAll(target), QByteArray("redirected bytes"));
    QVERIFY(QFile::exists(f.state.m_printFile.path)); // the temporary print file stays
    QVERIFY(f.JobAddresses().isEmpty());
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("<none>"));
    QVERIFY(f.messages.messages.isEmpty());
}

void TestSendDialog::redirectProposal_data() {
    QTest::addColumn<bool>("documents"); // the documents folder exists
    QTest::newRow("documents folder") << true;
    QTest::newRow("no documents folder: home folder and title") << false;
}

// The file dialog starts in the documents folder; without it, a name "Documents" would be
// proposed, so the home folder and the document's title are.
void TestSendDialog::redirectProposal() {
    QFETCH(bool, documents);
    Fixture f;
    const QString folder = f.dir.filePath("Dokumente");
    if (documents)
        QVERIFY(QDir().mkpath(folder));
    TestRegistry::Set(f.reg.User(), fax::kShellFoldersKey, "Personal", folder);
    f.state.m_printFile = {f.PrintFile("print.sff"), true, false};
    f.state.m_strCaption = "Brief an Müller 1/2";
    QVERIFY(f.Open());
    f.dialog->m_checkRedirect->setChecked(true);
    f.Click("btnOk");
    QCOMPARE(f.files.saves.size(), 1);
    QCOMPARE(f.files.saves[0].preset,
             documents ? folder : QDir::homePath() + "/Brief an Müller 1-2");
}

void TestSendDialog::selectedRowsWriteOneJobEach() {
    Fixture f;
    f.Entries({"Cäsar\n3", "Anna\n1", "Bernd\n2"});
    f.state.m_printFile.path = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    QCOMPARE(f.dialog->m_listRecipients->topLevelItemCount(), 3);
    f.dialog->m_listRecipients->selectAll();
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("3 Empfänger"));
    f.Click("btnOk");
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), (QStringList{"1", "2", "3"})); // in the list's order
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("<none>"));
    QVERIFY(f.reg.User().Values(kHistory).isEmpty());
}

void TestSendDialog::deselectedRowsKeepCountAndRefuse() {
    Fixture f;
    f.Entries({"Anna\n1", "Bernd\n2"});
    f.state.m_printFile.path = f.PrintFile("print.sff");
    f.state.m_printFile.own = true;
    QVERIFY(f.Open());
    f.dialog->m_listRecipients->selectAll();
    f.dialog->m_listRecipients->clearSelection();
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("2 Empfänger"));
    f.Click("btnOk");
    QVERIFY(!f.dialog->IsClosed());
    QCOMPARE(f.messages.Ids(), QList<int>{614});
    QVERIFY(QFile::exists(f.state.m_printFile.path)); // not moved
    QVERIFY(f.Spool("Faxsend").isEmpty());
}

void TestSendDialog::startFaxApplication_data() {
    QTest::addColumn<bool>("serialLetter");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("answer");     // MessageAnswer
    QTest::addColumn<int>("startError"); // errno of a failing start, 0 when it starts
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<bool>("started");
    const auto yes = static_cast<int>(MessageAnswer::Yes);
    const auto no = static_cast<int>(MessageAnswer::No);
    QTest::newRow("not running, No") << false << false << no << 0 << QList<int>{611} << false;
    QTest::newRow("not running, Yes") << false << false << yes << 0 << QList<int>{611} << true;
    QTest::newRow("Yes, program missing")
        << false << false << yes << ENOENT << QList<int>{611, 616} << true;
    QTest::newRow("running: not asked") << false << true << yes << 0 << QList<int>{} << false;
    QTest::newRow("serial letter: not asked") << true << false << yes << 0 << QList<int>{} << false;
}

void TestSendDialog::startFaxApplication() {
    QFETCH(bool, serialLetter);
    QFETCH(bool, running);
    QFETCH(int, answer);
    QFETCH(int, startError);
    QFETCH(QList<int>, ids);
    QFETCH(bool, started);
    Fixture f;
    f.state.m_printFile.path = f.PrintFile("print.sff");
    f.state.m_bSerialLetter = serialLetter ? 1 : 0;
    f.presence.running = running;
    f.messages.answers = {static_cast<MessageAnswer>(answer)};
    const QString program = "/opt/kalmo/KalFax32.exe";
    if (startError)
        f.processes.failures[program] = startError;
    QVERIFY(f.Open());
    f.Type("0711");
    f.Click("btnOk");
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.messages.Ids(), ids);
    QCOMPARE(f.presence.asked.isEmpty(), serialLetter);
    QCOMPARE(f.processes.Programs(), started ? QStringList{program} : QStringList{});
    if (started) {
        QVERIFY(f.processes.starts[0].arguments.isEmpty());
        QCOMPARE(f.processes.starts[0].show, ProcessStart::Show::Minimised);
        QVERIFY(!f.processes.starts[0].wait);
    }
    if (startError)
        QVERIFY(f.messages.messages[1].text.startsWith("KALMO!fax kann nicht gestartet werden.\n"));
}

void TestSendDialog::cancelDeletesOwnPrintFile_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("deleted");
    for (const char* how : {"Cancel", "Escape", "close box"}) {
        QTest::addRow("/d, %s", how) << "d" << how << true;
        QTest::addRow("/c, %s", how) << "c" << how << true;
        QTest::addRow("/f, %s", how) << "f" << how << false;
    }
}

void TestSendDialog::cancelDeletesOwnPrintFile() {
    QFETCH(QString, option);
    QFETCH(QString, how);
    QFETCH(bool, deleted);
    Fixture f;
    // The file watched: the print file, or the page bitmap of a colour print.
    QString watched;
    if (option == "c") {
        watched = f.PrintFile("Page1.bmp", "BM bitmap");
        f.processes.action = [&f](const ProcessStart& start) {
            QFile colour(start.arguments.value(1));
            if (colour.open(QIODevice::WriteOnly))
                colour.write("\xff\xd8\xff\xe0 colour");
            f.PrintFile("Page1.SFF", Sff("companion"));
        };
        f.state.m_printFile.path = f.dir.filePath("Page");
    } else {
        watched = f.PrintFile("print.sff");
        f.state.m_printFile.path = watched;
    }
    f.state.m_printFile.own = option != "f";
    f.state.m_printFile.colour = option == "c";
    QVERIFY(f.Open());
    f.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    if (how == "Cancel")
        QTest::mouseClick(f.dialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
    else if (how == "Escape")
        QTest::keyClick(f.dialog.get(), Qt::Key_Escape);
    else
        f.dialog->close();
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.dialog->result(), static_cast<int>(QDialog::Rejected));
    QCOMPARE(QFile::exists(watched), !deleted);
    QCOMPARE(QDir(f.app.m_strDataDir).entryList(QDir::Files), QStringList());
    QVERIFY(f.JobAddresses().isEmpty());
}

// A number sent again moves to the front of the history and is held there once. (Only
// dialable numbers are sent, so spellings that differ in case cannot meet here.)
void TestSendDialog::historyTakesNumberOnce() {
    Fixture f;
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer0", "0815");
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer1", "0711-1");
    TestRegistry::Set(f.reg.User(), kFax, "Rufnummer", "0815");
    f.state.m_printFile.path = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("0815")); // the last number
    QCOMPARE(f.dialog->m_comboNumber->Entries(), (QStringList{"0815", "0711-1"}));
    f.Type("0711-1");
    f.Click("btnOk");
    QCOMPARE(f.Stored(kHistory, "Nummer0"), QString("0711-1"));
    QCOMPARE(f.Stored(kHistory, "Nummer1"), QString("0815"));
    QCOMPARE(f.reg.User().Values(kHistory).size(), 2);
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("0711-1"));
}

void TestSendDialog::singleRowCopiesItsNumber() {
    Fixture f;
    f.Entries({"Anna\n0711 1", "Bernd\n0711 2"});
    QVERIFY(f.Open());
    QCOMPARE(f.busy.begun, 1);
    QCOMPARE(f.busy.depth, 0);
    auto* list = f.dialog->m_listRecipients;
    list->topLevelItem(1)->setSelected(true);
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("0711 2"));
    list->topLevelItem(0)->setSelected(true);
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("2 Empfänger"));
    f.dialog->OnRefresh(); // the list is filled anew, not doubled
    QCOMPARE(list->topLevelItemCount(), 2);
}

void TestSendDialog::closingClearsRows() {
    Fixture f;
    f.Entries({"Anna\n1"});
    f.state.m_printFile.path = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    QCOMPARE(f.dialog->m_listRecipients->topLevelItemCount(), 1);
    f.Type("1");
    f.Click("btnOk");
    QCOMPARE(f.dialog->m_listRecipients->topLevelItemCount(), 0);
}

void TestSendDialog::remarkKeepsToOemCharacters() {
    Fixture f;
    QVERIFY(f.Open());
    f.dialog->m_editRemark->clear();
    for (const QChar c : QString::fromUtf8("Grüße € ½ ✓")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(f.dialog->m_editRemark, &press);
    }
    QCOMPARE(f.dialog->m_editRemark->text(), QString::fromUtf8("Grüße ? ½ ?"));
}

void TestSendDialog::doubleClickBelowTheRowsSends() {
    Fixture f;
    f.Entries({"Anna\n1"});
    f.state.m_printFile.path = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    f.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    f.Type("0815");
    QWidget* viewport = f.dialog->m_listRecipients->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 3));
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), QStringList{"0815"});
}

// A file picked with "Dateiname..." is the one the job names.
void TestSendDialog::pickedFileIsSent() {
    Fixture f;
    const QString own = f.PrintFile("print.sff");
    const QString users = f.PrintFile("Mein Brief.sff", Sff("mine"));
    f.state.m_printFile = {own, true, false};
    f.state.m_bFileButton = 1;
    f.presence.running = true;
    QVERIFY(f.Open());
    f.files.openAnswer = users;
    f.Click("m_btnFileName");
    QCOMPARE(f.files.opens.value(0).preset, own);
    f.Type("0711 1");
    f.Click("btnOk");
    QVERIFY(f.dialog->IsClosed());
    const QByteArray job = ReadAll(f.app.m_strDataDir + "/Comjob/" + f.Spool("Comjob").value(0));
    QCOMPARE(JobValue(job, "FILENAME:"), QFile::encodeName(users));
    QVERIFY(QFile::exists(users));
    QVERIFY(!QFile::exists(own));
}

// The status line describes the file that goes: a picked file as soon as it is picked.
void TestSendDialog::pickedFileShownInStatus() {
    Fixture f;
    f.state.m_printFile = {f.PrintFile("print.sff"), true, false};
    f.state.m_bFileButton = 1;
    QVERIFY(f.Open());
    auto* status = f.dialog->findChild<QLabel*>("labelStatus");
    QVERIFY(status);
    QVERIFY2(status->text().startsWith("SFF-Format"), qPrintable(status->text()));
    f.files.openAnswer = f.PrintFile("Brief.txt", "Hallo");
    f.Click("m_btnFileName");
    QCOMPARE(status->text().section('\n', 0, 0), QString("ASCII-Format, 5 Bytes, Normal"));
}

void TestSendDialog::problemKeepsTheDialogOpen_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("print"); // empty: a FIFO
    QTest::addColumn<QList<int>>("journal");
    QTest::addColumn<QString>("text"); // "<print>" stands for the print file's path
    QTest::newRow("number with a line break")
        << "0711\n666" << Sff() << QList<int>{}
        << "Der Faxauftrag für 0711\n666 konnte nicht geschrieben werden.\n" + GetErrorText(EINVAL);
    QTest::newRow("SFF cut short") << "0711" << Sff().left(24) << QList<int>{}
                                   << "Die Datei '<print>' ist kein lesbares Faxdokument.";
    QTest::newRow("FIFO") << "0711" << QByteArray() << QList<int>{}
                          << "Kann Druckdatei nicht kopieren\nKeine reguläre Datei";
    QTest::newRow("journal refuses the only job")
        << "7" << Sff() << QList<int>{1}
        << "Der Faxauftrag für 7 konnte nicht geschrieben werden.\n"
           "Das Journal hat den Auftrag abgelehnt.";
}

// What stops an OK is shown with its number, file or reason; the dialog stays open and the
// print where it was.
void TestSendDialog::problemKeepsTheDialogOpen() {
    QFETCH(QString, number);
    QFETCH(QByteArray, print);
    QFETCH(QList<int>, journal);
    QFETCH(QString, text);
    Fixture f;
    QString path = f.dir.filePath("print.sff");
    if (print.isEmpty())
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        path = f.PrintFile("print.sff", print);
    f.state.m_printFile = {path, true, false};
    f.journalAnswers = journal;
    QVERIFY(f.Open());
    f.Type(number);
    f.Click("btnOk");
    QVERIFY(!f.dialog->IsClosed());
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].text, QString(text).replace("<print>", path));
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(f.Spool("Faxsend").isEmpty());
    QVERIFY(f.presence.asked.isEmpty());
}

// Once one job is placed the dialog closes; the recipients left without a job are counted.
void TestSendDialog::laterJobRefusedStillCloses() {
    Fixture f;
    f.Entries({"Name 7\n7", "Name 8\n8"});
    f.journalAnswers = {0, 1};
    f.presence.running = true;
    f.state.m_printFile = {f.PrintFile("print.sff"), true, false};
    QVERIFY(f.Open());
    f.dialog->m_listRecipients->selectAll();
    f.Click("btnOk");
    QVERIFY(f.dialog->IsClosed());
    QVERIFY(f.messages.messages.isEmpty());
    QCOMPARE(f.JobAddresses(), QStringList{"7"});
    QCOMPARE(f.dialog->JobsNotPlaced(), 1);
}

void TestSendDialog::presetSendTime_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("sendTime"); // of the job; empty: the dialog waits
    QTest::newRow("valid") << "24.12.2030 18:30" << QByteArray("30-12-24-18:30");
    QTest::newRow("31 February") << "31.02.2030 10:00" << QByteArray();
    QTest::newRow("29 February of a common year") << "29.02.2031 08:00" << QByteArray();
    QTest::newRow("no time at all") << "morgen früh" << QByteArray();
    QTest::newRow("hour 24") << "01.03.2030 24:00" << QByteArray();
}

// A usable preset send time is taken with the preset number at once; one that cannot be used
// never becomes "now": the dialog waits with a message naming it, and OK sends nothing until
// the user has chosen the time.
void TestSendDialog::presetSendTime() {
    QFETCH(QString, text);
    QFETCH(QByteArray, sendTime);
    Fixture f;
    f.presence.running = true;
    const QString print = f.PrintFile("print.sff");
    f.state.m_printFile = {print, true, false};
    f.state.m_strPresetNumber = "123";
    f.state.m_strPresetSendTime = text;
    if (!sendTime.isEmpty()) {
        QVERIFY(!f.Open());
        const QByteArray job =
            ReadAll(f.app.m_strDataDir + "/Comjob/" + f.Spool("Comjob").value(0));
        QCOMPARE(JobValue(job, "SENDTIME:"), sendTime);
        return;
    }
    QVERIFY(f.Open());
    QCOMPARE(f.messages.Ids(), QList<int>{634});
    QVERIFY2(f.messages.messages[0].text.contains("'" + text + "'"),
             qPrintable(f.messages.messages[0].text));
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("123"));
    QCOMPARE(f.dialog->m_bSendLater, 1);
    f.Click("btnOk");
    QVERIFY(!f.dialog->IsClosed());
    QCOMPARE(f.messages.Ids(), (QList<int>{634, 634}));
    QVERIFY(f.JobAddresses().isEmpty());
    QVERIFY(f.Spool("Faxsend").isEmpty());
    QVERIFY(QFile::exists(print));
}

QTEST_MAIN(TestSendDialog)
#include "tst_senddialog.moc"
