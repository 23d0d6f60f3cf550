// Settings, folders, hand-off values and the number history of the application object.
#include "RecordingMessenger.h"
#include "TestRegistry.h"
#include "app/AppBase.h"
#include "fax/FaxContract.h"

#include <QDir>
#include <QTest>

namespace {

const QString kShared = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";
const QString kFax = "Software\\ZEB\\Kalmo! 2.0\\Fax";
const QString kHistory = "Software\\ZEB\\Kalmo! 2.0\\Fax\\Rufnummern";
const QString kPrint = "Software\\VB and VBA Program Settings\\KALMO!fax\\Print";

struct Fixture {
    TestRegistry reg;
    RecordingMessenger messages;
    AppBase app{reg.registry(), messages};
    Fixture() {
        app.SetRegistryKey(fax::kRegistryCompany);
        app.SetProfileName(fax::kProfileName);
        app.m_strTitlePrefix = fax::kTitlePrefix;
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void machineThenUser_data();
    void machineThenUser();
    void shellFolders_data();
    void shellFolders();
    void xdgDataHomeCreatedWhenAsked();
    void createFolder();
    void spoolFoldersStopAtFirstFailure();
    void handoffTakenOnce();
    void serialLetterFlag_data();
    void serialLetterFlag();
    void historyLoadSkipsGaps();
    void historyReadCreatesKey();
    void historySaveRewritesWithoutGaps();
    void historyRule_data();
    void historyRule();
    void recipientSelectionText_data();
    void recipientSelectionText();
    void profileValues();
};

void TestSettings::machineThenUser_data() {
    QTest::addColumn<QVariant>("machine");
    QTest::addColumn<QVariant>("user");
    QTest::addColumn<QString>("expected");
    const QVariant absent;
    QTest::newRow("neither: default") << absent << absent << "default";
    QTest::newRow("machine only") << QVariant("m") << absent << "m";
    QTest::newRow("user wins") << QVariant("m") << QVariant("u") << "u";
    QTest::newRow("empty user value wins") << QVariant("m") << QVariant("") << "";
    QTest::newRow("user only") << absent << QVariant("u") << "u";
}

void TestSettings::machineThenUser() {
    QFETCH(QVariant, machine);
    QFETCH(QVariant, user);
    QFETCH(QString, expected);
    Fixture f;
    if (machine.isValid())
        TestRegistry::Set(f.reg.Machine(), kShared, "SystemDir", machine.toString());
    if (user.isValid())
        TestRegistry::Set(f.reg.User(), kShared.toUpper(), "SYSTEMDIR", user.toString());
    QCOMPARE(f.app.GetMachineThenUserString("SystemDir", "default"), expected);
    QVERIFY(f.messages.messages.isEmpty());
}

void TestSettings::shellFolders_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("xdgData");
    QTest::addColumn<QString>("expected");
    QTest::newRow("AppData from the store, create flag ignored") << 0x801A << "/s/AppData"
                                                                 << "/h"
                                                                 << ""
                                                                 << "/s/AppData";
    QTest::newRow("AppData from XDG_DATA_HOME") << 26 << ""
                                                << "/h"
                                                << "/x/data"
                                                << "/x/data";
    QTest::newRow("AppData from HOME") << 26 << ""
                                       << "/h"
                                       << ""
                                       << "/h/.local/share";
    QTest::newRow("no AppData at all: default") << 26 << ""
                                                << ""
                                                << ""
                                                << "default";
    QTest::newRow("relative XDG_DATA_HOME ignored") << 26 << ""
                                                    << "/h"
                                                    << "rel"
                                                    << "/h/.local/share";
    QTest::newRow("Personal from the store") << 5 << "/s/Docs"
                                             << "/h"
                                             << ""
                                             << "/s/Docs";
    QTest::newRow("other ids give nothing") << 36 << "/s/x"
                                            << "/h"
                                            << ""
                                            << "";
}

void TestSettings::shellFolders() {
    QFETCH(int, id);
    QFETCH(QString, stored);
    QFETCH(QString, home);
    QFETCH(QString, xdgData);
    QFETCH(QString, expected);
    Fixture f;
    const QString name = (id & 0xff) == 5 ? "Personal" : "AppData";
    if (!stored.isEmpty())
        TestRegistry::Set(f.reg.User(), fax::kShellFoldersKey, name, stored);
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", xdgData.toUtf8());
    const QString folder = f.app.GetShellFolder(id, "default");
    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldXdg);
    QCOMPARE(folder, expected);
}

