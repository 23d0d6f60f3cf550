// The Outlook and CDO connectors over the session bus, against the stand-in's
// Outlook.Application and MAPI.Session with their data files.

#include "DBusTestBus.h"
#include "RecordingMessenger.h"
#include "RecordingRecipientList.h"
#include "ServiceFakes.h"
#include "addressbook/MapiSession.h"
#include "addressbook/OutlookContacts.h"
#include "addressbook/OwnAddressBook.h"
#include "fax/FaxContract.h"
#include "platform/DBusAutomation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteAll(const QString& path, const QString& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

// Creation of the own address book fails as when no service provides it; everything else
// goes to the bus.
class NoOwnAddressBook final : public AutomationClient {
public:
    explicit NoOwnAddressBook(AutomationClient& bus) : m_bus(bus) {}
    bool Initialise() override { return m_bus.Initialise(); }
    DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) override {
        if (progId == fax::kProgIdAddressBook) {
            failure = {scode::kClassNotRegistered,
                       AutomationStatusText(scode::kClassNotRegistered)};
            return nullptr;
        }
        return m_bus.CreateInstance(progId, failure);
    }

private:
    AutomationClient& m_bus;
};

const QString kMeierBusinessOnly = QStringLiteral(
    R"({"default": {"name": "Kontakte", "kind": 2,
                    "items": [{"name": "Meier", "business": "111"}]}})");

// Contacts "Kunden" three levels deep under the second top-level folder.
const QString kNested = QStringLiteral(R"({"folders": [
    {"name": "Posteingang", "kind": 0, "folders": [{"name": "Archiv", "kind": 0}]},
    {"name": "Ablage", "kind": 0, "folders": [
        {"name": "Firma", "kind": 0, "folders": [
            {"name": "Kunden", "kind": 2,
             "items": [{"name": "Meier", "business": "111", "home": "222"}]}]}]}],
  "default": {"name": "Kontakte", "kind": 2, "items": [{"name": "Falsch", "business": "999"}]}})");

// "Kunden" first as a mail folder holding a contacts folder "Kunden", then as a top-level
// contacts folder: depth first, the inner one comes before the second top-level one.
const QString kTwoOfOneName = QStringLiteral(R"({"folders": [
    {"name": "Kunden", "kind": 0, "folders": [
        {"name": "Kunden", "kind": 2, "items": [{"name": "Tief", "business": "1"}]}]},
    {"name": "Kunden", "kind": 2, "items": [{"name": "Flach", "business": "2"}]}]})");

const QString kBrokenItem = QStringLiteral(R"({"default": {"name": "Kontakte", "kind": 2, "items": [
    {"name": "Meier", "business": "111"},
    {"name": "Kaputt", "business": "333", "fail": {"0x3A24": "80020003: Member not found."}},
    {"name": "Schulz", "home": "222"}]}})");

const QString kCdoLists = QStringLiteral(R"({"lists": [
    {"name": "Global", "entries": [
        {"name": "Meier", "fields": {"0x3A23001E": "333", "0x3A24001E": "111"}},
        {"name": "Huber", "fields": {"0x3A23001E": "1", "0x3A24001E": "2", "0x3A25001E": "3"}}]},
    {"name": "Privat", "entries": [
        {"name": "Schulz", "fields": {"0x3A25001E": "444"}},
        {"name": ""},
        {"name": "Danach", "fields": {"0x3A23001E": "555"}}]},
    {"name": "Leer", "entries": []}]})");

struct Run {
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
};

} // namespace

class TestOutlookBus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void contactsFolder_data();
    void contactsFolder();
    void defaultFolderDoesNotWalkTheTree();
    void cdo_data();
    void cdo();
    void refusedLogonIsTriedAgainWithTheSameSession();
    void noAutomationGives618();
    void ownAddressBookFailureStillLoadsOutlook();

private:
    void Load(Run& run, const OutlookSettings& settings);
    QStringList Log(const QString& path) const;

    QTemporaryDir m_dir;
    QString m_outlook, m_outlookLog, m_mapi, m_mapiLog;
    DBusAutomationClient m_client;
    MapiSession m_session;
};

