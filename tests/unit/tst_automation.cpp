// The automation layer without a bus: values, error messages, names, the fake.

#include "FakeAutomation.h"
#include "platform/DBusAutomation.h"

#include <QDBusConnection>
#include <QTest>

class TestAutomation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void integerConversions_data();
    void integerConversions();
    void mismatches();
    void errorMessage_data();
    void errorMessage();
    void busNames_data();
    void busNames();
    void errorReplies_data();
    void errorReplies();
    void noBus();
    void fakeRecordsCallsAndReleases();
    void fakeCreationFailures();
    void fakeObjectOutlivesTheFake();
};

void TestAutomation::integerConversions_data() {
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("fitsI2");
    QTest::newRow("zero") << 0 << true;
    QTest::newRow("I2 max") << 32767 << true;
    QTest::newRow("I2 min") << -32768 << true;
    QTest::newRow("above I2") << 32768 << false;
    QTest::newRow("below I2") << -32769 << false;
}

void TestAutomation::integerConversions() {
    QFETCH(qint32, value);
    QFETCH(bool, fitsI2);
    const AutoVariant i4 = AutoVariant::I4(value);
    QCOMPARE(i4.ConvertTo(VT_I4).ToI4(), value);
    if (fitsI2) {
        const AutoVariant i2 = i4.ConvertTo(VT_I2);
        QCOMPARE(i2.Type(), VT_I2);
        QCOMPARE(i2.ToI2(), value);
        QCOMPARE(i2.ConvertTo(VT_I4).Type(), VT_I4);
    } else {
        QVERIFY_THROWS_EXCEPTION(AutomationError, i4.ConvertTo(VT_I2));
    }
}

void TestAutomation::mismatches() {
    const AutoVariant text = AutoVariant::BStr(QStringLiteral("12"));
    QVERIFY_THROWS_EXCEPTION(AutomationError, text.ConvertTo(VT_I4));
    QVERIFY_THROWS_EXCEPTION(AutomationError, AutoVariant().ConvertTo(VT_BSTR));
    QVERIFY_THROWS_EXCEPTION(AutomationError, AutoVariant::I2(1).ConvertTo(VT_DISPATCH));
    QCOMPARE(text.ConvertTo(VT_VARIANT).ToBStr(), u"12");
    try {
        AutoVariant::I4(1).ToBStr();
    } catch (const AutomationError& error) {
        QCOMPARE(error.kind, AutomationError::Kind::Transport);
        QCOMPARE(error.scode, scode::kTypeMismatch);
    }
}

void TestAutomation::errorMessage_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("scode");
    QTest::addColumn<QString>("text");
    QTest::newRow("code and text")
        << "80020009: Journal voll" << true << 0x80020009u << "Journal voll";
    QTest::newRow("lower case, colon in text") << "8002000e: a: b" << true << 0x8002000Eu << "a: b";
    QTest::newRow("empty text") << "00000001: " << true << 1u << "";
    QTest::newRow("seven digits") << "8002009: x" << false << 0u << "";
    QTest::newRow("no blank") << "80020009:x" << false << 0u << "";
    QTest::newRow("not hex") << "8002000G: x" << false << 0u << "";
    QTest::newRow("sign") << "+8002000: x" << false << 0u << "";
}

void TestAutomation::errorMessage() {
    QFETCH(QString, message);
    QFETCH(bool, valid);
    QFETCH(quint32, scode);
    QFETCH(QString, text);
    qint32 code = 0;
    QString parsed;
    QCOMPARE(dbusauto::ParseErrorMessage(message, code, parsed), valid);
    if (!valid)
        return;
    QCOMPARE(static_cast<quint32>(code), scode);
    QCOMPARE(parsed, text);
    // Written back, upper case with eight digits.
    QCOMPARE(dbusauto::FormatErrorMessage(code, parsed),
             QString::number(scode, 16).rightJustified(8, '0').toUpper() + ": " + text);
}