void TestSettings::xdgDataHomeCreatedWhenAsked() {
    Fixture f;
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_DATA_HOME");
    const QString dataHome = home.path() + "/.local/share";
    QCOMPARE(f.app.GetShellFolder(26), dataHome);
    const bool createdWithoutFlag = QFileInfo::exists(dataHome);
    QCOMPARE(f.app.GetShellFolder(0x801A), dataHome);
    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldXdg);
    QVERIFY(!createdWithoutFlag);
    QVERIFY(QFileInfo(dataHome).isDir());
    QCOMPARE(QFileInfo(dataHome).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
}

void TestSettings::createFolder() {
    Fixture f;
    QTemporaryDir dir;
    const QString made = dir.filePath("Fax");
    QVERIFY(f.app.CreateFolder(made));
    QVERIFY(QFileInfo(made).isDir());
    QVERIFY(f.app.CreateFolder(made + '/')); // exists: true, nothing shown
    QVERIFY(f.messages.messages.isEmpty());
    const QString deep = dir.filePath("no/such/Fax");
    QVERIFY(!f.app.CreateFolder(deep)); // one level only
    QCOMPARE(f.messages.Ids(), QList<int>{624});
    QVERIFY(f.messages.messages[0].text.startsWith("Fehler beim Erzeugen von '" + deep + "'\n"));
    QVERIFY(f.messages.messages[0].text.size() >
            QString("Fehler beim Erzeugen von '" + deep + "'\n").size());
}

