// The send dialog's initialisation, submit flow and cancel, offscreen, with every service
// outside the process faked.
#include "FakeAutomation.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "fax/SffWriter.h"
#include "ui/CZebComboBox.h"
#include "ui/FileDialogs.h"
#include "ui/SendDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <sys/stat.h>

namespace {

// A readable one-page SFF document whose user information record holds note, so that
// documents can be told apart.
QByteArray Sff(const QByteArray& note = "print") {
    SffWriter writer;
    writer.BeginPage(196);
    writer.AddRawRecord(QByteArray("\xFF") + char(note.size()) + note);
    writer.AddBlankRows(1);
    return writer.Finish();
}

const QString kFax = "Software\\ZEB\\Kalmo! 2.0\\Fax";
const QString kHistory = kFax + "\\Rufnummern";

class ScriptedFileDialogs final : public FileDialogs {
public:
    std::optional<QString> GetSaveFileName(QWidget*, const QString& filter, const QString& ext,
                                           const QString& start) override {
        saveCalls.append(QStringList{filter, ext, start});
        return saveAnswer;
    }
    std::optional<QString> GetOpenFileName(QWidget*, const QString&, const QString&) override {
        return openAnswer;
    }
    std::optional<QString> saveAnswer;
    std::optional<QString> openAnswer;
    QList<QStringList> saveCalls;
};

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
    ScriptedFileDialogs files;
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
    void selectedRowsWriteOneJobEach();
    void deselectedRowsKeepCountAndRefuse();
    void controlCharacterInAnyRowStopsTheOk();
    void startFaxApplication_data();
    void startFaxApplication();
    void colourPrintMoves_data();
    void colourPrintMoves();
    void cancelDeletesOwnPrintFile_data();
    void cancelDeletesOwnPrintFile();
    void historyKeepsNewestSpelling();
    void singleRowCopiesItsNumber();
    void closingClearsRows();
    void remarkKeepsToOemCharacters();
    void doubleClickBelowTheRowsSends();
    void pickedFileIsTheUsers_data();
    void pickedFileIsTheUsers();
    void checkedBeforeThePrintIsUsed_data();
    void checkedBeforeThePrintIsUsed();
    void noJobPlacedKeepsThePrint_data();
    void noJobPlacedKeepsThePrint();
};

void TestSendDialog::presetNumberSubmitsAtOnce() {
    Fixture f;
    const QByteArray bytes = Sff("and the rest of a print");
    f.state.m_strPrintFile = f.PrintFile("print.sff", bytes);
    f.state.m_bTemporary = 1;
    f.state.m_strPresetNumber = "123";
    f.state.m_strRemark = "Report";
    QVERIFY(!f.Open()); // closed before anybody acted
    QCOMPARE(f.JobAddresses(), QStringList{"123"});
    QCOMPARE(f.Spool("Faxsend"), QStringList{"_FX00000.SFF"});
    QCOMPARE(ReadAll(f.app.m_strDataDir + "/Faxsend/_FX00000.SFF"), bytes);
    QVERIFY(!QFile::exists(f.state.m_strPrintFile));
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
    f.dialog->OnOK();
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), QStringList{"0711 777"});
    const QByteArray job = ReadAll(f.app.m_strDataDir + "/Comjob/" + f.Spool("Comjob").value(0));
    QVERIFY(job.contains("FUNCTION:POLL\r\nFILENAME:\r\n"));
}

void TestSendDialog::redirect_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("copied") << true;
    QTest::newRow("cancelled") << false;
}

void TestSendDialog::redirect() {
    QFETCH(bool, chosen);
    Fixture f;
    f.state.m_strPrintFile = f.PrintFile("print.sff", "redirected bytes");
    f.state.m_bTemporary = 1;
    QVERIFY(f.Open());
    const QString target = f.dir.filePath("out.sff");
    if (chosen)
        f.files.saveAnswer = target;
    f.dialog->m_checkRedirect->setChecked(true);
    f.Type("999");
    f.dialog->OnOK();
    QCOMPARE(f.dialog->IsClosed(), chosen);
    QCOMPARE(f.files.saveCalls.size(), 1);
    QCOMPARE(f.files.saveCalls[0].value(0), QString("Fax-Dateien (*.sff)|*.sff||"));
    QCOMPARE(f.files.saveCalls[0].value(1), QString(".sff"));
    QCOMPARE(QFile::exists(target), chosen);
    if (chosen)
        QCOMPARE(ReadAll(target), QByteArray("redirected bytes"));
    QVERIFY(QFile::exists(f.state.m_strPrintFile)); // the temporary print file stays
    QVERIFY(f.JobAddresses().isEmpty());
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("<none>"));
    QVERIFY(f.messages.messages.isEmpty());
}

