// The built kalmofax as a program: `run` owns the presence name kalmosend asks for while it
// runs and gives it up on a signal or when its bus goes away; a second `run` leaves the first
// alone; `version --text` names every part.

#include "DBusTestBus.h"
#include "fax/FaxContract.h"
#include "platform/Presence.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sqlite3.h>

namespace {

const QString kFaxKey = "Software\\ZEB\\Kalmo! 2.0\\KALMO!";

bool Owned(QDBusConnection& bus) {
    const QDBusReply<bool> reply =
        bus.interface()->isServiceRegistered(Presence::BusName(fax::kWindowClass));
    return reply.isValid() && reply.value();
}

} // namespace

class TestKalmofax : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void runOwnsPresenceUntilSignal_data();
    void runOwnsPresenceUntilSignal();
    void runEndsWithItsBus();
    void versionText();

private:
    QProcessEnvironment Environment() const;
    void Start(QProcess& process, const QString& program, const QStringList& args,
               const QProcessEnvironment& env);

    QTemporaryDir m_dir;
};

void TestKalmofax::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath("programs"));
    QVERIFY(QDir(m_dir.path()).mkpath("home"));
    QVERIFY(QFile::link(qEnvironmentVariable("KALMOFAX"), m_dir.filePath("programs/KalFax32.exe")));
    for (const auto& [name, value] : {std::pair{"SystemDir", m_dir.filePath("programs")},
                                      std::pair{"DatenDir", m_dir.filePath("data")}}) {
        QProcess reg;
        reg.setProcessEnvironment(Environment());
        reg.start(qEnvironmentVariable("KALMOREG"), {"--machine", "set", kFaxKey, name, value});
        QVERIFY(reg.waitForFinished(20000));
        QCOMPARE(reg.exitCode(), 0);
    }
}

QProcessEnvironment TestKalmofax::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALMO_MACHINE_REGISTRY", m_dir.filePath("machine.db"));
    env.insert("KALMO_USER_REGISTRY", m_dir.filePath("user.db"));
    env.insert("HOME", m_dir.filePath("home"));
    env.insert("XDG_DATA_HOME", m_dir.filePath("home/.local/share"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

void TestKalmofax::Start(QProcess& process, const QString& program, const QStringList& args,
                         const QProcessEnvironment& env) {
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
}

void TestKalmofax::runOwnsPresenceUntilSignal_data() {
    QTest::addColumn<bool>("asProgram"); // started through the program folder's link
    QTest::addColumn<int>("signal");
    QTest::newRow("kalmofax run, SIGTERM") << false << int(SIGTERM);
    QTest::newRow("KalFax32.exe, SIGINT") << true << int(SIGINT);
}

void TestKalmofax::runOwnsPresenceUntilSignal() {
    QFETCH(bool, asProgram);
    QFETCH(int, signal);
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(bus.isConnected());
    QVERIFY(!Owned(bus));

    QProcess first;
    if (asProgram)
        Start(first, m_dir.filePath("programs/KalFax32.exe"), {}, Environment());
    else
        Start(first, qEnvironmentVariable("KALMOFAX"), {"run", "--minimised"}, Environment());
    QTRY_VERIFY_WITH_TIMEOUT(Owned(bus), 20000);
    QCOMPARE(dbustest::ServicePid(Presence::BusName(fax::kWindowClass)), first.processId());

    // A second start finds the first and leaves at once, the name with its owner.
    QProcess second;
    Start(second, qEnvironmentVariable("KALMOFAX"), {"run"}, Environment());
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardOutput().contains("already running"));
    QCOMPARE(dbustest::ServicePid(Presence::BusName(fax::kWindowClass)), first.processId());
    QCOMPARE(first.state(), QProcess::Running);
    // What the second one asked of the first: show the window.
    const QDBusMessage shown = bus.call(QDBusMessage::createMethodCall(
        Presence::BusName(fax::kWindowClass), "/", "org.zeb.Kalmofax.MainWindow", "Show"));
    QVERIFY2(shown.type() == QDBusMessage::ReplyMessage, qPrintable(shown.errorMessage()));

    ::kill(pid_t(first.processId()), signal);
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit); // the loop ended, not the signal
    QCOMPARE(first.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!Owned(bus), 5000);
}

// On a bus of its own: the bus ends, the application with it.
void TestKalmofax::runEndsWithItsBus() {
    QProcess daemon;
    daemon.start(qEnvironmentVariable("KALMO_DBUS_DAEMON"),
                 {"--config-file=" + qEnvironmentVariable("KALMO_DBUS_CONFIG"), "--nofork",
                  "--print-address=1"});
    QVERIFY(daemon.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(daemon.canReadLine(), 10000);
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QVERIFY(!address.isEmpty());
    QDBusConnection privateBus = QDBusConnection::connectToBus(address, "tst_kalmofax_private");
    QVERIFY(privateBus.isConnected());

    QProcessEnvironment env = Environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    QProcess app;
    Start(app, qEnvironmentVariable("KALMOFAX"), {"run", "--minimised"}, env);
    QTRY_VERIFY_WITH_TIMEOUT(Owned(privateBus), 20000);
    QDBusConnection::disconnectFromBus("tst_kalmofax_private");

    daemon.terminate();
    QVERIFY(daemon.waitForFinished(10000));
    QVERIFY2(app.waitForFinished(20000), "kalmofax run outlived its bus");
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
}

void TestKalmofax::versionText() {
    QProcess p;
    Start(p, qEnvironmentVariable("KALMOFAX"), {"version", "--text"}, Environment());
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 0);
    QMap<QString, QString> parts;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (!line.isEmpty())
            parts.insert(line.section(": ", 0, 0), line.section(": ", 1));
    }
    const QString own = qEnvironmentVariable("KALMO_PROJECT_VERSION");
    QCOMPARE(parts.value("kalmofax"), own);
    QCOMPARE(parts.value("kalmosend"), own);
    QCOMPARE(parts.value("Qt"), QString(qVersion()));
    QCOMPARE(parts.value("SQLite"), QString(sqlite3_libversion()));
    QVERIFY2(QRegularExpression("^\\d+\\.\\d+(\\.\\d+)?$").match(parts.value("libtiff")).hasMatch(),
             qPrintable(parts.value("libtiff")));
    // Ghostscript is one of the build's dependencies: it is there, with its own answer.
    QProcess gs;
    gs.start("gs", {"--version"});
    QVERIFY2(gs.waitForFinished(10000), "gs is missing: run scripts/install-deps");
    QCOMPARE(parts.value("Ghostscript"), QString::fromUtf8(gs.readAllStandardOutput()).trimmed());
    QVERIFY(parts.contains("HylaFAX-Client"));
}

QTEST_GUILESS_MAIN(TestKalmofax)
#include "tst_kalmofax.moc"
