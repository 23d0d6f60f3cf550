// The fax server's password in the keyring: a real gnome-keyring-daemon on the test's private
// bus, kalmofax password fed on standard input, and what LoadFaxSettings then reads. The bus
// has no keyring of its own: cases without PrivateKeyring see none.
#include "PrivateKeyring.h"
#include "TestRegistry.h"
#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "faxapp/sending/FaxSettings.h"
#include "platform/secrets/SecretStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace std::chrono_literals;

namespace {

const QString kFaxKey = fax::SectionKey(fax::kSectionFax);

// The store files and XDG folders of one case, named in this process's environment so that
// LoadFaxSettings and the programs started from here use them.
class Workspace {
public:
    Workspace() {
        qputenv("KALMO_USER_REGISTRY", m_registry.UserFile().toLocal8Bit());
        qputenv("KALMO_MACHINE_REGISTRY", m_registry.MachineFile().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (m_registry.Path() + "/data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (m_registry.Path() + "/config").toLocal8Bit());
    }
    TestRegistry& Registry() { return m_registry; }

    // kalmofax password [args] with input on standard input.
    int Password(const QByteArray& input, const QStringList& args = {}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(qEnvironmentVariable("KALMOFAX"), QStringList{"password"} + args);
        if (!p.waitForStarted(10000))
            return -1;
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return -2;
        return p.exitCode();
    }

    std::optional<QString> StoredPassword() {
        RegistryStore user(qEnvironmentVariable("KALMO_USER_REGISTRY"),
                           RegistryStore::Access::ReadOnly);
        const auto value = user.QueryValue(kFaxKey, QStringLiteral("HylafaxPassword"));
        return value ? std::optional<QString>(value->text) : std::nullopt;
    }

private:
    TestRegistry m_registry;
};

void PointAtServer(TestRegistry& registry) {
    TestRegistry::Set(registry.User(), kFaxKey, QStringLiteral("HylafaxHost"), "fax.example.lan");
    TestRegistry::Set(registry.User(), kFaxKey, QStringLiteral("HylafaxPort"), "4560");
    TestRegistry::Set(registry.User(), kFaxKey, QStringLiteral("HylafaxUser"), "alice");
}

// The secret under key; "<none>" when there is none, "<problem: ...>" when the keyring fails.
QString Secret(const QString& key) {
    const auto read = secrets::ReadSecret(key, 10s);
    if (!read)
        return "<problem: " + read.Error().Text() + ">";
    return read->value_or("<none>");
}

// Why a call failed, for QVERIFY2, which reads its message even when the call succeeded.
template <typename T> QByteArray Why(const Result<T>& result) {
    return result ? QByteArray() : result.Error().Text().toLocal8Bit();
}

const QString kAccountKey = "hylafax://alice@fax.example.lan:4560";

} // namespace

class TestKeyring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noKeyringFailsFast();
    void passwordWithoutKeyringInThePrivateStoreFile();
    void secretStore();
    void passwordGoesToTheKeyring();
    void keyringWinsOverTheStoreFile();
    void passwordKeys_data();
    void passwordKeys();
    void serverMachineThenUser_data();
    void serverMachineThenUser();

private:
    // Starts the keyring on first use; empty when it runs.
    QString KeyringUp() {
        if (!m_keyringUp) {
            const QString started = m_keyring.Start();
            if (!started.isEmpty())
                return started;
            m_keyringUp = true;
        }
        return {};
    }

