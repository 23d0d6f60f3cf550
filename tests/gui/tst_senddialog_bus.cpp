// The send dialog, offscreen, reading its rows and handing over its jobs over the private
// session bus: the own address book, Outlook's contacts, CDO and the journal are the stand-in's
// servers; programs, presence, file dialogs, clock and wait cursor are faked.
#include "DBusTestBus.h"
#include "FakeFileDialogs.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "fax/SffWriter.h"
#include "platform/DBusAutomation.h"
#include "support/StringIds.h"
#include "ui/CZebComboBox.h"
#include "ui/SendDialog.h"

#include <QBitmap>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

namespace {

const QString kFax = QStringLiteral("Software\\ZEB\\Kalmo! 2.0\\Fax");

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Lines(const QString& path) {
    return QString::fromUtf8(ReadAll(path)).split(u'\n', Qt::SkipEmptyParts);
}

// The pictures a row may carry, cut from the same strip the dialog uses.
QList<QImage> RowImages() {
    QPixmap strip(QStringLiteral(":/images/rows.xpm"));
    strip.setMask(strip.createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor));
    QList<QImage> images;
    for (int i = 0; i * 16 + 16 <= strip.width(); ++i)
        images.append(
            strip.copy(i * 16, 0, 16, 15).toImage().convertToFormat(QImage::Format_ARGB32));
    return images;
}

// The index of a row's picture; -1 when it has none or another one.
int ImageIndex(const QIcon& icon) {
    if (icon.isNull())
        return -1;
    static const QList<QImage> images = RowImages();
    const QImage shown =
        icon.pixmap(QSize(16, 15)).toImage().convertToFormat(QImage::Format_ARGB32);
    return static_cast<int>(images.indexOf(shown));
}

// The stand-in's address sources and their settings in the dialog.
const QByteArray kMeierBusiness =
    R"({"default": {"name": "Kontakte", "kind": 2, "items": [{"name": "Meier", "business": "111"}]}})";
const QByteArray kMeierBusinessHome = R"({"default": {"name": "Kontakte", "kind": 2,
    "items": [{"name": "Meier", "business": "111", "home": "222"}]}})";
const QByteArray kCustomers = R"({"folders": [
    {"name": "Ablage", "kind": 0, "folders": [
        {"name": "Kunden", "kind": 2, "items": [{"name": "Kunde", "business": "777"}]}]}],
  "default": {"name": "Kontakte", "kind": 2, "items": [{"name": "Meier", "business": "111"}]}})";
const QByteArray kBrokenItem = R"({"default": {"name": "Kontakte", "kind": 2, "items": [
    {"name": "Meier", "business": "111"},
    {"name": "Kaputt", "business": "333", "fail": {"0x3A24": "80020003: Member not found."}},
    {"name": "Schulz", "home": "222"}]}})";
const QByteArray kCdoMeier = R"({"profiles": ["Standard"], "lists": [
    {"name": "Global", "entries": [
        {"name": "Meier", "fields": {"0x3A23001E": "333", "0x3A24001E": "111"}}]},
    {"name": "Privat", "entries": [{"name": "Schulz", "fields": {"0x3A25001E": "444"}}]}]})";

} // namespace

class TestSendDialogBus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void ownAddressBook_data();
    void ownAddressBook();
    void closingEmptiesTheList_data();
    void closingEmptiesTheList();
    void outlookContacts_data();
    void outlookContacts();
    void cdo_data();
    void cdo();
    void refusedLogonIsTriedAgainOnRefresh();
    void ownAddressBookFailureStillLoadsOutlook_data();
    void ownAddressBookFailureStillLoadsOutlook();
    void okOnOutlookRowWritesItsJob();
    void readAllAndWalkGiveTheSameRows_data();
    void readAllAndWalkGiveTheSameRows();
    void usableWhileASourceIsHeld();
    void refreshOvertakesTheRunningFill();
    void typingFindsARowByName();