void TestSendDialog::selectedRowsWriteOneJobEach() {
    Fixture f;
    f.Entries({"Cäsar\n3", "Anna\n1", "Bernd\n2"});
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    QCOMPARE(f.dialog->m_listRecipients->topLevelItemCount(), 3);
    f.dialog->m_listRecipients->selectAll();
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("3 Empfänger"));
    f.dialog->OnOK();
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), (QStringList{"1", "2", "3"})); // in the list's order
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("<none>"));
    QVERIFY(f.reg.User().Values(kHistory).isEmpty());
}

void TestSendDialog::deselectedRowsKeepCountAndRefuse() {
    Fixture f;
    f.Entries({"Anna\n1", "Bernd\n2"});
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    f.state.m_bTemporary = 1;
    QVERIFY(f.Open());
    f.dialog->m_listRecipients->selectAll();
    f.dialog->m_listRecipients->clearSelection();
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("2 Empfänger"));
    f.dialog->OnOK();
    QVERIFY(!f.dialog->IsClosed());
    QCOMPARE(f.messages.Ids(), QList<int>{614});
    QVERIFY(QFile::exists(f.state.m_strPrintFile)); // not moved
    QVERIFY(f.Spool("Faxsend").isEmpty());
}

void TestSendDialog::controlCharacterInAnyRowStopsTheOk() {
    Fixture f;
    // The second row's number holds a tab: its job cannot be written.
    f.Entries({"Anna\n1", "Bernd\n2\t2", "Cäsar\n3"});
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    f.state.m_bTemporary = 1;
    QVERIFY(f.Open());
    f.dialog->m_listRecipients->selectAll();
    f.dialog->OnOK();
    // Found before any job is written or the print moved: nobody gets half an OK.
    QVERIFY(!f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), QStringList{});
    QCOMPARE(f.messages.Ids(), (QList<int>{628}));
    QVERIFY(f.messages.messages[0].text.startsWith(
        "Der Faxauftrag für 2\t2 konnte nicht geschrieben werden.\n"));
    QVERIFY(f.presence.asked.isEmpty());
    QVERIFY(QFile::exists(f.state.m_strPrintFile));
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
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    f.state.m_bSerialLetter = serialLetter ? 1 : 0;
    f.presence.running = running;
    f.messages.answers = {static_cast<MessageAnswer>(answer)};
    const QString program = "/opt/kalmo/KalFax32.exe";
    if (startError)
        f.processes.failures[program] = startError;
    QVERIFY(f.Open());
    f.Type("0711");
    f.dialog->OnOK();
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

void TestSendDialog::colourPrintMoves_data() {
    QTest::addColumn<bool>("companion");
    QTest::newRow("with its black-and-white companion") << true;
    QTest::newRow("companion missing: nothing said") << false;
}

void TestSendDialog::colourPrintMoves() {
    QFETCH(bool, companion);
    Fixture f;
    const QString cff = f.PrintFile("Tmp00000.CFF", "\xff\xd8\xff\xe0 colour");
    if (companion)
        f.PrintFile("Tmp00000.SFF", "Sfff companion");
    f.state.m_strPrintFile = cff;
    f.state.m_bTemporary = 1;
    f.state.m_bColour = 1;
    f.state.m_strPresetNumber = "42";
    f.presence.running = true;
    QVERIFY(!f.Open());
    QVERIFY(f.messages.messages.isEmpty());
    const QStringList expected =
        companion ? QStringList{"_FX00000.CFF", "_FX00000.SFF"} : QStringList{"_FX00000.CFF"};
    QCOMPARE(f.Spool("Faxsend"), expected);
    QCOMPARE(ReadAll(f.app.m_strDataDir + "/Faxsend/_FX00000.CFF"),
             QByteArray("\xff\xd8\xff\xe0 colour"));
    QVERIFY(!QFile::exists(cff));
    QVERIFY(!QFile::exists(f.dir.filePath("Tmp00000.SFF")));
    const QByteArray job = ReadAll(f.app.m_strDataDir + "/Comjob/" + f.Spool("Comjob").value(0));
    QVERIFY(job.contains("Faxsend/_FX00000.CFF\r\n"));
    QVERIFY(job.contains("CONVERT :CFF\r\nFAXRES  :196\r\n"));
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
    f.state.m_strPrintFile = f.PrintFile(option == "c" ? "Tmp00000.CFF" : "print.sff");
    f.state.m_bTemporary = option != "f";
    f.state.m_bColour = option == "c";
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
    QCOMPARE(QFile::exists(f.state.m_strPrintFile), !deleted);
    QVERIFY(f.JobAddresses().isEmpty());
}

