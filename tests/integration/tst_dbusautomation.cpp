// The D-Bus automation layer against the stand-in, on the private test bus.

#include "DBusTestBus.h"
#include "platform/DBusAutomation.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

Q_DECLARE_METATYPE(AutoVariant)

namespace {

const QString kJournal = QStringLiteral("KalmoJournal.Document");
const QString kEcho = QStringLiteral("KalmoTest.Echo");

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void WriteAll(const QString& path, const QString& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QList<AutoVariant> SendJobArgs(const QString& remark) {
    return {AutoVariant::BStr(QStringLiteral("/data/Fax/Faxsend/_FX00001.SFF")),
            AutoVariant::BStr(QStringLiteral("08120001.FX3")),
            AutoVariant::BStr(QStringLiteral("0049 30 123456")),
            AutoVariant::I2(196),
            AutoVariant::BStr(QStringLiteral("IMMED")),
            AutoVariant::BStr(remark),
            AutoVariant::I2(1)};
}

// A process that has ended (and may wait as a zombie for its parent to reap it).
bool ProcessEnded(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    const QString stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(QLatin1Char(')'));
    return close >= 0 && stat.mid(close + 2, 1) == u"Z";
}

} // namespace

class TestDBusAutomation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void sendJobPassesSevenTypedArguments();
    void pollJobPassesFourStrings();
    void journalAnswers_data();
    void journalAnswers();
    void serverErrors_data();
    void serverErrors();
    void creationFailures_data();
    void creationFailures();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void nullDispatchAndNoResult();
    void emptyArgumentIsRefusedBeforeSending();
    void releaseWhenTheDriverLetsGo();
    void noReplyInTime();
    void serverQuitsWhenTheBusGoesAway();

private:
    DispatchDriver Create(const QString& progId);
    QString TraceEvents() { return ReadAll(m_trace); }

    QTemporaryDir m_dir;
    QString m_journal;
    QString m_answers;
    QString m_trace;
    DBusAutomationClient m_client;
};

void TestDBusAutomation::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(m_client.Initialise());
    m_journal = m_dir.filePath(QStringLiteral("journal.log"));
    m_answers = m_dir.filePath(QStringLiteral("answers"));
    m_trace = m_dir.filePath(QStringLiteral("trace"));
    // Before the first activation: the servers keep the environment they start with.
    QVERIFY(dbustest::SetActivationEnvironment(
        {{QStringLiteral("KALMO_STANDIN_JOURNAL"), m_journal},
         {QStringLiteral("KALMO_STANDIN_JOURNAL_ANSWER_FILE"), m_answers},
         {QStringLiteral("KALMO_STANDIN_TRACE"), m_trace}}));
}

void TestDBusAutomation::init() {
    WriteAll(m_journal, QString());
    WriteAll(m_answers, QString());
    WriteAll(m_trace, QString());
}

DispatchDriver TestDBusAutomation::Create(const QString& progId) {
    DispatchDriver driver;
    CreateFailure failure;
    if (!driver.CreateDispatch(m_client, progId, &failure))
        qWarning("creating %s failed: %08X %s", qPrintable(progId),
                 static_cast<quint32>(failure.scode), qPrintable(failure.text));
    return driver;
}

void TestDBusAutomation::sendJobPassesSevenTypedArguments() {
    DispatchDriver journal = Create(kJournal);
    QVERIFY(!journal.IsNull());
    const QString remark = QStringLiteral("Grüße\tan alle\\ und\r\nmehr");
    const AutoVariant answer =
        journal.InvokeHelper(1, InvokeKind::Method, VT_VARIANT, SendJobArgs(remark));
    QCOMPARE(answer.Type(), VT_I2);
    QCOMPARE(answer.ToI2(), 0);

    const QList<dbustest::CallLogLine> lines = dbustest::ReadCallLog(m_journal);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0].dispid, 1);
    QCOMPARE(lines[0].kind, u"method");
    QCOMPARE(lines[0].signature, u"sssnssn");
    QCOMPARE(lines[0].values, QStringList({"/data/Fax/Faxsend/_FX00001.SFF", "08120001.FX3",
                                           "0049 30 123456", "196", "IMMED", remark, "1"}));
    // One record per line: the remark's tab and line breaks are escaped.
    QCOMPARE(ReadAll(m_journal).count(QLatin1Char('\n')), 1);
}