private:
    struct Fixture;
    struct Settings {
        int useOutlook = 0;
        QString contacts;
        QString profile;
        QString addressList;
    };
    // The settings UseOutlook, OutlookKontakte, OutlookProfil and OutlookAdressbuch.
    static Settings Use(int useOutlook, const QString& contacts = {}, const QString& profile = {},
                        const QString& addressList = {}) {
        return Settings{useOutlook, contacts, profile, addressList};
    }
    // The dialog after its initialisation, with its rows read unless wait is false.
    std::unique_ptr<Fixture> Open(const Settings& settings, bool withPrintFile = false,
                                  bool wait = true);
    static void Refresh(SendDialog& dialog);
    // While the returned guard lives the stand-in's own address book holds back its answers.
    std::shared_ptr<void> HoldAddressBook();
    static QStringList Rows(const SendDialog& dialog);
    static QStringList Messages(const RecordingMessenger& messenger);

    QTemporaryDir m_dir;
    QString m_book, m_bookErrors, m_outlook, m_outlookLog, m_mapi, m_mapiLog, m_journal;
    QString m_bookCalls, m_noReadAll, m_hold;
    DBusAutomationClient m_client;
};

struct TestSendDialogBus::Fixture {
    QTemporaryDir dir;
    TestRegistry reg;
    RecordingMessenger messages;
    AppBase app{reg.registry(), messages};
    FakeProcessLauncher processes;
    FakePresence presence;
    FakeFileDialogs files;
    CountingBusy busy;
    FixedClock clock{QDateTime(QDate(2026, 12, 24), QTime(10, 0))};
    SendDialogState state;
    std::unique_ptr<SendDialog> dialog;

    // Job files in Comjob, each as its ADDRESS, in name order.
    QStringList JobAddresses() const {
        QStringList addresses;
        const QDir comjob(app.m_strDataDir + QStringLiteral("/Comjob"));
        for (const QString& name : comjob.entryList(QDir::Files, QDir::Name)) {
            for (const QByteArray& line : ReadAll(comjob.filePath(name)).split('\n'))
                if (line.startsWith("ADDRESS :"))
                    addresses << QString::fromLatin1(line.mid(9).trimmed());
        }
        return addresses;
    }
};

void TestSendDialogBus::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(m_client.Initialise());
    m_book = m_dir.filePath(QStringLiteral("book.txt"));
    m_bookErrors = m_dir.filePath(QStringLiteral("book-errors.txt"));
    m_outlook = m_dir.filePath(QStringLiteral("outlook.json"));
    m_outlookLog = m_dir.filePath(QStringLiteral("outlook.log"));
    m_mapi = m_dir.filePath(QStringLiteral("mapi.json"));
    m_mapiLog = m_dir.filePath(QStringLiteral("mapi.log"));
    m_journal = m_dir.filePath(QStringLiteral("journal.txt"));
    m_bookCalls = m_dir.filePath(QStringLiteral("book-calls.txt"));
    m_noReadAll = m_dir.filePath(QStringLiteral("no-readall"));
    m_hold = m_dir.filePath(QStringLiteral("hold"));
    // The servers keep these for the whole program; the tests rewrite the files.
    QVERIFY(dbustest::SetActivationEnvironment(
        {{QStringLiteral("KALMO_STANDIN_ADDRESSBOOK"), m_book},
         {QStringLiteral("KALMO_STANDIN_ADDRESSBOOK_ERROR_FILE"), m_bookErrors},
         {QStringLiteral("KALMO_STANDIN_OUTLOOK"), m_outlook},
         {QStringLiteral("KALMO_STANDIN_OUTLOOK_LOG"), m_outlookLog},
         {QStringLiteral("KALMO_STANDIN_MAPI"), m_mapi},
         {QStringLiteral("KALMO_STANDIN_MAPI_LOG"), m_mapiLog},
         {QStringLiteral("KALMO_STANDIN_JOURNAL"), m_journal},
         {QStringLiteral("KALMO_STANDIN_ADDRESSBOOK_CALLS"), m_bookCalls},
         {QStringLiteral("KALMO_STANDIN_NO_READALL"), m_noReadAll},
         {QStringLiteral("KALMO_STANDIN_HOLD"), m_hold}}));
}

