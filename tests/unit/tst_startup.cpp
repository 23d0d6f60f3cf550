// Start-up: folders, hand-over into the dialog's state, help and the language catalog.
#include "RecordingMessenger.h"
#include "RecordingUrlOpener.h"
#include "TestRegistry.h"
#include "app/SendApp.h"
#include "fax/FaxContract.h"
#include "platform/HelpViewer.h"
#include "platform/ManualHelp.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <chrono>
#include <optional>
#include <sqlite3.h>
#include <thread>

namespace {

const QString kShared = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";
const QString kFax = "Software\\ZEB\\Kalmo! 2.0\\Fax";
const QString kHandoff = "Software\\VB and VBA Program Settings\\KALMO!fax";

class RecordingHelp final : public HelpViewer {
public:
    bool HtmlHelp(const QString& file, int command, quint32 data) override {
        calls.append(QString("%1 %2 %3").arg(file).arg(command).arg(data, 0, 16));
        return answer;
    }
    QStringList calls;
    bool answer = true; // false: no CHM viewer or no help file
};

// A run of start-up in a temporary current folder, with HOME and XDG_DATA_HOME as given.
struct Run {
    TestRegistry reg;
    RecordingMessenger messages;
    RecordingHelp help;
    RecordingUrlOpener browser;
    QTemporaryDir cwd;
    std::optional<SendDialogState> state;
    QString dataDir;