void TestDBusAutomation::pollJobPassesFourStrings() {
    DispatchDriver journal = Create(kJournal);
    QVERIFY(!journal.IsNull());
    const AutoVariant answer =
        journal.InvokeHelper(2, InvokeKind::Method, VT_I2,
                             {AutoVariant::BStr("08120002.FX3"), AutoVariant::BStr("0815"),
                              AutoVariant::BStr("24-12-08-18:30"), AutoVariant::BStr(QString())});
    QCOMPARE(answer.ToI2(), 0);
    const QList<dbustest::CallLogLine> lines = dbustest::ReadCallLog(m_journal);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0].dispid, 2);
    QCOMPARE(lines[0].signature, u"ssss");
    QCOMPARE(lines[0].values, QStringList({"08120002.FX3", "0815", "24-12-08-18:30", ""}));
}

void TestDBusAutomation::journalAnswers_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("answers");
    QTest::newRow("default") << QString() << QList<int>{0, 0};
    QTest::newRow("refusal, then the default") << "1\n" << QList<int>{1, 0};
    QTest::newRow("one answer a call") << "0\n1\n-3" << QList<int>{0, 1, -3, 0};
}

// The answers come back as VT_I2, one scripted answer a call.
void TestDBusAutomation::journalAnswers() {
    QFETCH(QString, script);
    QFETCH(QList<int>, answers);
    WriteAll(m_answers, script);
    for (int expected : answers) {
        DispatchDriver journal = Create(kJournal);
        QVERIFY(!journal.IsNull());
        const AutoVariant answer =
            journal.InvokeHelper(1, InvokeKind::Method, VT_VARIANT, SendJobArgs(QString()));
        QCOMPARE(answer.Type(), VT_I2);
        QCOMPARE(answer.ToI2(), expected);
    }
    QCOMPARE(dbustest::ReadCallLog(m_journal).size(), answers.size());
}

void TestDBusAutomation::serverErrors_data() {
    QTest::addColumn<QString>("progId");
    QTest::addColumn<int>("dispid");
    QTest::addColumn<QList<AutoVariant>>("args");
    QTest::addColumn<QString>("script");
    QTest::addColumn<quint32>("scode");
    QTest::addColumn<QString>("text");
    QTest::newRow("scripted journal error")
        << kJournal << 1 << SendJobArgs(QString()) << "error 80004005: Journal gesperrt: voll"
        << 0x80004005u << "Journal gesperrt: voll";
    QTest::newRow("too few arguments")
        << kJournal << 2 << QList<AutoVariant>{AutoVariant::BStr("x")} << QString() << 0x8002000Eu
        << "Invalid number of parameters.";
    QTest::newRow("I4 where I2 is expected")
        << kJournal << 1 << QList<AutoVariant>{AutoVariant::BStr("a"),     AutoVariant::BStr("b"),
                                               AutoVariant::BStr("c"),     AutoVariant::I4(196),
                                               AutoVariant::BStr("IMMED"), AutoVariant::BStr(""),
                                               AutoVariant::I2(1)}
        << QString() << 0x80020005u << "Type mismatch.";
    QTest::newRow("unknown dispid")
        << kJournal << 3 << QList<AutoVariant>{} << QString() << 0x80020003u << "Member not found.";
    QTest::newRow("code and text of the server")
        << kEcho << 7
        << QList<AutoVariant>{AutoVariant::I4(0x80020009), AutoVariant::BStr("Kaputt")} << QString()
        << 0x80020009u << "Kaputt";
}

void TestDBusAutomation::serverErrors() {
    QFETCH(QString, progId);
    QFETCH(int, dispid);
    QFETCH(QList<AutoVariant>, args);
    QFETCH(QString, script);
    QFETCH(quint32, scode);
    QFETCH(QString, text);
    WriteAll(m_answers, script);
    DispatchDriver object = Create(progId);
    QVERIFY(!object.IsNull());
    try {
        object.InvokeHelper(dispid, InvokeKind::Method, VT_I2, args);
        QFAIL("no error");
    } catch (const AutomationError& error) {
        QCOMPARE(error.kind, AutomationError::Kind::Dispatch);
        QCOMPARE(static_cast<quint32>(error.scode), scode);
        QCOMPARE(error.text, text);
    }
}