void TestSendDialogBus::init() {
    WriteAll(m_book, QByteArray());
    QFile::remove(m_bookErrors);
    WriteAll(m_outlook, "{}");
    WriteAll(m_mapi, "{}");
    WriteAll(m_outlookLog, QByteArray());
    WriteAll(m_mapiLog, QByteArray());
    WriteAll(m_journal, QByteArray());
    WriteAll(m_bookCalls, QByteArray());
    QFile::remove(m_noReadAll);
    QFile::remove(m_hold);
}

std::unique_ptr<TestSendDialogBus::Fixture> TestSendDialogBus::Open(const Settings& settings,
                                                                    bool withPrintFile, bool wait) {
    auto f = std::make_unique<Fixture>();
    f->app.SetRegistryKey(fax::kRegistryCompany);
    f->app.SetProfileName(fax::kProfileName);
    f->app.m_strTitlePrefix = fax::kTitlePrefix;
    f->app.m_strDataDir = f->dir.filePath(QStringLiteral("Fax"));
    f->app.m_strSystemDir = QStringLiteral("/opt/kalmo");
    f->app.CreateFolder(f->app.m_strDataDir);
    f->app.CreateSpoolFolders();
    f->presence.running = true;

    RegistryStore& user = f->reg.User();
    user.CreateKey(kFax);
    user.SetValue(kFax, QStringLiteral("UseOutlook"), RegValue::FromInteger(settings.useOutlook));
    TestRegistry::Set(user, kFax, QStringLiteral("OutlookKontakte"), settings.contacts);
    TestRegistry::Set(user, kFax, QStringLiteral("OutlookProfil"), settings.profile);
    TestRegistry::Set(user, kFax, QStringLiteral("OutlookAdressbuch"), settings.addressList);

    if (withPrintFile) {
        f->state.m_printFile.path = f->dir.filePath(QStringLiteral("print.sff"));
        SffWriter writer;
        writer.BeginPage(196);
        writer.AddBlankRows(1);
        WriteAll(f->state.m_printFile.path, writer.Finish());
    }
    const SendServices services{f->app,   m_client, f->processes, f->presence,
                                f->files, f->busy,  f->clock};
    f->dialog = std::make_unique<SendDialog>(services, f->state);
    f->dialog->OnInitDialog();
    // A fill that does not end shows as missing rows in the test's comparisons.
    if (wait)
        (void)QTest::qWaitFor([&f] { return !f->dialog->IsFilling(); }, 20000);
    return f;
}

void TestSendDialogBus::Refresh(SendDialog& dialog) {
    dialog.OnRefresh();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsFilling(), 20000);
}

std::shared_ptr<void> TestSendDialogBus::HoldAddressBook() {
    WriteAll(m_hold, "held");
    return std::shared_ptr<void>(nullptr, [hold = m_hold](void*) { QFile::remove(hold); });
}

// The rows as "name=number/image", in the list's order.
QStringList TestSendDialogBus::Rows(const SendDialog& dialog) {
    QStringList rows;
    const QTreeWidget* list = dialog.m_listRecipients;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << QStringLiteral("%1=%2/%3")
                    .arg(item->text(0), SendDialog::RowNumber(item))
                    .arg(ImageIndex(item->icon(0)));
    }
    return rows;
}

QStringList TestSendDialogBus::Messages(const RecordingMessenger& messenger) {
    QStringList shown;
    for (const RecordingMessenger::Message& m : messenger.messages)
        shown << QString::number(m.id) + QStringLiteral(": ") + m.text;
    return shown;
}