    void Start(const QStringList& args, const QString& home = {}) {
        const QString oldCwd = QDir::currentPath();
        const QByteArray oldHome = qgetenv("HOME");
        const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
        QDir::setCurrent(cwd.path());
        qputenv("HOME", home.toUtf8());
        qunsetenv("XDG_DATA_HOME");
        SendApp app(reg.registry(), messages, help, browser,
                    [this](SendApp& a, SendDialogState& s) {
                        state = s;
                        dataDir = a.m_strDataDir;
                    });
        QVERIFY(!app.InitInstance(args));
        app.ExitInstance();
        QDir::setCurrent(oldCwd);
        qputenv("HOME", oldHome);
        qputenv("XDG_DATA_HOME", oldXdg);
    }
    QString InCwd(const QString& name) const { return cwd.filePath(name); }
};

QStringList SpoolFolders(const QString& dataDir) {
    return QDir(dataDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

const QStringList kAllSpoolFolders{"Comack", "Comerr", "Comjob", "Comrec", "Faxrec", "Faxsend"};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dataFolder_data();
    void dataFolder();
    void missingParentReportsTwice();
    void dataFolderNoJobCanName();
    void handOver_data();
    void handOver();
    void handoffGoneOnSecondStart();
    void winHelp_data();
    void winHelp();
    void winHelpManual_data();
    void winHelpManual();
    void languageCatalog_data();
    void languageCatalog();
    void unreadableStore_data();
    void unreadableStore();
};

void TestStartup::dataFolder_data() {
    QTest::addColumn<QString>("machineBase"); // shared DatenDir, machine-wide ("-" absent)
    QTest::addColumn<QString>("userBase");    // shared DatenDir, per user ("-" absent)
    QTest::addColumn<QString>("userData");    // Fax\DatenDir ("-" absent)
    QTest::addColumn<QString>("appData");     // Shell Folders AppData ("-" absent)
    QTest::addColumn<QString>("expected");    // relative to the current folder
    QTest::newRow("nothing: relative Fax") << "-"
                                           << "-"
                                           << "-"
                                           << "-"
                                           << "Fax";
    QTest::newRow("AppData joined with KALMO! and Fax") << "-"
                                                        << "-"
                                                        << "-"
                                                        << "app"
                                                        << "app/KALMO!/Fax";
    QTest::newRow("machine base joined with Fax") << "base"
                                                  << "-"
                                                  << "-"
                                                  << "app"
                                                  << "base/Fax";
    QTest::newRow("per-user Fax folder taken unchanged") << "base"
                                                         << "-"
                                                         << "own"
                                                         << "-"
                                                         << "own";
    QTest::newRow("empty per-user base overrides machine") << "base"
                                                           << ""
                                                           << "-"
                                                           << "-"
                                                           << "Fax";
}

void TestStartup::dataFolder() {
    QFETCH(QString, machineBase);
    QFETCH(QString, userBase);
    QFETCH(QString, userData);
    QFETCH(QString, appData);
    QFETCH(QString, expected);
    Run run;
    auto abs = [&](const QString& p) { return p.isEmpty() ? p : run.InCwd(p); };
    if (machineBase != "-")
        TestRegistry::Set(run.reg.Machine(), kShared, "DatenDir", abs(machineBase));
    if (userBase != "-")
        TestRegistry::Set(run.reg.User(), kShared, "DatenDir", abs(userBase));
    if (userData != "-")
        TestRegistry::Set(run.reg.User(), kFax, "DatenDir", abs(userData));
    if (appData != "-") {
        TestRegistry::Set(run.reg.User(), fax::kShellFoldersKey, "AppData", abs(appData));
        QVERIFY(QDir().mkpath(abs(appData)));
    }
    if (machineBase == "base")
        QVERIFY(QDir().mkpath(abs("base")) || true);
    run.Start({});
    QVERIFY(run.state);
    const QString want = expected == "Fax" ? QString("Fax") : abs(expected);
    QCOMPARE(run.dataDir, want);
    QCOMPARE(SpoolFolders(run.InCwd(expected)), kAllSpoolFolders);
    QVERIFY(run.messages.messages.isEmpty());
}

void TestStartup::missingParentReportsTwice() {
    Run run;
    const QString data = run.InCwd("missing/parent/Fax");
    TestRegistry::Set(run.reg.User(), kFax, "DatenDir", data);
    run.Start({});
    QVERIFY(run.state); // the dialog still opens
    QCOMPARE(run.messages.Ids(), (QList<int>{624, 624}));
    QVERIFY(run.messages.messages[0].text.contains("'" + data + "'"));
    QVERIFY(run.messages.messages[1].text.contains("'" + data + "/Comjob'"));
}

// A data folder whose path CP850 cannot hold is named in no usable job: start-up says so,
// naming it, and ends before the dialog.
void TestStartup::dataFolderNoJobCanName() {
    Run run;
    const QString data = run.InCwd(QString::fromUtf8("łukasz/Fax"));
    QVERIFY(QDir().mkpath(run.InCwd(QString::fromUtf8("łukasz"))));
    TestRegistry::Set(run.reg.User(), kFax, "DatenDir", data);
    run.Start({"/dprint.sff", "/n0711"});
    QVERIFY(!run.state);
    QCOMPARE(run.messages.Ids(), QList<int>{635});
    QVERIFY(run.messages.messages[0].text.contains("'" + data + "'"));
}

void TestStartup::handOver_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("stored"); // key=title=value
    QTest::addColumn<QString>("expected");   // a picture of the state
    QTest::addColumn<QStringList>("left");   // key=title still stored afterwards
    QTest::newRow("print hand-off for the title")
        << QStringList{"/d/tmp/x.sff", "/tReport"}
        << QStringList{"Print=Report=123", "Sendtime=Report=24.12.2001 18:30",
                       "Serienbrief=Report=1"}
        << "caption=Report remark=Report file=/tmp/x.sff number=123 time=24.12.2001 18:30 serial=1 "
           "x=0 poll=0 tmp=1 colour=0"
        << QStringList{};
    QTest::newRow("/n replaces Print, Print still deleted")
        << QStringList{"/tReport", "/n999"} << QStringList{"Print=Report=123"}
        << "caption=Report remark=Report file= number=999 time= serial=0 x=0 poll=0 tmp=0 colour=0"
        << QStringList{};
    QTest::newRow("/s replaces Sendtime")
        << QStringList{"/tReport", "/s01.01.2030 07:05"}
        << QStringList{"Sendtime=Report=24.12.2001 18:30"}
        << "caption=Report remark=Report file= number= time=01.01.2030 07:05 serial=0 x=0 poll=0 "
           "tmp=0 colour=0"
        << QStringList{};
    QTest::newRow("empty title reads the unnamed value")
        << QStringList{"/f/tmp/a.sff"} << QStringList{"Print==55", "Print=Report=123"}
        << "caption= remark= file=/tmp/a.sff number=55 time= serial=0 x=0 poll=0 tmp=0 colour=0"
        << QStringList{"Print=Report"};
    QTest::newRow("poll reads and deletes nothing")
        << QStringList{"/a", "/tReport"} << QStringList{"Print=Report=123", "Serienbrief=Report=1"}
        << "caption=Fax-Abruf remark=Report file= number= time= serial=0 x=0 poll=1 tmp=0 colour=0"
        << QStringList{"Print=Report", "Serienbrief=Report"};
    // The file of /f stays where it is, even after a /d: only /c and /d name files of ours.
    QTest::newRow("/f after /d is not ours")
        << QStringList{"/d/tmp/x.sff", "/f/tmp/mine.sff", "/tR"} << QStringList{}
        << "caption=R remark=R file=/tmp/mine.sff number= time= serial=0 x=0 poll=0 tmp=0 colour=0"
        << QStringList{};
    QTest::newRow("colour with file button")
        << QStringList{"/c/tmp/Page", "/x", "/tBild"} << QStringList{}
        << "caption=Bild remark=Bild file=/tmp/Page number= time= serial=0 x=1 poll=0 tmp=1 "
           "colour=1"
        << QStringList{};
}

void TestStartup::handOver() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, stored);
    QFETCH(QString, expected);
    QFETCH(QStringList, left);
    Run run;
    for (const QString& s : stored) {
        const QStringList p = s.split('=');
        TestRegistry::Set(run.reg.User(), kHandoff + '\\' + p[0], p[1], p[2]);
    }
    run.Start(args);
    QVERIFY(run.state);
    const SendDialogState& st = *run.state;
    const QString picture = QString("caption=%1 remark=%2 file=%3 number=%4 time=%5 serial=%6 x=%7 "
                                    "poll=%8 tmp=%9 colour=%10")
                                .arg(st.m_strCaption, st.m_strRemark, st.m_printFile.path,
                                     st.m_strPresetNumber, st.m_strPresetSendTime)
                                .arg(st.m_bSerialLetter)
                                .arg(st.m_bFileButton)
                                .arg(st.m_bPoll)
                                .arg(int(st.m_printFile.own))
                                .arg(int(st.m_printFile.colour));
    QCOMPARE(picture, expected);
    QStringList remaining;
    for (const char* key : {"Print", "Serienbrief", "Sendtime"})
        for (const auto& [name, value] : run.reg.User().Values(kHandoff + '\\' + QString(key)))
            remaining << QString(key) + '=' + name;
    QCOMPARE(remaining, left);
}