void TestDBusAutomation::creationFailures_data() {
    QTest::addColumn<QString>("progId");
    QTest::addColumn<quint32>("scode");
    QTest::addColumn<QString>("text");
    QTest::newRow("no service") << "KalmoTest.NotProvided" << 0x800401F3u << "Invalid class string";
    QTest::newRow("not a bus name") << "Kalmo Journal" << 0x800401F3u << "Invalid class string";
    QTest::newRow("part starting with a digit")
        << "Kalmo.2Journal" << 0x800401F3u << "Invalid class string";
    QTest::newRow("program missing")
        << "KalmoTest.ExecFails" << 0x80080005u << "Server execution failed";
    QTest::newRow("server exits") << "KalmoTest.Exits" << 0x80080005u << "Server execution failed";
    QTest::newRow("server never takes its name")
        << "KalmoTest.Stalled" << 0x80080005u << "Server execution failed";
}

void TestDBusAutomation::creationFailures() {
    QFETCH(QString, progId);
    QFETCH(quint32, scode);
    QFETCH(QString, text);
    DispatchDriver driver;
    CreateFailure failure;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!driver.CreateDispatch(m_client, progId, &failure));
    QVERIFY(driver.IsNull());
    QCOMPARE(static_cast<quint32>(failure.scode), scode);
    QCOMPARE(failure.text, text);
    QVERIFY2(timer.elapsed() < m_client.Timeout() + 1000, "the failure waited too long");
}

void TestDBusAutomation::valuesRoundTrip_data() {
    QTest::addColumn<AutoVariant>("value");
    QTest::newRow("I2") << AutoVariant::I2(-32768);
    QTest::newRow("I4") << AutoVariant::I4(70000);
    QTest::newRow("BSTR") << AutoVariant::BStr(QStringLiteral("Müller\n€ 0815"));
    QTest::newRow("empty BSTR") << AutoVariant::BStr(QString());
    QTest::newRow("null dispatch") << AutoVariant::Dispatch(nullptr);
}

void TestDBusAutomation::valuesRoundTrip() {
    QFETCH(AutoVariant, value);
    DispatchDriver echo = Create(kEcho);
    QVERIFY(!echo.IsNull());
    const AutoVariant back = echo.InvokeHelper(1, InvokeKind::Method, VT_VARIANT, {value});
    QCOMPARE(back.Type(), value.Type());
    switch (value.Type()) {
    case VT_I2:
        QCOMPARE(back.ToI2(), value.ToI2());
        break;
    case VT_I4:
        QCOMPARE(back.ToI4(), value.ToI4());
        break;
    case VT_BSTR:
        QCOMPARE(back.ToBStr(), value.ToBStr());
        break;
    default:
        QVERIFY(!back.ToDispatch());
    }
}

void TestDBusAutomation::nullDispatchAndNoResult() {
    DispatchDriver echo = Create(kEcho);
    QVERIFY(!echo.IsNull());
    const AutoVariant null = echo.InvokeHelper(3, InvokeKind::Method, VT_DISPATCH);
    QCOMPARE(null.Type(), VT_DISPATCH);
    QVERIFY(null.ToDispatch() == nullptr);
    QVERIFY(echo.InvokeHelper(4, InvokeKind::Method, VT_VARIANT).IsEmpty());
    QVERIFY(echo.InvokeHelper(4, InvokeKind::Method, VT_EMPTY).IsEmpty());
    try {
        echo.InvokeHelper(4, InvokeKind::Method, VT_I4);
        QFAIL("no result converted to a number");
    } catch (const AutomationError& error) {
        QCOMPARE(error.scode, scode::kTypeMismatch);
    }
}