void TestSendDialogBus::ownAddressBook_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("rows"); // in any order
    QTest::newRow("Meier") << QByteArray("Meier\t123\n") << QStringList{"Meier=123/0"};
    QTest::newRow("no line feed") << QByteArray("Meier 123\n") << QStringList();
    QTest::newRow("empty name") << QByteArray("\t123\n") << QStringList();
    QTest::newRow("empty number") << QByteArray("Meier\t\n") << QStringList();
    QTest::newRow("third field ignored")
        << QByteArray("Meier\t123\tBüro\n") << QStringList{"Meier=123/0"};
    QTest::newRow("two Meiers") << QByteArray("Meier\t123\r\nMeier\t456\r\n")
                                << QStringList{"Meier=123/0", "Meier=456/0"};
    QTest::newRow("good among bad") << QByteArray("Ohne Nummer\t\nSchulz\t789\n\t5\nAnna\t1\n")
                                    << QStringList{"Anna=1/0", "Schulz=789/0"};
}

void TestSendDialogBus::ownAddressBook() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, rows);
    WriteAll(m_book, file);
    const auto f = Open(Use(0));
    QVERIFY(!f->dialog->IsClosed());
    QVERIFY(f->messages.messages.isEmpty());
    QCOMPARE(f->busy.depth, 0);
    QStringList shown = Rows(*f->dialog);
    shown.sort();
    QCOMPARE(shown, rows);

    // Refreshing reads the book anew instead of adding to the rows.
    Refresh(*f->dialog);
    Refresh(*f->dialog);
    shown = Rows(*f->dialog);
    shown.sort();
    QCOMPARE(shown, rows);
    QVERIFY(f->messages.messages.isEmpty());
    QCOMPARE(f->busy.depth, 0);
}

void TestSendDialogBus::closingEmptiesTheList_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("done") << QStringLiteral("done");
    QTest::newRow("close box") << QStringLiteral("close");
}

void TestSendDialogBus::closingEmptiesTheList() {
    QFETCH(QString, how);
    WriteAll(m_book, "Meier\t123\nSchulz\t456\n");
    WriteAll(m_outlook, kMeierBusiness);
    const auto f = Open(Use(2));
    QCOMPARE(f->dialog->m_listRecipients->topLevelItemCount(), 3);
    if (how == u"done") {
        static_cast<QDialog*>(f->dialog.get())->done(QDialog::Accepted);
    } else {
        f->dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(f->dialog.get()));
        f->dialog->close();
        QVERIFY(f->dialog->IsClosed());
    }
    QCOMPARE(f->dialog->m_listRecipients->topLevelItemCount(), 0);
    QVERIFY(f->JobAddresses().isEmpty());
}

void TestSendDialogBus::outlookContacts_data() {
    QTest::addColumn<int>("useOutlook");
    QTest::addColumn<QString>("folder"); // OutlookKontakte
    QTest::addColumn<QByteArray>("book");
    QTest::addColumn<QByteArray>("outlook");
    QTest::addColumn<QStringList>("rows"); // in the list's order
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("business fax") << 2 << "" << QByteArray() << kMeierBusiness
                                  << QStringList{"Meier=111/1"} << QStringList();
    QTest::newRow("business and home beside the own book")
        << 2 << "" << QByteArray("Meier\t123\nAnna\t5\n") << kMeierBusinessHome
        << QStringList{"Anna=5/0", "Meier=123/0", "Meier (gesch.)=111/1", "Meier (privat)=222/1"}
        << QStringList();
    QTest::newRow("setting 7 also reads the contacts")
        << 7 << "" << QByteArray("Anna\t5\n") << kMeierBusiness
        << QStringList{"Anna=5/0", "Meier=111/1"} << QStringList();
    QTest::newRow("named contacts folder") << 2 << "Kunden" << QByteArray() << kCustomers
                                           << QStringList{"Kunde=777/1"} << QStringList();
    QTest::newRow("setting 0: no Outlook")
        << 0 << "" << QByteArray("Anna\t5\n") << kMeierBusinessHome << QStringList{"Anna=5/0"}
        << QStringList();
    QTest::newRow("error on an item keeps the rows before")
        << 2 << "" << QByteArray("Anna\t5\n") << kBrokenItem
        << QStringList{"Anna=5/0", "Meier=111/1"}
        << QStringList{"623: Das Outlook 98-Adressbuch kann nicht gelesen werden\n\n"
                       "Member not found."};
}