void TestStartup::handoffGoneOnSecondStart() {
    Run run;
    TestRegistry::Set(run.reg.User(), kHandoff + "\\Print", "Report", "123");
    run.Start({"/tReport"});
    QCOMPARE(run.state->m_strPresetNumber, QString("123"));
    run.state.reset();
    run.Start({"/tReport"});
    QCOMPARE(run.state->m_strPresetNumber, QString());
}

void TestStartup::winHelp_data() {
    QTest::addColumn<uint>("command");
    QTest::addColumn<uint>("data");
    QTest::addColumn<QString>("call");
    QTest::newRow("context help always 0x70010")
        << 1u << 0x1234u << "/opt/kalmo/KalmoFax.Chm 15 70010";
    QTest::newRow("contents") << 3u << 7u << "/opt/kalmo/KalmoFax.Chm 2 7";
    QTest::newRow("other") << 11u << 9u << "/opt/kalmo/KalmoFax.Chm 0 9";
}

void TestStartup::winHelp() {
    QFETCH(uint, command);
    QFETCH(uint, data);
    QFETCH(QString, call);
    Run run;
    TestRegistry::Set(run.reg.Machine(), kShared, "SystemDir", "/opt/kalmo");
    SendApp app(run.reg.registry(), run.messages, run.help, run.browser, {});
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(run.cwd.path());
    app.InitInstance({});
    QDir::setCurrent(oldCwd);
    QCOMPARE(app.m_strHelpFile, QString("/opt/kalmo/KalmoFax.Chm"));
    app.WinHelp(data, command);
    QCOMPARE(run.help.calls, QStringList{call});
}