void TestOutlookBus::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(m_client.Initialise());
    m_outlook = m_dir.filePath(QStringLiteral("outlook.json"));
    m_outlookLog = m_dir.filePath(QStringLiteral("outlook.log"));
    m_mapi = m_dir.filePath(QStringLiteral("mapi.json"));
    m_mapiLog = m_dir.filePath(QStringLiteral("mapi.log"));
    QVERIFY(dbustest::SetActivationEnvironment(
        {{QStringLiteral("KALMO_STANDIN_OUTLOOK"), m_outlook},
         {QStringLiteral("KALMO_STANDIN_OUTLOOK_LOG"), m_outlookLog},
         {QStringLiteral("KALMO_STANDIN_MAPI"), m_mapi},
         {QStringLiteral("KALMO_STANDIN_MAPI_LOG"), m_mapiLog},
         // The entry walk is tested here: the stand-in does not offer the one-call read.
         {QStringLiteral("KALMO_STANDIN_NO_READALL"), m_dir.filePath(QStringLiteral("walk"))}}));
    WriteAll(m_dir.filePath(QStringLiteral("walk")), QStringLiteral("on"));
}

void TestOutlookBus::init() {
    WriteAll(m_outlook, QStringLiteral("{}"));
    WriteAll(m_mapi, QStringLiteral("{}"));
    WriteAll(m_outlookLog, QString());
    WriteAll(m_mapiLog, QString());
}

void TestOutlookBus::Load(Run& run, const OutlookSettings& settings) {
    LoadOutlookAddresses(run.list, settings, m_session, m_client, run.messenger, run.busy);
    QCOMPARE(run.busy.begun, 1);
    QCOMPARE(run.busy.depth, 0);
    for (const RecordingRecipientList::Row& row : run.list.rows)
        QCOMPARE(row.entry.image, int(RecipientEntry::kOutlook));
}

QStringList TestOutlookBus::Log(const QString& path) const {
    return ReadAll(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestOutlookBus::contactsFolder_data() {
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("useOutlook");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message"); // "<id>: <text>", empty for none

    QTest::newRow("business fax only")
        << kMeierBusinessOnly << 2 << "" << QStringList{"Meier=111"} << "";
    QTest::newRow("business and home fax")
        << QStringLiteral(R"({"default": {"name": "Kontakte", "kind": 2,
               "items": [{"name": "Meier", "business": "111", "home": "222"}]}})")
        << 2 << "" << QStringList{"Meier (gesch.)=111", "Meier (privat)=222"} << "";
    QTest::newRow("any setting but 0 and 1")
        << kMeierBusinessOnly << 7 << "" << QStringList{"Meier=111"} << "";
    QTest::newRow("nameless contact and one without numbers")
        << QStringLiteral(R"({"default": {"name": "Kontakte", "kind": 2, "items": [
               {"name": "", "business": "1"}, {"name": "Ohne"}, {"name": "Meier", "home": "2"}]}})")
        << 2 << "" << QStringList{"Meier=2"} << "";
    QTest::newRow("three levels deep under the second folder")
        << kNested << 2 << "Kunden" << QStringList{"Meier (gesch.)=111", "Meier (privat)=222"}
        << "";
    QTest::newRow("another letter case") << kNested << 2 << "kunden" << QStringList() << "";
    QTest::newRow("missing folder") << kNested << 2 << "Lieferanten" << QStringList() << "";
    QTest::newRow("kind not 2") << kNested << 2 << "Firma" << QStringList() << "";
    QTest::newRow("first of two in depth-first order")
        << kTwoOfOneName << 2 << "Kunden" << QStringList{"Tief=1"} << "";
    QTest::newRow("error on one item")
        << kBrokenItem << 2 << "" << QStringList{"Meier=111"}
        << "623: Das Outlook 98-Adressbuch kann nicht gelesen werden\n\nMember not found.";
    QTest::newRow("error reading the folders")
        << QStringLiteral(R"({"fail": {"namespace.0x2103": "80004005: Ordner gesperrt"}})") << 2
        << "Kunden" << QStringList()
        << "623: Das Outlook 98-Adressbuch kann nicht gelesen werden\n\nOrdner gesperrt";
    QTest::newRow("cannot be created")
        << QStringLiteral(R"({"createError": "80080005: Server execution failed"})") << 2 << ""
        << QStringList()
        << "609: Verbindung zum Adressbuch kann nicht hergestellt werden. (#80080005)\n"
           "Server execution failed";
}