void TestSendDialogBus::outlookContacts() {
    QFETCH(int, useOutlook);
    QFETCH(QString, folder);
    QFETCH(QByteArray, book);
    QFETCH(QByteArray, outlook);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, messages);
    WriteAll(m_book, book);
    WriteAll(m_outlook, outlook);
    const auto f = Open(Use(useOutlook, folder));
    QCOMPARE(Rows(*f->dialog), rows);
    QCOMPARE(Messages(f->messages), messages);
    QCOMPARE(f->busy.depth, 0);
    const QStringList log = Lines(m_outlookLog);
    QCOMPARE(log.count(QStringLiteral("application\tcreate")), useOutlook == 0 ? 0 : 1);
    if (useOutlook == 0)
        QVERIFY2(log.isEmpty(), qPrintable(log.join(u'|')));
    // The contacts folder is never read through CDO.
    QVERIFY(Lines(m_mapiLog).isEmpty());
}

void TestSendDialogBus::cdo_data() {
    QTest::addColumn<QString>("profile");     // OutlookProfil
    QTest::addColumn<QString>("addressList"); // OutlookAdressbuch
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("calls"); // log-on and list calls, in order

    const QString logon = QStringLiteral("session\t119\tmethod");
    QTest::newRow("default profile, first list")
        << ""
        << "" << QStringList{"Meier=333/1", "Meier (gesch.)=111/1"}
        << QStringList{logon, QStringLiteral("lists\t21\tget\ti:1")};
    QTest::newRow("named profile and list")
        << "Standard"
        << "Privat" << QStringList{"Schulz=444/1"}
        << QStringList{logon + QStringLiteral("\ts:Standard"),
                       QStringLiteral("lists\t21\tget\ts:Privat")};
}

void TestSendDialogBus::cdo() {
    QFETCH(QString, profile);
    QFETCH(QString, addressList);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, calls);
    WriteAll(m_mapi, kCdoMeier);
    const auto f = Open(Use(1, {}, profile, addressList));
    QCOMPARE(Rows(*f->dialog), rows);
    QVERIFY(f->messages.messages.isEmpty());
    QCOMPARE(f->busy.depth, 0);
    QStringList made;
    for (const QString& line : Lines(m_mapiLog))
        if (line.startsWith(u"session\t119") || line.startsWith(u"lists\t21"))
            made << line;
    QCOMPARE(made, calls);
    QVERIFY(Lines(m_outlookLog).isEmpty());
}

void TestSendDialogBus::refusedLogonIsTriedAgainOnRefresh() {
    WriteAll(m_book, "Anna\t5\n");
    WriteAll(m_mapi, R"({"logonError": "80040111: Kennwort falsch"})");
    const auto f = Open(Use(1));
    QCOMPARE(Messages(f->messages),
             QStringList{"621: Das Outlook 98-Adressbuch kann nicht geöffnet werden\n\n"
                         "Kennwort falsch"});
    QCOMPARE(Rows(*f->dialog), QStringList{"Anna=5/0"});

    WriteAll(m_mapi, kCdoMeier);
    f->messages.Clear();
    Refresh(*f->dialog);
    QVERIFY(f->messages.messages.isEmpty());
    QCOMPARE(Rows(*f->dialog), (QStringList{"Anna=5/0", "Meier=333/1", "Meier (gesch.)=111/1"}));
    const QStringList log = Lines(m_mapiLog);
    QCOMPARE(log.count(QStringLiteral("session\tcreate")), 1);
    QCOMPARE(log.count(QStringLiteral("session\t119\tmethod")), 2);
    QCOMPARE(f->busy.depth, 0);
}

void TestSendDialogBus::ownAddressBookFailureStillLoadsOutlook_data() {
    QTest::addColumn<bool>("readAll");
    QTest::addColumn<QByteArray>("error"); // the failing call
    QTest::newRow("whole book in one call") << true << QByteArray("19265 1 80004005: kaputt\n");
    QTest::newRow("opening the walk") << false << QByteArray("2 1 80004005: kaputt\n");
}