// D-Bus has no null: an empty argument sent would drop the message and hang the call.
void TestDBusAutomation::emptyArgumentIsRefusedBeforeSending() {
    DispatchDriver echo = Create(kEcho);
    QVERIFY(!echo.IsNull());
    QElapsedTimer timer;
    timer.start();
    try {
        echo.InvokeHelper(1, InvokeKind::Method, VT_VARIANT, {AutoVariant()});
        QFAIL("no error");
    } catch (const AutomationError& error) {
        QCOMPARE(error.kind, AutomationError::Kind::Transport);
        QCOMPARE(error.scode, scode::kTypeMismatch);
    }
    QVERIFY(timer.elapsed() < 1000);
}

void TestDBusAutomation::releaseWhenTheDriverLetsGo() {
    DispatchDriver echo = Create(kEcho);
    QVERIFY(!echo.IsNull());
    QString expected = TraceEvents();
    QVERIFY(expected.startsWith(u"new /obj/"));
    const QString parent = expected.mid(4).trimmed();
    QString child;
    {
        DispatchPtr first = echo.InvokeHelper(2, InvokeKind::Method, VT_DISPATCH).ToDispatch();
        QVERIFY(first);
        QVERIFY(TraceEvents().startsWith(expected + "new /obj/"));
        child = TraceEvents().mid(expected.size() + 4).trimmed();
        expected = TraceEvents();
        // Passed back and forth, the same object comes back as a second reference.
        DispatchPtr second =
            echo.InvokeHelper(1, InvokeKind::Method, VT_DISPATCH, {AutoVariant::Dispatch(first)})
                .ToDispatch();
        QVERIFY(second && second != first);
        DispatchDriver childDriver(first);
        QCOMPARE(
            childDriver.InvokeHelper(1, InvokeKind::Method, VT_I4, {AutoVariant::I4(5)}).ToI4(), 5);
        QCOMPARE(TraceEvents(), expected);
        second.reset();
        expected += QStringLiteral("release ") + child + QStringLiteral("\n");
        QCOMPARE(TraceEvents(), expected);
    }
    expected += QStringLiteral("release ") + child + QStringLiteral("\nfree ") + child +
                QStringLiteral("\n");
    QCOMPARE(TraceEvents(), expected);
    echo.ReleaseDispatch();
    expected += QStringLiteral("release ") + parent + QStringLiteral("\nfree ") + parent +
                QStringLiteral("\n");
    QCOMPARE(TraceEvents(), expected);
}

void TestDBusAutomation::noReplyInTime() {
    DBusAutomationClient client;
    client.SetTimeout(300);
    DispatchDriver echo;
    QVERIFY(echo.CreateDispatch(client, kEcho));
    try {
        echo.InvokeHelper(6, InvokeKind::Method, VT_I4, {AutoVariant::I4(1500)});
        QFAIL("no error");
    } catch (const AutomationError& error) {
        QCOMPARE(error.kind, AutomationError::Kind::Transport);
        QCOMPARE(static_cast<quint32>(error.scode), 0x800706BAu);
        QCOMPARE(error.text, u"The RPC server is unavailable.");
    }
    // The server answers again once it is done.
    QTest::qWait(1500);
}

// On its own bus, so that the bus can be taken away under the server.
void TestDBusAutomation::serverQuitsWhenTheBusGoesAway() {
    QProcess daemon;
    daemon.start(qEnvironmentVariable("KALMO_DBUS_DAEMON"),
                 {QStringLiteral("--config-file=") + qEnvironmentVariable("KALMO_DBUS_CONFIG"),
                  QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(daemon.waitForStarted());
    QTRY_VERIFY(daemon.canReadLine());
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    qint64 pid = 0;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("own-bus"));
        QVERIFY(bus.isConnected());
        DBusAutomationClient client(bus);
        DispatchDriver journal;
        QVERIFY(journal.CreateDispatch(client, kEcho));
        const QDBusReply<uint> owner = bus.interface()->servicePid(kEcho);
        QVERIFY(owner.isValid());
        pid = owner.value();
        QVERIFY(pid > 0);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("own-bus"));
    QVERIFY(!ProcessEnded(pid));
    daemon.terminate();
    QVERIFY(daemon.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(ProcessEnded(pid), 5000);
}

QTEST_GUILESS_MAIN(TestDBusAutomation)
#include "tst_dbusautomation.moc"