void TestSendDialog::historyKeepsNewestSpelling() {
    Fixture f;
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer0", "0711-Fax");
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer1", "0815");
    TestRegistry::Set(f.reg.User(), kFax, "Rufnummer", "0815");
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    QCOMPARE(f.dialog->m_comboNumber->currentText(), QString("0815")); // the last number
    QCOMPARE(f.dialog->m_comboNumber->Entries(), (QStringList{"0711-Fax", "0815"}));
    f.Type("0711-FAX");
    f.dialog->OnOK();
    QCOMPARE(f.Stored(kHistory, "Nummer0"), QString("0711-FAX"));
    QCOMPARE(f.Stored(kHistory, "Nummer1"), QString("0815"));
    QCOMPARE(f.reg.User().Values(kHistory).size(), 2);
    QCOMPARE(f.Stored(kFax, "Rufnummer"), QString("0711-FAX"));
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
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    QCOMPARE(f.dialog->m_listRecipients->topLevelItemCount(), 1);
    f.Type("1");
    f.dialog->OnOK();
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
    f.state.m_strPrintFile = f.PrintFile("print.sff");
    QVERIFY(f.Open());
    f.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
    f.Type("0815");
    QWidget* viewport = f.dialog->m_listRecipients->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 3));
    QVERIFY(f.dialog->IsClosed());
    QCOMPARE(f.JobAddresses(), QStringList{"0815"});
}

void TestSendDialog::pickedFileIsTheUsers_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("pick"); // the user's own file, or one of the program's
    for (const char* option : {"d", "c"}) {
        QTest::addRow("/%s, Cancel", option) << option << false << "users";
        QTest::addRow("/%s, OK", option) << option << true << "users";
    }
    QTest::newRow("/c, OK on the colour print's companion") << "c" << true << "companion";
    QTest::newRow("/d, OK on the print file spelt with //") << "d" << true << "same";
}

// A file picked with "Dateiname..." is referenced where it lies, never moved or deleted; the
// program's own print file still goes, but never when it is the very file the job names.
void TestSendDialog::pickedFileIsTheUsers() {
    QFETCH(QString, option);
    QFETCH(bool, ok);
    QFETCH(QString, pick);
    Fixture f;
    const bool colour = option == "c";
    const QString own =
        colour ? f.PrintFile("Tmp00000.CFF", "\xff\xd8\xff\xe0 colour") : f.PrintFile("print.sff");
    const QString companion = f.PrintFile("Tmp00000.SFF", Sff("companion"));
    const QString users = f.PrintFile("Mein Brief.sff", Sff("mine"));
    f.state.m_strPrintFile = own;
    f.state.m_bTemporary = 1;
    f.state.m_bColour = colour;
    f.state.m_bFileButton = 1;
    f.presence.running = true;
    QVERIFY(f.Open());
    f.files.openAnswer = pick == "users"       ? users
                         : pick == "companion" ? companion
                                               : QString(own).replace("/print.sff", "//print.sff");
    f.dialog->OnFileName();
    if (ok) {
        f.Type("0711 1");
        f.dialog->OnOK();
    } else {
        f.dialog->OnCancel();
    }
    QVERIFY(f.dialog->IsClosed());
    if (ok) {
        const QByteArray job =
            ReadAll(f.app.m_strDataDir + "/Comjob/" + f.Spool("Comjob").value(0));
        const QString document = QString::fromUtf8(JobValue(job, "FILENAME:"));
        QVERIFY2(QFile::exists(document), qPrintable(document));
        if (pick == "users")
            QCOMPARE(document, users);
    }
    if (pick != "users")
        return;
    QCOMPARE(ReadAll(users), Sff("mine"));
    QVERIFY(!QFile::exists(own));
    QCOMPARE(QFile::exists(companion), !colour);
    QVERIFY(f.Spool("Faxsend").isEmpty());
}