void TestAutomation::busNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("journal") << "KalmoJournal.Document" << true;
    QTest::newRow("MAPI") << "MAPI.Session" << true;
    QTest::newRow("dash and underscore") << "a-b.c_d" << true;
    QTest::newRow("one part") << "Journal" << false;
    QTest::newRow("empty part") << "Kalmo..Journal" << false;
    QTest::newRow("digit first") << "Kalmo.2Journal" << false;
    QTest::newRow("blank") << "Kalmo Journal.Document" << false;
    QTest::newRow("umlaut") << "Kälmo.Document" << false;
    QTest::newRow("unique name") << ":1.42" << false;
    QTest::newRow("too long") << QString(250, 'a') + ".bcdef" << false;
}

void TestAutomation::busNames() {
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(dbusauto::IsValidBusName(name), valid);
}

void TestAutomation::errorReplies_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("dispatch"); // a call's error is the object's, not the bus's
    QTest::addColumn<quint32>("callCode");
    QTest::addColumn<quint32>("createCode");
    QTest::addColumn<QString>("text"); // empty: the status code's own text
    const QString bus = "org.freedesktop.DBus.Error.";
    QTest::newRow("object's error") << "org.zeb.Automation.Error"
                                    << "80040111: Anmeldung abgelehnt" << true << 0x80040111u
                                    << 0x80040111u << "Anmeldung abgelehnt";
    QTest::newRow("object's error without code")
        << "org.zeb.Automation.Error"
        << "kaputt" << true << 0x80020009u << 0x80020009u << "kaputt";
    QTest::newRow("no reply") << bus + "NoReply"
                              << "x" << false << 0x800706BAu << 0x80080005u << "";
    QTest::newRow("timed out") << bus + "TimedOut"
                               << "x" << false << 0x800706BAu << 0x80080005u << "";
    QTest::newRow("disconnected") << bus + "Disconnected"
                                  << "x" << false << 0x800706BAu << 0x800706BAu << "";
    QTest::newRow("service unknown") << bus + "ServiceUnknown"
                                     << "x" << false << 0x800706BAu << 0x800401F3u << "";
    QTest::newRow("no owner") << bus + "NameHasNoOwner"
                              << "x" << false << 0x800706BAu << 0x800401F3u << "";
    QTest::newRow("spawn failed") << bus + "Spawn.ChildExited"
                                  << "x" << false << 0x80004005u << 0x80080005u << "";
    QTest::newRow("unknown method") << bus + "UnknownMethod"
                                    << "x" << false << 0x80020003u << 0x80080005u << "";
    QTest::newRow("unknown object") << bus + "UnknownObject"
                                    << "x" << false << 0x80020003u << 0x80080005u << "";
    QTest::newRow("invalid args") << bus + "InvalidArgs"
                                  << "x" << false << 0x80020005u << 0x80080005u << "";
    QTest::newRow("another program's error")
        << "com.example.Error.Failed"
        << "80020009: x" << false << 0x80004005u << 0x80080005u << "";
}

void TestAutomation::errorReplies() {
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(bool, dispatch);
    QFETCH(quint32, callCode);
    QFETCH(quint32, createCode);
    QFETCH(QString, text);
    const AutomationError error = dbusauto::CallError(name, message);
    QCOMPARE(error.kind,
             dispatch ? AutomationError::Kind::Dispatch : AutomationError::Kind::Transport);
    QCOMPARE(static_cast<quint32>(error.scode), callCode);
    QCOMPARE(error.text, text.isEmpty() ? AutomationStatusText(error.scode) : text);
    const CreateFailure failure = dbusauto::CreateError(name, message);
    QCOMPARE(static_cast<quint32>(failure.scode), createCode);
    QCOMPARE(failure.text, text.isEmpty() ? AutomationStatusText(failure.scode) : text);
}