    PrivateKeyring m_keyring;
    bool m_keyringUp = false;
};

void TestKeyring::secretStore() {
    const QString started = KeyringUp();
    QVERIFY2(started.isEmpty(), qPrintable(started));
    QVERIFY(secrets::KeyringAvailable());

    const auto missing = secrets::ReadSecret("hylafax://nobody@host:1", 10s);
    QVERIFY2(missing, Why(missing));
    QVERIFY(!missing->has_value());

    const QString secret = "Grüße aus Köln: \"x\" \\ y ";
    const auto written = secrets::WriteSecret("hylafax://a@host:1", secret, 10s);
    QVERIFY2(written, Why(written));
    QVERIFY(secrets::WriteSecret("hylafax://b@host:1", "other", 10s));
    QCOMPARE(Secret("hylafax://a@host:1"), secret);
    QVERIFY(secrets::WriteSecret("hylafax://a@host:1", "replaced", 10s));
    QCOMPARE(Secret("hylafax://a@host:1"), "replaced");

    QVERIFY(secrets::DeleteSecret("hylafax://a@host:1", 10s));
    QVERIFY(Secret("hylafax://a@host:1") == "<none>");
    QVERIFY(secrets::DeleteSecret("hylafax://a@host:1", 10s)); // gone already: no problem
    QCOMPARE(Secret("hylafax://b@host:1"), "other");
}

void TestKeyring::noKeyringFailsFast() {
    QVERIFY(!secrets::KeyringAvailable());
    QElapsedTimer clock;
    clock.start();
    const auto read = secrets::ReadSecret("hylafax://a@host:1", 20s);
    QVERIFY(!read);
    QVERIFY2(clock.elapsed() < 15000, "waited for a keyring that is not there");
}

void TestKeyring::passwordGoesToTheKeyring() {
    const QString started = KeyringUp();
    QVERIFY2(started.isEmpty(), qPrintable(started));
    Workspace ws;
    PointAtServer(ws.Registry());
    // An older setup kept it in the store file: once in the keyring, no copy stays there.
    TestRegistry::Set(ws.Registry().User(), kFaxKey, QStringLiteral("HylafaxPassword"), "old");

    QCOMPARE(ws.Password("new secret\n"), 0);
    QCOMPARE(Secret(kAccountKey), "new secret");
    QCOMPARE(ws.StoredPassword(), std::nullopt);
    QCOMPARE(faxapp::LoadFaxSettings(faxapp::ServerPassword::Read).server.password, "new secret");

    QCOMPARE(ws.Password({}, {"--delete"}), 0);
    QVERIFY(Secret(kAccountKey) == "<none>");
    QCOMPARE(faxapp::LoadFaxSettings(faxapp::ServerPassword::Read).server.password, QString());
}

void TestKeyring::keyringWinsOverTheStoreFile() {
    const QString started = KeyringUp();
    QVERIFY2(started.isEmpty(), qPrintable(started));
    Workspace ws;
    PointAtServer(ws.Registry());
    TestRegistry::Set(ws.Registry().User(), kFaxKey, QStringLiteral("HylafaxUser"), "carol");
    TestRegistry::Set(ws.Registry().User(), kFaxKey, QStringLiteral("HylafaxPassword"), "file");
    // The keyring has none for this account: the store file's stands in.
    QCOMPARE(faxapp::LoadFaxSettings(faxapp::ServerPassword::Read).server.password, "file");
    QVERIFY(secrets::WriteSecret("hylafax://carol@fax.example.lan:4560", "keyring", 10s));
    QCOMPARE(faxapp::LoadFaxSettings(faxapp::ServerPassword::Read).server.password, "keyring");
}

void TestKeyring::passwordWithoutKeyringInThePrivateStoreFile() {
    Workspace ws;
    // A user without a store file yet; the server named machine-wide.
    const QString userFile = ws.Registry().Path() + "/fresh-user.db";
    qputenv("KALMO_USER_REGISTRY", userFile.toLocal8Bit());
    TestRegistry::Set(ws.Registry().Machine(), kFaxKey, QStringLiteral("HylafaxHost"), "fax.lan");
    // Never read from the machine's store, which every user can read.
    TestRegistry::Set(ws.Registry().Machine(), kFaxKey, QStringLiteral("HylafaxPassword"),
                      "machine");
    QCOMPARE(faxapp::LoadFaxSettings(faxapp::ServerPassword::Read).server.password, QString());

    QCOMPARE(ws.Password("p\xc3\xa4ss word\r\n"), 0);
    QCOMPARE(ws.StoredPassword(), "päss word");
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(userFile).permissions() & others, QFile::Permissions());
    QCOMPARE(faxapp::LoadFaxSettings(faxapp::ServerPassword::Read).server.password, "päss word");
}

void TestKeyring::passwordKeys_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("key");
    QTest::newRow("user") << "fax.lan" << 4559 << "bob"
                          << "hylafax://bob@fax.lan:4559";
    QTest::newRow("login name") << "fax.lan" << 4559 << ""
                                << "hylafax://fax.lan:4559";
    QTest::newRow("IPv6") << "fd00::1" << 4560 << "bob"
                          << "hylafax://bob@[fd00::1]:4560";
}

void TestKeyring::passwordKeys() {
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, user);
    QFETCH(QString, key);
    QCOMPARE(faxapp::ServerPasswordKey(
                 {faxapp::kDefaultServerKind, host, static_cast<quint16>(port), user, {}}),
             key);
}

void TestKeyring::serverMachineThenUser_data() {
    QTest::addColumn<QString>("machineHost");
    QTest::addColumn<QString>("machinePort");
    QTest::addColumn<QString>("userHost");
    QTest::addColumn<QString>("userPort");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("machine only") << "fax.lan"
                                  << "4560"
                                  << ""
                                  << ""
                                  << "fax.lan" << 4560;
    QTest::newRow("user wins") << "fax.lan"
                               << "4560"
                               << "own.lan"
                               << "4561"
                               << "own.lan" << 4561;
    QTest::newRow("port per user, host machine-wide") << "fax.lan"
                                                      << ""
                                                      << ""
                                                      << "4562"
                                                      << "fax.lan" << 4562;
    QTest::newRow("neither") << ""
                             << ""
                             << ""
                             << ""
                             << "localhost" << 4559;
}

void TestKeyring::serverMachineThenUser() {
    QFETCH(QString, machineHost);
    QFETCH(QString, machinePort);
    QFETCH(QString, userHost);
    QFETCH(QString, userPort);
    QFETCH(QString, host);
    QFETCH(int, port);
    Workspace ws;
    const auto set = [&](RegistryStore& store, const QString& name, const QString& text) {
        if (!text.isEmpty())
            TestRegistry::Set(store, kFaxKey, name, text);
    };
    set(ws.Registry().Machine(), QStringLiteral("HylafaxHost"), machineHost);
    set(ws.Registry().Machine(), QStringLiteral("HylafaxPort"), machinePort);
    set(ws.Registry().User(), QStringLiteral("HylafaxHost"), userHost);
    set(ws.Registry().User(), QStringLiteral("HylafaxPort"), userPort);
    const faxapp::FaxSettings settings = faxapp::LoadFaxSettings(faxapp::ServerPassword::Read);
    QVERIFY2(settings.error.isEmpty(), qPrintable(settings.error));
    QCOMPARE(settings.server.host, host);
    QCOMPARE(int{settings.server.port}, port);
}

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