void TestOutlookBus::contactsFolder() {
    QFETCH(QString, data);
    QFETCH(int, useOutlook);
    QFETCH(QString, folder);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);

    WriteAll(m_outlook, data);
    OutlookSettings settings;
    settings.m_bUseOutlook = useOutlook;
    settings.m_strOutlookContacts = folder;
    Run run;
    Load(run, settings);
    QCOMPARE(run.list.Texts(), rows);
    for (qsizetype i = 0; i < run.list.rows.size(); ++i)
        QCOMPARE(run.list.rows[i].index, int(i));
    QStringList shown;
    for (const RecordingMessenger::Message& m : run.messenger.messages)
        shown.append(QString::number(m.id) + QStringLiteral(": ") + m.text);
    QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList{message});
    // Outlook is never reached through CDO.
    QVERIFY(Log(m_mapiLog).isEmpty());
}

void TestOutlookBus::defaultFolderDoesNotWalkTheTree() {
    WriteAll(m_outlook, kNested);
    OutlookSettings settings;
    settings.m_bUseOutlook = 2;
    Run run;
    Load(run, settings);
    QCOMPARE(run.list.Texts(), QStringList{"Falsch=999"});
    const QStringList log = Log(m_outlookLog);
    QVERIFY(log.contains(u"application\t272\tmethod\ts:MAPI"));
    QVERIFY(log.contains(u"namespace\t8459\tmethod\ti:10"));
    for (const QString& line : log)
        QVERIFY2(!line.startsWith(u"folders:") && !line.startsWith(u"namespace\t8451"),
                 qPrintable(line));
}

void TestOutlookBus::cdo_data() {
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("addressList");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("calls"); // session and list calls, in order

    const QString logon = QStringLiteral("session\t119\tmethod");
    const QString logoff = QStringLiteral("session\t118\tmethod");
    const QString first = QStringLiteral("lists\t21\tget\ti:1");

    QTest::newRow("primary and business, the first list")
        << kCdoLists << ""
        << ""
        << QStringList{"Meier=333", "Meier (gesch.)=111", "Huber=1", "Huber (gesch.)=2",
                       "Huber (privat)=3"}
        << "" << QStringList{logon, first, logoff};
    QTest::newRow("named list and profile, walk ends at an empty name")
        << QStringLiteral(R"({"profiles": ["Standard"],)") + kCdoLists.mid(1) << "Standard"
        << "Privat" << QStringList{"Schulz=444"} << ""
        << QStringList{logon + QStringLiteral("\ts:Standard"), "lists\t21\tget\ts:Privat", logoff};
    QTest::newRow("list with no entries")
        << kCdoLists << ""
        << "Leer" << QStringList() << "" << QStringList{logon, "lists\t21\tget\ts:Leer", logoff};
    QTest::newRow("list name refused")
        << kCdoLists << ""
        << "global" << QStringList()
        << "623: Das Outlook 98-Adressbuch kann nicht gelesen werden\n\n"
           "There is no address list global."
        << QStringList{logon, "lists\t21\tget\ts:global", logoff};
    QTest::newRow("no address list")
        << QStringLiteral(R"({"lists": []})") << ""
        << "" << QStringList() << "622: Keine Outlook 98-Adressbücher vorhanden"
        << QStringList{logon, logoff};
    QTest::newRow("not provided") << QStringLiteral(
                                         R"({"createError": "800401F3: Invalid class string"})")
                                  << ""
                                  << "" << QStringList()
                                  << "619: CDO-Bibliotheken sind nicht installiert"
                                  << QStringList();
    QTest::newRow("other creation failure")
        << QStringLiteral(R"({"createError": "80004005: Profil defekt"})") << ""
        << "" << QStringList() << "620: Die CDO-Bibliotheken sind nicht korrekt\n\nProfil defekt"
        << QStringList();
    QTest::newRow("unknown profile refused")
        << QStringLiteral(R"({"profiles": ["Standard"]})") << "Anders"
        << "" << QStringList()
        << "621: Das Outlook 98-Adressbuch kann nicht geöffnet werden\n\n"
           "There is no profile Anders."
        << QStringList{logon + QStringLiteral("\ts:Anders")};
    QTest::newRow("error moving to the next entry")
        << QStringLiteral(R"({"lists": [{"name": "A", "fail": {"entries.111": "80004005: weg"},
               "entries": [{"name": "Meier", "fields": {"0x3A24001E": "111"}},
                           {"name": "Schulz", "fields": {"0x3A24001E": "222"}}]}]})")
        << ""
        << "" << QStringList{"Meier=111"}
        << "623: Das Outlook 98-Adressbuch kann nicht gelesen werden\n\nweg"
        << QStringList{logon, first, logoff};
}