void TestSettings::spoolFoldersStopAtFirstFailure() {
    Fixture f;
    QTemporaryDir dir;
    f.app.m_strDataDir = dir.path();
    QFile blocker(dir.filePath("Comack"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    f.app.CreateSpoolFolders();
    QCOMPARE(f.messages.Ids(), QList<int>{624});
    QVERIFY(f.messages.messages[0].text.contains("'" + dir.filePath("Comack") + "'"));
    QVERIFY(QFileInfo(dir.filePath("Comjob")).isDir());
    for (const char* later : {"Comerr", "Comrec", "Faxsend", "Faxrec"})
        QVERIFY2(!QFileInfo::exists(dir.filePath(later)), later);

    QVERIFY(QFile::remove(dir.filePath("Comack")));
    f.messages.Clear();
    f.app.CreateSpoolFolders();
    QVERIFY(f.messages.messages.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             (QStringList{"Comack", "Comerr", "Comjob", "Comrec", "Faxrec", "Faxsend"}));
}

void TestSettings::handoffTakenOnce() {
    Fixture f;
    QCOMPARE(f.app.TakeHandoffString("Print", "Report"), QString()); // no key: nothing created
    QVERIFY(!f.reg.User().KeyExists(kPrint));
    TestRegistry::Set(f.reg.User(), kPrint, "Report", "123");
    TestRegistry::Set(f.reg.User(), kPrint, "", "456");
    QCOMPARE(f.app.TakeHandoffString("Print", "report"), QString("123"));
    QCOMPARE(f.app.TakeHandoffString("Print", "Report"), QString());
    QCOMPARE(f.app.TakeHandoffString("Print", ""), QString("456"));
    QVERIFY(f.reg.User().Values(kPrint).isEmpty());
}

void TestSettings::serialLetterFlag_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("flag");
    QTest::newRow("absent") << QVariant() << false;
    QTest::newRow("empty") << QVariant("") << false;
    QTest::newRow("set") << QVariant("1") << true;
}

void TestSettings::serialLetterFlag() {
    QFETCH(QVariant, stored);
    QFETCH(bool, flag);
    Fixture f;
    const QString key = fax::kHandoffKey + "\\Serienbrief";
    QVERIFY(f.reg.User().CreateKey(key));
    if (stored.isValid())
        TestRegistry::Set(f.reg.User(), key, "Brief", stored.toString());
    QCOMPARE(f.app.TakeSerialLetterFlag("Brief"), flag);
    QVERIFY(!f.reg.User().QueryValue(key, "Brief"));
}

void TestSettings::historyLoadSkipsGaps() {
    Fixture f;
    for (int i : {0, 1, 2, 4, 9})
        TestRegistry::Set(f.reg.User(), kHistory, QString("Nummer%1").arg(i),
                          QString("n%1").arg(i));
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer5", "");     // empty: skipped
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer10", "n10"); // beyond the ten: not read
    QCOMPARE(f.app.LoadNumberHistory(), (QStringList{"n0", "n1", "n2", "n4", "n9"}));
}

void TestSettings::historyReadCreatesKey() {
    Fixture f;
    QVERIFY(!f.reg.User().KeyExists(kHistory));
    QCOMPARE(f.app.LoadNumberHistory(), QStringList());
    QVERIFY(f.reg.User().KeyExists(kHistory));
    QCOMPARE(f.app.ReadHistoryEntry("Nummer0", "dflt"), QString("dflt"));
}

void TestSettings::historySaveRewritesWithoutGaps() {
    Fixture f;
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer0", "a");
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer3", "b");
    TestRegistry::Set(f.reg.User(), kHistory, "Nummer7", "stale");
    QStringList list = f.app.LoadNumberHistory();
    AddToHistoryList(list, "c");
    QVERIFY(f.app.SaveNumberHistory(list));
    QStringList names;
    for (const auto& [name, value] : f.reg.User().Values(kHistory))
        names << name + '=' + value.text;
    QCOMPARE(names, (QStringList{"Nummer0=c", "Nummer1=a", "Nummer2=b", "Nummer3=stale"}));
    // Single-value operations of the history key.
    QVERIFY(f.app.WriteHistoryEntry(QString("Nummer3"), std::nullopt));
    QVERIFY(!f.app.WriteHistoryEntry(QString("Nummer3"), std::nullopt));
    QVERIFY(f.app.WriteHistoryEntry(std::nullopt, std::nullopt));
    QVERIFY(!f.reg.User().KeyExists(kHistory));
    QVERIFY(f.reg.User().KeyExists(kFax));
}

void TestSettings::historyRule_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("new on top") << QStringList{"1", "2"} << "3" << QStringList{"3", "1", "2"};
    QTest::newRow("existing moves up")
        << QStringList{"1", "2", "3"} << "3" << QStringList{"3", "1", "2"};
    QTest::newRow("other case replaces older form")
        << QStringList{"1", "0711-Fax"} << "0711-FAX" << QStringList{"0711-FAX", "1"};
    QTest::newRow("umlaut case") << QStringList{"Büro"} << "BÜRO" << QStringList{"BÜRO"};
    QTest::newRow("eleventh drops oldest")
        << QStringList{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"} << "10"
        << QStringList{"10", "9", "8", "7", "6", "5", "4", "3", "2", "1"};
    QTest::newRow("duplicates in the list all go")
        << QStringList{"a", "A", "b"} << "a" << QStringList{"a", "b"};
}

void TestSettings::historyRule() {
    QFETCH(QStringList, before);
    QFETCH(QString, number);
    QFETCH(QStringList, after);
    AddToHistoryList(before, number);
    QCOMPARE(before, after);
}

void TestSettings::recipientSelectionText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("selection");
    QTest::newRow("count") << "3 Empfänger" << true;
    QTest::newRow("word alone") << "Empfänger" << true;
    QTest::newRow("other case") << "3 EMPFÄNGER" << false;
    QTest::newRow("number") << "0711 123" << false;
}

void TestSettings::recipientSelectionText() {
    QFETCH(QString, text);
    QFETCH(bool, selection);
    QCOMPARE(IsRecipientSelectionText(text), selection);
}

void TestSettings::profileValues() {
    Fixture f;
    QCOMPARE(f.app.GetProfileString("Fax", "Rufnummer", "x"), QString("x"));
    QVERIFY(f.app.WriteProfileString("Fax", "Rufnummer", "0711"));
    QCOMPARE(f.app.GetProfileString("fax", "rufnummer"), QString("0711"));
    QCOMPARE(f.app.GetProfileInt("Fax", "UseOutlook", 0), 0);
    QVERIFY(f.app.WriteProfileInt("Fax", "UseOutlook", 2));
    QCOMPARE(f.app.GetProfileInt("Fax", "UseOutlook", 0), 2);
    QVERIFY(f.reg.User().KeyExists(kFax));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