void TestSendDialogBus::ownAddressBookFailureStillLoadsOutlook() {
    QFETCH(bool, readAll);
    QFETCH(QByteArray, error);
    if (!readAll)
        WriteAll(m_noReadAll, "off");
    WriteAll(m_book, "Anna\t5\n");
    WriteAll(m_bookErrors, error);
    WriteAll(m_outlook, kMeierBusinessHome);
    const auto f = Open(Use(2));
    QCOMPARE(f->messages.Ids(), QList<int>{IDS_ERR_ADDRESSBOOK_CONNECT});
    QCOMPARE(f->messages.messages[0].text,
             QStringLiteral("Verbindung zum Adressbuch kann nicht hergestellt werden. "
                            "(#80004005)\nkaputt"));
    QCOMPARE(Rows(*f->dialog), (QStringList{"Meier (gesch.)=111/1", "Meier (privat)=222/1"}));
    QCOMPARE(f->busy.depth, 0);
}

void TestSendDialogBus::okOnOutlookRowWritesItsJob() {
    WriteAll(m_book, "Anna\t5\n");
    WriteAll(m_outlook, kMeierBusinessHome);
    const auto f = Open(Use(2), true);
    auto* list = f->dialog->m_listRecipients;
    QCOMPARE(Rows(*f->dialog).value(2), QStringLiteral("Meier (privat)=222/1"));
    list->topLevelItem(2)->setSelected(true);
    QCOMPARE(f->dialog->m_comboNumber->currentText(), QStringLiteral("222"));
    f->dialog->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    QVERIFY(f->dialog->IsClosed());
    QVERIFY(f->messages.messages.isEmpty());
    QCOMPARE(f->JobAddresses(), QStringList{"222"});
    const QList<dbustest::CallLogLine> journal = dbustest::ReadCallLog(m_journal);
    QCOMPARE(journal.size(), 1);
    QCOMPARE(journal[0].dispid, 1);
    QCOMPARE(journal[0].values.value(2), QStringLiteral("222"));
}

void TestSendDialogBus::readAllAndWalkGiveTheSameRows_data() {
    QTest::addColumn<bool>("readAll");
    QTest::addColumn<int>("useOutlook");
    QTest::addColumn<QStringList>("rows"); // in the list's order
    // Equal names keep the order of the sources: the own book's row first.
    const QStringList withCdo{"Anna=5/0",    "Meier=123/0",          "Meier=456/0",
                              "Meier=333/1", "Meier (gesch.)=111/1", "Schulz=9/0"};
    const QStringList withContacts{"Anna=5/0",  "Meier=123/0",          "Meier=456/0",
                                   "Meier=1/1", "Meier (gesch.)=111/1", "Meier (privat)=222/1",
                                   "Schulz=9/0"};
    QTest::newRow("CDO, one call a source") << true << 1 << withCdo;
    QTest::newRow("CDO, walked") << false << 1 << withCdo;
    QTest::newRow("contacts, one call a source") << true << 2 << withContacts;
    QTest::newRow("contacts, walked") << false << 2 << withContacts;
}