void TestOutlookBus::cdo() {
    QFETCH(QString, data);
    QFETCH(QString, profile);
    QFETCH(QString, addressList);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    QFETCH(QStringList, calls);

    WriteAll(m_mapi, data);
    OutlookSettings settings;
    settings.m_bUseOutlook = 1;
    settings.m_strOutlookProfile = profile;
    settings.m_strOutlookAddressBook = addressList;
    MapiSession session;
    Run run;
    LoadOutlookAddresses(run.list, settings, session, m_client, run.messenger, run.busy);
    QCOMPARE(run.busy.depth, 0);
    QCOMPARE(run.list.Texts(), rows);
    QStringList shown;
    for (const RecordingMessenger::Message& m : run.messenger.messages)
        shown.append(QString::number(m.id) + QStringLiteral(": ") + m.text);
    QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList{message});
    QStringList sessionCalls;
    for (const QString& line : Log(m_mapiLog)) {
        if (line.startsWith(u"session\t1") || line.startsWith(u"lists\t21"))
            sessionCalls.append(line);
    }
    QCOMPARE(sessionCalls, calls);
    QVERIFY(!session.IsLoggedOn());
    QVERIFY(Log(m_outlookLog).isEmpty());
}

void TestOutlookBus::refusedLogonIsTriedAgainWithTheSameSession() {
    WriteAll(m_mapi, QStringLiteral(R"({"logonError": "80040111: Kennwort falsch"})"));
    OutlookSettings settings;
    settings.m_bUseOutlook = 1;
    MapiSession session;
    Run refused;
    LoadOutlookAddresses(refused.list, settings, session, m_client, refused.messenger,
                         refused.busy);
    QCOMPARE(refused.messenger.Ids(), QList<int>{621});
    QCOMPARE(refused.messenger.messages[0].text,
             QStringLiteral("Das Outlook 98-Adressbuch kann nicht geöffnet werden\n\n"
                            "Kennwort falsch"));
    QCOMPARE(refused.busy.depth, 0);
    QVERIFY(session.HasSession());
    QCOMPARE(session.ErrorCode(), static_cast<qint32>(0x80040111u));

    WriteAll(m_mapi, kCdoLists);
    Run next;
    LoadOutlookAddresses(next.list, settings, session, m_client, next.messenger, next.busy);
    QVERIFY(next.messenger.messages.isEmpty());
    QCOMPARE(next.list.rows.size(), 5);
    const QStringList log = Log(m_mapiLog);
    QCOMPARE(log.count(QStringLiteral("session\tcreate")), 1);
    QCOMPARE(log.count(QStringLiteral("session\t119\tmethod")), 2);
    QCOMPARE(log.count(QStringLiteral("session\t118\tmethod")), 1);
}

void TestOutlookBus::noAutomationGives618() {
    DBusAutomationClient offline(QDBusConnection(QStringLiteral("kalmo-never-connected")));
    OutlookSettings settings;
    settings.m_bUseOutlook = 1;
    MapiSession session;
    Run run;
    LoadOutlookAddresses(run.list, settings, session, offline, run.messenger, run.busy);
    QCOMPARE(run.messenger.Ids(), QList<int>{618});
    QCOMPARE(run.messenger.messages[0].text,
             QStringLiteral("COM-Bibliotheken sind nicht installiert"));
    QCOMPARE(run.busy.depth, 0);
    QVERIFY(!session.HasSession());
}

void TestOutlookBus::ownAddressBookFailureStillLoadsOutlook() {
    WriteAll(m_outlook, kMeierBusinessOnly);
    NoOwnAddressBook automation(m_client);
    OutlookSettings settings;
    settings.m_bUseOutlook = 2;
    Run run;
    LoadOwnAddressBook(run.list, automation, run.messenger, run.busy);
    LoadOutlookAddresses(run.list, settings, m_session, automation, run.messenger, run.busy);
    QCOMPARE(run.messenger.Ids(), QList<int>{609});
    QCOMPARE(run.list.Texts(), QStringList{"Meier=111"});
    QCOMPARE(run.busy.begun, 2);
    QCOMPARE(run.busy.depth, 0);
}

QTEST_GUILESS_MAIN(TestOutlookBus)
#include "tst_outlookbus.moc"