void TestStartup::winHelpManual_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<uint>("command");
    QTest::addColumn<uint>("data");
    QTest::addColumn<bool>("manual");  // the manual is there
    QTest::addColumn<QString>("page"); // opened, or "" when the message shows
    QTest::newRow("send dialog, German")
        << QStringList() << 1u << 0x2012Du << true << "de/send-dialog.html";
    QTest::newRow("options, English catalog")
        << QStringList{"/lTEST"} << 1u << 0x2012Fu << true << "en/options-dialog.html";
    QTest::newRow("contents: the index")
        << QStringList() << 3u << 0x2012Du << true << "de/index.html";
    QTest::newRow("no manual: the message") << QStringList() << 1u << 0x2012Du << false << "";
}

// Without a CHM viewer the dialog's page of the manual in its language; without that either, a
// message that says where the manual is.
void TestStartup::winHelpManual() {
    QFETCH(QStringList, args);
    QFETCH(uint, command);
    QFETCH(uint, data);
    QFETCH(bool, manual);
    QFETCH(QString, page);
    qputenv("KALMO_LANGUAGE_PATH", QCoreApplication::applicationDirPath().toUtf8());
    QTemporaryDir manualDir;
    if (manual) {
        for (const QString language : {"de", "en"}) {
            QVERIFY(QDir(manualDir.path()).mkpath(language));
            for (const QString& name : manual::Pages()) {
                QFile file(manualDir.filePath(language + "/" + name + ".html"));
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
        }
    }
    const QByteArray oldManual = qgetenv("KALMO_MANUAL_DIR");
    qputenv("KALMO_MANUAL_DIR", manualDir.path().toUtf8());
    Run run;
    run.help.answer = false;
    SendApp app(run.reg.registry(), run.messages, run.help, run.browser, {});
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(run.cwd.path());
    app.InitInstance(args);
    QDir::setCurrent(oldCwd);
    app.WinHelp(data, command);
    app.ExitInstance();
    qputenv("KALMO_MANUAL_DIR", oldManual);
    QCOMPARE(run.help.calls.size(), 1); // the CHM viewer was asked first
    if (page.isEmpty()) {
        QVERIFY(run.browser.opened.isEmpty());
        QCOMPARE(run.messages.Ids(), QList<int>{IDS_ERR_NO_HELP});
        QVERIFY(run.messages.messages.first().text.contains(manualDir.path()));
    } else {
        QCOMPARE(run.browser.opened,
                 QStringList{QUrl::fromLocalFile(manualDir.filePath(page)).toString()});
        QVERIFY(run.messages.messages.isEmpty());
    }
}

void TestStartup::languageCatalog_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("setting"); // "Sprache", "-" when absent
    QTest::addColumn<QString>("text610");
    QTest::newRow("/l loads the catalog") << QStringList{"/lTEST"} << "-"
                                          << "No file name given";
    QTest::newRow("setting decides without /l") << QStringList{} << "TEST"
                                                << "No file name given";
    QTest::newRow("/l wins over the setting") << QStringList{"/lXX"} << "TEST"
                                              << "Keinen Dateinamen angegeben";
    QTest::newRow("empty setting loads nothing") << QStringList{} << ""
                                                 << "Keinen Dateinamen angegeben";
    QTest::newRow("missing catalog keeps German") << QStringList{"/lXX"} << "-"
                                                  << "Keinen Dateinamen angegeben";
    QTest::newRow("code in another case") << QStringList{"/ltest"} << "-"
                                          << "No file name given";
    QTest::newRow("no fallback to a shorter name") << QStringList{"/lTEST_US"} << "-"
                                                   << "Keinen Dateinamen angegeben";
}