void TestSendDialogBus::readAllAndWalkGiveTheSameRows() {
    QFETCH(bool, readAll);
    QFETCH(int, useOutlook);
    QFETCH(QStringList, rows);
    if (!readAll)
        WriteAll(m_noReadAll, "off");
    WriteAll(m_book, "Schulz\t9\nMeier\t123\nOhne\t\nMeier\t456\nAnna\t5\n");
    WriteAll(m_mapi, R"({"lists": [{"name": "Global", "entries": [
        {"name": "Meier", "fields": {"0x3A23001E": "333", "0x3A24001E": "111"}},
        {"name": "", "fields": {"0x3A23001E": "8"}},
        {"name": "Nach dem Ende", "fields": {"0x3A23001E": "7"}}]}]})");
    WriteAll(m_outlook, R"({"default": {"name": "Kontakte", "kind": 2, "items": [
        {"name": "Meier", "business": "111", "home": "222"},
        {"name": "", "business": "8"},
        {"name": "Meier", "business": "1"}]}})");
    const auto f = Open(Use(useOutlook));
    QCOMPARE(Rows(*f->dialog), rows);
    QVERIFY(f->messages.messages.isEmpty());

    // One call reads the own book where it offers that; else the walk after the refused call.
    QStringList calls;
    for (const dbustest::CallLogLine& line : dbustest::ReadCallLog(m_bookCalls))
        calls << QString::number(line.dispid);
    const QStringList walk{"19265", "2", "4", "3", "4", "3", "4", "3", "4", "3", "4", "3", "1"};
    QCOMPARE(calls, readAll ? QStringList{"19265"} : walk);
    const QStringList sourceLog = Lines(useOutlook == 1 ? m_mapiLog : m_outlookLog);
    const bool walked = std::any_of(sourceLog.begin(), sourceLog.end(), [](const QString& line) {
        return line.contains(u"\t109\t") || line.contains(u"\t86\t");
    });
    QCOMPARE(walked, !readAll);
}

void TestSendDialogBus::usableWhileASourceIsHeld() {
    WriteAll(m_book, "Anna\t5\nBernd\t6\n");
    auto hold = HoldAddressBook();
    const auto f = Open(Use(0), true, false);
    SendDialog& dialog = *f->dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Shown and usable while the address book has not answered.
    QVERIFY(dialog.IsFilling());
    QCOMPARE(dialog.m_listRecipients->topLevelItemCount(), 0);
    QCOMPARE(f->busy.begun, 0);
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("labelRecipients"))->text() != u"Empfänger");
    QTest::keyClicks(dialog.m_comboNumber->lineEdit(), QStringLiteral("0711 42"));
    dialog.findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    QVERIFY(dialog.IsClosed());
    QVERIFY(!dialog.IsFilling());
    QCOMPARE(f->JobAddresses(), QStringList{"0711 42"});

    // The held answer comes after OK: none of its rows reach the list.
    hold.reset();
    QTest::qWait(300);
    QCOMPARE(dialog.m_listRecipients->topLevelItemCount(), 0);
    QVERIFY(f->messages.messages.isEmpty());
}

void TestSendDialogBus::refreshOvertakesTheRunningFill() {
    WriteAll(m_book, "Anna\t5\n");
    WriteAll(m_outlook, kMeierBusiness);
    auto hold = HoldAddressBook();
    const auto f = Open(Use(2), false, false);
    SendDialog& dialog = *f->dialog;
    QVERIFY(dialog.IsFilling());
    // A refresh with Outlook turned off while the first fill waits for the address book.
    dialog.m_bUseOutlook = 0;
    dialog.OnRefresh();
    hold.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsFilling(), 20000);
    // The overtaken fill never read Outlook, and the new one shows the book once.
    QTest::qWait(200);
    QCOMPARE(Rows(dialog), QStringList{"Anna=5/0"});
    QCOMPARE(Lines(m_outlookLog).count(QStringLiteral("application\tcreate")), 0);
    QVERIFY(f->messages.messages.isEmpty());
}

void TestSendDialogBus::typingFindsARowByName() {
    WriteAll(m_book, "Anna\t5\nBernd\t6\nSchulz\t7\nSchmidt\t8\n");
    const auto f = Open(Use(0));
    SendDialog& dialog = *f->dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.m_listRecipients->setFocus();
    QTest::keyClicks(dialog.m_listRecipients, QStringLiteral("schu"));
    QCOMPARE(dialog.m_comboNumber->currentText(), QStringLiteral("7"));
    // The number shows beside the name.
    const QTreeWidgetItem* row = dialog.m_listRecipients->currentItem();
    QCOMPARE(row->text(0), QStringLiteral("Schulz"));
    QCOMPARE(row->text(1), QStringLiteral("7"));
}

QTEST_MAIN(TestSendDialogBus)
#include "tst_senddialog_bus.moc"
