// The settings store's command-line tool, run as its own process.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

struct Result {
    int exit;
    QString out;
    QString err;
};

class Tool {
public:
    Tool() {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("KALMO_USER_REGISTRY", m_dir.filePath("user.db"));
        m_env.insert("KALMO_MACHINE_REGISTRY", m_dir.filePath("machine.db"));
    }
    QString File(const char* name) const { return m_dir.filePath(name); }
    void SetEnv(const QString& name, const QString& value) { m_env.insert(name, value); }
    Result operator()(const QStringList& args, const QByteArray& input = {}) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(qEnvironmentVariable("KALMOREG"), args);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(20000))
            return {-1, {}, "timeout"};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

const QString kKey = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";

} // namespace

class TestKalmoreg : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void missing_data();
    void missing();
    void usage_data();
    void usage();
    void integers();
    void machineRootIsSeparate();
    void machineStoreReadableByEveryone();
    void listAndExport();
    void deleteKey();
    void setFromStandardInput();
};

void TestKalmoreg::roundTrip_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("blanks") << kKey << "Daten Dir"
                            << "/home/a b/Fax";
    QTest::newRow("backslashes in name and text") << kKey << "a\\b"
                                                  << "C:\\Daten\\Fax\\";
    QTest::newRow("slashes") << "Software\\VB and VBA Program Settings\\KALMO!fax\\Print"
                             << "Bericht 1/2"
                             << "0711/123";
    QTest::newRow("umlauts") << "Software\\Übung"
                             << "Größe"
                             << "Müller & Söhne";
    QTest::newRow("unnamed value") << kKey << ""
                                   << "default";
    QTest::newRow("empty text") << kKey << "Leer"
                                << "";
}

void TestKalmoreg::roundTrip() {
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(QString, text);
    Tool tool;
    const Result set = tool({"set", key, name, text});
    QCOMPARE(set.exit, 0);
    QCOMPARE(set.out, QString());
    const Result get = tool({"get", key.toUpper(), name.toLower()});
    QCOMPARE(get.exit, 0);
    QCOMPARE(get.out, text + '\n');
}

void TestKalmoreg::missing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("get value") << QStringList{"get", kKey, "Nope"};
    QTest::newRow("get key") << QStringList{"get", "No\\Such", "x"};
    QTest::newRow("delete value") << QStringList{"delete", kKey, "Nope"};
    QTest::newRow("delete key") << QStringList{"delete-key", "No\\Such"};
    QTest::newRow("list") << QStringList{"list", "No\\Such"};
    QTest::newRow("export") << QStringList{"export", "No\\Such"};
}

void TestKalmoreg::missing() {
    QFETCH(QStringList, args);
    Tool tool;
    QCOMPARE(tool({"set", kKey, "Da", "1"}).exit, 0);
    const Result r = tool(args);
    QCOMPARE(r.exit, 1);
    QCOMPARE(r.out, QString());
}

void TestKalmoreg::usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("too few") << QStringList{"get", kKey};
    QTest::newRow("too many") << QStringList{"delete-key", "a", "b"};
    QTest::newRow("not an integer") << QStringList{"set-int", kKey, "n", "zwei"};
    QTest::newRow("integer too large") << QStringList{"set-int", kKey, "n", "4294967296"};
}

void TestKalmoreg::usage() {
    QFETCH(QStringList, args);
    Tool tool;
    const Result r = tool(args);
    QCOMPARE(r.exit, 2);
    QCOMPARE(r.out, QString());
    QVERIFY(r.err.startsWith("kalmoreg: "));
    QCOMPARE(r.err.count('\n'), 1);
}

void TestKalmoreg::integers() {
    Tool tool;
    QCOMPARE(tool({"set-int", "Software\\ZEB\\Kalmo! 2.0\\Fax", "UseOutlook", "2"}).exit, 0);
    QCOMPARE(tool({"get", "Software\\ZEB\\Kalmo! 2.0\\Fax", "UseOutlook"}).out, QString("2\n"));
    QCOMPARE(tool({"set-int", "K", "hex", "0x10"}).exit, 0);
    QCOMPARE(tool({"get", "K", "hex"}).out, QString("16\n"));
}