void TestAutomation::noBus() {
    DBusAutomationClient client(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/kalmo-bus"), QStringLiteral("no-bus")));
    QVERIFY(!client.Initialise());
    CreateFailure failure;
    QVERIFY(!client.CreateInstance(QStringLiteral("KalmoJournal.Document"), failure));
    QCOMPARE(static_cast<quint32>(failure.scode), 0x800706BAu);
    QCOMPARE(failure.text, AutomationStatusText(failure.scode));
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

void TestAutomation::fakeRecordsCallsAndReleases() {
    FakeAutomation automation;
    automation.RegisterClass(
        "Outlook.Application", [&](int dispid, InvokeKind, const QList<AutoVariant>&) {
            if (dispid == 0x110)
                return AutoVariant::Dispatch(automation.MakeObject(
                    "namespace", [](int, InvokeKind kind, const QList<AutoVariant>&) {
                        if (kind == InvokeKind::PropertyGet)
                            throw AutomationError(AutomationError::Kind::Dispatch, 0x80020009,
                                                  "kaputt");
                        return AutoVariant::I4(7);
                    }));
            return AutoVariant();
        });
    {
        DispatchDriver app;
        QVERIFY(app.CreateDispatch(automation, "Outlook.Application"));
        DispatchDriver ns(
            app.InvokeHelper(0x110, InvokeKind::Method, VT_DISPATCH, {AutoVariant::BStr("MAPI")})
                .ToDispatch());
        QCOMPARE(ns.InvokeHelper(0x210B, InvokeKind::Method, VT_I4, {AutoVariant::I4(10)}).ToI4(),
                 7);
        QVERIFY_THROWS_EXCEPTION(AutomationError, ns.GetProperty(0x2103, VT_DISPATCH));
        QCOMPARE(automation.LiveObjects(), 2);
        ns.ReleaseDispatch();
        QCOMPARE(automation.released, QStringList{"namespace"});
    }
    QCOMPARE(automation.ReleaseCount("Outlook.Application#1"), 1);
    QCOMPARE(automation.LiveObjects(), 0);
    QCOMPARE(automation.calls.size(), 3);
    QCOMPARE(automation.CallsOf("Outlook.Application").size(), 1);
    const FakeAutomation::Call& first = automation.calls.at(0);
    QCOMPARE(first.object, u"Outlook.Application#1");
    QCOMPARE(first.dispid, 0x110);
    QCOMPARE(first.Signature(), u"s");
    QCOMPARE(first.args.at(0).ToBStr(), u"MAPI");
    QCOMPARE(automation.calls.at(1).Types(), QList<VarType>{VT_I4});
    QCOMPARE(automation.calls.at(2).kind, InvokeKind::PropertyGet);
}

void TestAutomation::fakeCreationFailures() {
    FakeAutomation automation;
    automation.RegisterClass(
        "KalmoJournal.Document",
        [](int, InvokeKind, const QList<AutoVariant>&) { return AutoVariant(); });
    automation.FailCreation("KalmoJournal.Document", scode::kServerExecFailure,
                            "Server execution failed");
    CreateFailure failure;
    QVERIFY(!automation.CreateInstance("KalmoJournal.Document", failure));
    QCOMPARE(failure.scode, scode::kServerExecFailure);
    QCOMPARE(failure.text, u"Server execution failed");
    QVERIFY(!automation.CreateInstance("KalmoAdr.Document", failure));
    QCOMPARE(failure.scode, scode::kClassNotRegistered);
    QCOMPARE(failure.text, u"Invalid class string");
    QCOMPARE(automation.creations, QStringList({"KalmoJournal.Document", "KalmoAdr.Document"}));
    QVERIFY(automation.created.isEmpty());
}

void TestAutomation::fakeObjectOutlivesTheFake() {
    DispatchPtr object;
    {
        FakeAutomation automation;
        automation.RegisterClass(
            "A.B", [](int, InvokeKind, const QList<AutoVariant>&) { return AutoVariant::I2(3); });
        CreateFailure failure;
        object = automation.CreateInstance("A.B", failure);
    }
    QCOMPARE(object->Invoke(1, InvokeKind::Method, {}).ToI2(), 3);
    object.reset();
}

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