void TestSendDialog::checkedBeforeThePrintIsUsed_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("dataFolder");
    QTest::addColumn<QByteArray>("print");
    QTest::addColumn<int>("message");
    QTest::newRow("number with a line break") << "0711\n666"
                                              << "Fax" << Sff() << 628;
    QTest::newRow("data folder with a line break") << "0711"
                                                   << "Fa\nx" << Sff() << 628;
    QTest::newRow("SFF cut short") << "0711"
                                   << "Fax" << Sff().left(24) << 630;
    QTest::newRow("FIFO") << "0711"
                          << "Fax" << QByteArray() << 613;
}

// What a job file cannot hold, and a print file that is no readable fax, are found before
// the print is moved: the dialog stays open, the print where it was, nothing in the spool.
void TestSendDialog::checkedBeforeThePrintIsUsed() {
    QFETCH(QString, number);
    QFETCH(QString, dataFolder);
    QFETCH(QByteArray, print);
    QFETCH(int, message);
    Fixture f;
    f.app.m_strDataDir = f.dir.filePath(dataFolder);
    f.app.CreateFolder(f.app.m_strDataDir);
    f.app.CreateSpoolFolders();
    QString path = f.dir.filePath("print.sff");
    if (print.isEmpty())
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        path = f.PrintFile("print.sff", print);
    f.state.m_strPrintFile = path;
    f.state.m_bTemporary = 1;
    f.state.m_strPresetNumber = number;
    QVERIFY(f.Open());
    QCOMPARE(f.messages.Ids(), QList<int>{message});
    if (message == 630)
        QCOMPARE(f.messages.messages[0].text,
                 "Die Datei '" + path + "' ist kein lesbares Faxdokument.");
    if (message == 613)
        QCOMPARE(f.messages.messages[0].text,
                 QString("Kann Druckdatei nicht kopieren\nKeine reguläre Datei"));
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(f.Spool("Faxsend").isEmpty());
    QVERIFY(f.Spool("Comjob").isEmpty());
}

void TestSendDialog::noJobPlacedKeepsThePrint_data() {
    QTest::addColumn<QList<int>>("journal");
    QTest::addColumn<QString>("numbers");
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<QStringList>("jobs");
    QTest::newRow("journal refuses the only job")
        << QList<int>{1} << "7" << QList<int>{628} << QStringList{};
    QTest::newRow("journal refuses the second")
        << QList<int>{0, 1} << "7,8" << QList<int>{} << QStringList{"7"};
}

// The print is used up only when a job names it: an OK without any job removes the spool
// copy again and keeps the dialog open, with the reason.
void TestSendDialog::noJobPlacedKeepsThePrint() {
    QFETCH(QList<int>, journal);
    QFETCH(QString, numbers);
    QFETCH(QList<int>, messages);
    QFETCH(QStringList, jobs);
    Fixture f;
    QStringList entries;
    for (const QString& n : numbers.split(','))
        entries << "Name " + n + "\n" + n;
    f.Entries(entries);
    f.journalAnswers = journal;
    f.presence.running = true;
    const QString print = f.PrintFile("print.sff");
    f.state.m_strPrintFile = print;
    f.state.m_bTemporary = 1;
    QVERIFY(f.Open());
    f.dialog->m_listRecipients->selectAll();
    if (entries.size() == 1)
        f.Type(numbers);
    f.dialog->OnOK();
    QCOMPARE(f.messages.Ids(), messages);
    QCOMPARE(f.JobAddresses(), jobs);
    QCOMPARE(f.dialog->IsClosed(), !jobs.isEmpty());
    QCOMPARE(QFile::exists(print), jobs.isEmpty());
    QCOMPARE(f.Spool("Faxsend"), jobs.isEmpty() ? QStringList{} : QStringList{"_FX00000.SFF"});
    if (jobs.isEmpty())
        QCOMPARE(f.messages.messages[0].text,
                 QString("Der Faxauftrag für 7 konnte nicht geschrieben werden.\n"
                         "Das Journal hat den Auftrag abgelehnt."));
    else
        QCOMPARE(f.dialog->JobsNotPlaced(), 1);
}

QTEST_MAIN(TestSendDialog)
#include "tst_senddialog.moc"