void TestKalmoreg::machineRootIsSeparate() {
    Tool tool;
    QCOMPARE(tool({"--machine", "set", kKey, "SystemDir", "/opt/kalmo"}).exit, 0);
    QCOMPARE(tool({"get", kKey, "SystemDir"}).exit, 1);
    QCOMPARE(tool({"--machine", "get", kKey, "SystemDir"}).out, QString("/opt/kalmo\n"));
    // A user's own store, which may hold the fax server's password, is its owner's alone.
    QCOMPARE(tool({"set", kKey, "DatenDir", "/tmp"}).exit, 0);
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile::permissions(tool.File("user.db")) & others, QFile::Permissions());
}

// Every user's start-up reads the machine store: it is made readable for all, whatever the
// administrator's umask.
void TestKalmoreg::machineStoreReadableByEveryone() {
    Tool tool;
    const QString store = tool.File("etc/kalmo/registry.db");
    tool.SetEnv("KALMO_MACHINE_REGISTRY", store);
    const mode_t before = ::umask(027);
    const int exit = tool({"--machine", "set", kKey, "SystemDir", "/opt/kalmo"}).exit;
    ::umask(before);
    QCOMPARE(exit, 0);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(store).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0644));
    for (const char* folder : {"etc", "etc/kalmo"}) {
        QCOMPARE(::stat(QFile::encodeName(tool.File(folder)).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0755));
    }
}

void TestKalmoreg::listAndExport() {
    Tool tool;
    QCOMPARE(tool({"set", "A\\B", "", "x\"y"}).exit, 0);
    QCOMPARE(tool({"set", "A\\B", "Zeile", "eins\nzwei"}).exit, 0);
    QCOMPARE(tool({"set-int", "A\\B", "Zahl", "7"}).exit, 0);
    QCOMPARE(tool({"set", "A\\B\\C", "v", "1"}).exit, 0);
    const Result list = tool({"list", "a\\b"});
    QCOMPARE(list.exit, 0);
    QCOMPARE(list.out,
             QString("C\\\n@=\"x\\\"y\"\n\"Zahl\"=integer:7\n\"Zeile\"=\"eins\\nzwei\"\n"));
    const Result all = tool({"export"});
    QCOMPARE(all.exit, 0);
    QCOMPARE(all.out, QString("[]\n\n[A]\n\n[A\\B]\n@=\"x\\\"y\"\n\"Zahl\"=integer:7\n"
                              "\"Zeile\"=\"eins\\nzwei\"\n\n[A\\B\\C]\n\"v\"=\"1\"\n\n"));
    QCOMPARE(tool({"export", "A\\B\\C"}).out, QString("[A\\B\\C]\n\"v\"=\"1\"\n\n"));
}

void TestKalmoreg::deleteKey() {
    Tool tool;
    QCOMPARE(tool({"set", "A\\B\\C", "v", "1"}).exit, 0);
    QCOMPARE(tool({"delete", "A\\B\\C", "v"}).exit, 0);
    QCOMPARE(tool({"delete-key", "A\\B"}).exit, 0);
    QCOMPARE(tool({"list", "A"}).out, QString());
    QCOMPARE(tool({"get", "A\\B\\C", "v"}).exit, 1);
}

void TestKalmoreg::setFromStandardInput() {
    Tool tool;
    const QString fax = "Software\\ZEB\\Kalmo! 2.0\\Fax";
    // The text as it comes, less one final line end: blanks, quotes and umlauts kept.
    QCOMPARE(tool({"set", "--stdin", fax, "HylafaxPassword"}, " pa\"ss wört \n").exit, 0);
    QCOMPARE(tool({"get", fax, "HylafaxPassword"}).out, QString(" pa\"ss wört \n"));
    QCOMPARE(tool({"set", "--stdin", fax, "Empty"}, "").exit, 0);
    QCOMPARE(tool({"get", fax, "Empty"}).out, QString("\n"));
    // The file it went to is its owner's alone.
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile::permissions(tool.File("user.db")) & others, QFile::Permissions());
    // With --stdin the text is not an argument.
    QCOMPARE(tool({"set", "--stdin", fax, "HylafaxPassword", "secret"}, "x\n").exit, 2);
    QCOMPARE(tool({"set", "--stdin", fax}, "x\n").exit, 2);
}

QTEST_GUILESS_MAIN(TestKalmoreg)
#include "tst_kalmoreg.moc"