void TestStartup::languageCatalog() {
    QFETCH(QStringList, args);
    QFETCH(QString, setting);
    QFETCH(QString, text610);
    qputenv("KALMO_LANGUAGE_PATH", QCoreApplication::applicationDirPath().toUtf8());
    Run run;
    if (setting != "-")
        TestRegistry::Set(run.reg.User(), kShared, "Sprache", setting);
    QString seen;
    QString caption;
    SendApp app(run.reg.registry(), run.messages, run.help, run.browser,
                [&](SendApp&, SendDialogState&) { seen = LoadString(610); });
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(run.cwd.path());
    app.InitInstance(args);
    QDir::setCurrent(oldCwd);
    QCOMPARE(seen, text610);
    app.ExitInstance();
    QCOMPARE(LoadString(610), QString("Keinen Dateinamen angegeben"));
}

void TestStartup::unreadableStore_data() {
    QTest::addColumn<bool>("machine");
    QTest::addColumn<QString>("damage");
    for (const bool machine : {true, false}) {
        const char* root = machine ? "machine" : "user";
        for (const char* damage : {"random bytes", "truncated", "folder", "foreign schema"})
            QTest::addRow("%s store: %s", root, damage) << machine << damage;
    }
    QTest::newRow("machine store missing: no message") << true << "missing";
    QTest::newRow("user store locked for a moment: waited for") << false << "locked";
}

// A store that exists but cannot be read is reported once, naming the file and SQLite's
// reason, and the start-up ends before a spool folder is guessed; a store that does not
// exist is no error.
void TestStartup::unreadableStore() {
    QFETCH(bool, machine);
    QFETCH(QString, damage);
    QTemporaryDir dir;
    const QString machineFile = dir.filePath("machine.db");
    const QString userFile = dir.filePath("user.db");
    // Good stores of many pages, written in one transaction each.
    for (const QString& file : {machineFile, userFile}) {
        RegistryStore store(file, RegistryStore::Access::ReadWrite,
                            RegistryStore::Journal::Rollback);
        QVERIFY(store.CreateKey(kFax));
        QVERIFY(store.Transaction([&] {
            for (int i = 0; i < 300; ++i)
                if (!store.SetValue(kFax, QString("Wert%1").arg(i),
                                    RegValue::FromText(QString(200, u'x'))))
                    return false;
            return true;
        }));
    }
    const QString bad = machine ? machineFile : userFile;
    if (damage != "truncated" && damage != "locked")
        QFile::remove(bad);
    // Another program holds the store for a moment, as the fax application may.
    sqlite3* holder = nullptr;
    std::thread release;
    if (damage == "locked") {
        QCOMPARE(sqlite3_open(QFile::encodeName(bad).constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        release = std::thread([holder] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
        });
    }
    if (damage == "random bytes") {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray junk(8192, '\0');
        for (char& c : junk)
            c = char(QRandomGenerator::global()->bounded(256));
        f.write(junk);
    } else if (damage == "truncated") {
        QVERIFY(QFile::resize(bad, 3 * 4096));
    } else if (damage == "folder") {
        QVERIFY(QDir().mkpath(bad));
    } else if (damage == "foreign schema") {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(bad).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE keys(x); CREATE TABLE other(y);", nullptr, nullptr,
                              nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
    }
    Registry registry(std::make_unique<RegistryStore>(machineFile, RegistryStore::Access::ReadOnly),
                      std::make_unique<RegistryStore>(userFile, RegistryStore::Access::ReadWrite));
    RecordingMessenger messages;
    RecordingHelp help;
    RecordingUrlOpener browser;
    bool ran = false;
    SendApp app(registry, messages, help, browser, [&](SendApp&, SendDialogState&) { ran = true; });
    app.InitInstance({"/d" + dir.filePath("print.sff")});
    app.ExitInstance();
    if (release.joinable()) {
        release.join();
        sqlite3_close(holder);
    }
    if (damage == "missing" || damage == "locked") {
        QVERIFY(ran);
        QVERIFY(!app.StoreUnreadable());
        QVERIFY(messages.messages.isEmpty());
        return;
    }
    QVERIFY(!ran);
    QVERIFY(app.StoreUnreadable());
    QCOMPARE(messages.Ids(), QList<int>{631});
    const QString text = messages.messages[0].text;
    QVERIFY2(text.startsWith("Die Einstellungen in '" + bad + "' können nicht gelesen werden.\n"),
             qPrintable(text));
    QVERIFY2(text.size() > text.indexOf('\n') + 1, "SQLite's reason follows");
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
