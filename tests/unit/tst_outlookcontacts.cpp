// The Outlook and CDO connectors against the in-process automation fake: the rows of one
// contact, the session's states, and the errors that the bus cannot easily produce.

#include "FakeAutomation.h"
#include "RecordingMessenger.h"
#include "RecordingRecipientList.h"
#include "ServiceFakes.h"
#include "addressbook/MapiSession.h"
#include "addressbook/OutlookContacts.h"
#include "platform/DBusAutomation.h"

#include <QTest>
#include <functional>

namespace {

const QString kMapi = QStringLiteral("MAPI.Session");
const QString kOutlook = QStringLiteral("Outlook.Application");
const qint32 kLogonFailed = static_cast<qint32>(0x80040111u);

AutomationError DispatchError(qint32 code, const QString& text) {
    return AutomationError(AutomationError::Kind::Dispatch, code, text);
}

AutomationError TransportError() {
    return AutomationError(AutomationError::Kind::Transport, scode::kRpcUnavailable,
                           QStringLiteral("The RPC server is unavailable."));
}

// A CDO session with one address list of entries (name, primary, business, home). Hooks let
// a test refuse the log-on or break one member.
struct FakeCdo {
    struct Entry {
        QString name, primary, business, home;
    };

    explicit FakeCdo(FakeAutomation& a) : automation(a) {
        automation.RegisterClass(kMapi, [this](int dispid, InvokeKind, const QList<AutoVariant>&) {
            if (dispid == cdo::kSessionLogon && refuseLogons > 0) {
                --refuseLogons;
                throw DispatchError(kLogonFailed, QStringLiteral("Anmeldung abgelehnt"));
            }
            if (dispid == cdo::kSessionAddressLists)
                return AutoVariant::Dispatch(Lists());
            return AutoVariant();
        });
    }

    DispatchPtr Lists() {
        return automation.MakeObject(QStringLiteral("lists"),
                                     [this](int dispid, InvokeKind, const QList<AutoVariant>&) {
                                         if (dispid == cdo::kCollectionCount)
                                             return AutoVariant::I4(listCount);
                                         return AutoVariant::Dispatch(List());
                                     });
    }

    DispatchPtr List() {
        return automation.MakeObject(QStringLiteral("list"),
                                     [this](int, InvokeKind, const QList<AutoVariant>&) {
                                         return AutoVariant::Dispatch(Entries());
                                     });
    }

    DispatchPtr Entries() {
        return automation.MakeObject(
            QStringLiteral("entries"), [this](int dispid, InvokeKind, const QList<AutoVariant>&) {
                if (dispid == cdo::kCollectionCount)
                    return AutoVariant::I4(static_cast<qint32>(entries.size()));
                cursor = dispid == cdo::kEntriesGetFirst ? 0 : cursor + 1;
                if (cursor == failMoveAt)
                    throw TransportError();
                if (cursor >= entries.size())
                    return AutoVariant::Dispatch(nullptr);
                return AutoVariant::Dispatch(MakeEntry(entries.at(cursor)));
            });
    }

    DispatchPtr MakeEntry(const Entry& entry) {
        return automation.MakeObject(
            QStringLiteral("entry ") + entry.name,
            [this, entry](int dispid, InvokeKind, const QList<AutoVariant>&) {
                if (dispid == cdo::kEntryName)
                    return AutoVariant::BStr(entry.name);
                return AutoVariant::Dispatch(Fields(entry));
            });
    }

    DispatchPtr Fields(const Entry& entry) {
        return automation.MakeObject(QStringLiteral("fields"), [this, entry](
                                                                   int, InvokeKind,
                                                                   const QList<AutoVariant>& args) {
            const qint32 tag = args.constFirst().ToI4();
            const QString value = tag == cdo::kPrimaryFax    ? entry.primary
                                  : tag == cdo::kBusinessFax ? entry.business
                                                             : entry.home;
            if (value.isEmpty())
                throw DispatchError(static_cast<qint32>(0x8004010Fu), QStringLiteral("not found"));
            return AutoVariant::Dispatch(automation.MakeObject(
                QStringLiteral("field"), [value](int, InvokeKind, const QList<AutoVariant>&) {
                    return AutoVariant::BStr(value);
                }));
        });
    }

    int SessionCalls(int dispid) const {
        int n = 0;
        for (const FakeAutomation::Call& call : automation.CallsOf(kMapi))
            n += call.dispid == dispid ? 1 : 0;
        return n;
    }

    FakeAutomation& automation;
    QList<Entry> entries;
    qint32 listCount = 1;
    int refuseLogons = 0;
    qsizetype cursor = -1;
    qsizetype failMoveAt = -1;
};

OutlookSettings Cdo() {
    OutlookSettings settings;
    settings.m_bUseOutlook = 1;
    return settings;
}

} // namespace

class TestOutlookContacts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addContactEntries_data();
    void addContactEntries();
    void cdoCannotStart_data();
    void cdoCannotStart();
    void refusedLogonKeepsTheSessionForTheNextRefresh();
    void cdoErrorWhileMovingEndsTheReadAndLogsOff();
    void cdoReadsEveryEntryAndReleasesAtTheEnd();
    void outlookCannotBeCreated();
    void outlookErrorKeepsTheRowsBefore();
};

void TestOutlookContacts::addContactEntries_data() {
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("business");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("none") << ""
                          << ""
                          << "" << QStringList();
    QTest::newRow("business only") << ""
                                   << "111"
                                   << "" << QStringList{"Meier=111"};
    QTest::newRow("home only") << ""
                               << ""
                               << "222" << QStringList{"Meier=222"};
    QTest::newRow("business and home")
        << ""
        << "111"
        << "222" << QStringList{"Meier (gesch.)=111", "Meier (privat)=222"};
    QTest::newRow("primary and business") << "333"
                                          << "111"
                                          << "" << QStringList{"Meier=333", "Meier (gesch.)=111"};
    QTest::newRow("primary and home") << "333"
                                      << ""
                                      << "222" << QStringList{"Meier=333", "Meier (privat)=222"};
    QTest::newRow("all three") << "333"
                               << "111"
                               << "222"
                               << QStringList{"Meier=333", "Meier (gesch.)=111",
                                              "Meier (privat)=222"};
}

void TestOutlookContacts::addContactEntries() {
    QFETCH(QString, primary);
    QFETCH(QString, business);
    QFETCH(QString, home);
    QFETCH(QStringList, rows);

    RecordingRecipientList list;
    int counter = 5; // the running index of the source run goes on from where it stands
    AddContactEntries(list, counter, QStringLiteral("Meier"), primary, business, home);
    QCOMPARE(list.Texts(), rows);
    QCOMPARE(counter, 5 + rows.size());
    for (qsizetype i = 0; i < list.rows.size(); ++i) {
        QCOMPARE(list.rows[i].index, 5 + i);
        QCOMPARE(list.rows[i].entry.image, int(RecipientEntry::kOutlook));
    }
}

void TestOutlookContacts::cdoCannotStart_data() {
    QTest::addColumn<bool>("initialises");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sessionHeld");

    QTest::newRow("no automation")
        << false << 0 << 618 << "COM-Bibliotheken sind nicht installiert" << false;
    QTest::newRow("not registered") << true << scode::kClassNotRegistered << 619
                                    << "CDO-Bibliotheken sind nicht installiert" << false;
    QTest::newRow("does not start")
        << true << scode::kServerExecFailure << 620
        << "Die CDO-Bibliotheken sind nicht korrekt\n\nServer execution failed" << false;
}

void TestOutlookContacts::cdoCannotStart() {
    QFETCH(bool, initialises);
    QFETCH(qint32, code);
    QFETCH(int, message);
    QFETCH(QString, text);
    QFETCH(bool, sessionHeld);

    FakeAutomation automation;
    automation.initialiseResult = initialises;
    if (code != 0)
        automation.FailCreation(kMapi, code, AutomationStatusText(code));
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    MapiSession session;
    LoadOutlookAddresses(list, Cdo(), session, automation, messenger, busy);

    QCOMPARE(messenger.Ids(), QList<int>{message});
    QCOMPARE(messenger.messages[0].text, text);
    QCOMPARE(messenger.messages[0].kind, MessageKind::Warning);
    QCOMPARE(automation.creations.size(), initialises ? 1 : 0);
    QCOMPARE(session.HasSession(), sessionHeld);
    QVERIFY(!session.IsLoggedOn());
    QVERIFY(automation.calls.isEmpty()); // no log-off
    QCOMPARE(busy.begun, 1);
    QCOMPARE(busy.depth, 0);
}

void TestOutlookContacts::refusedLogonKeepsTheSessionForTheNextRefresh() {
    FakeAutomation automation;
    FakeCdo cdo(automation);
    cdo.refuseLogons = 1;
    cdo.entries = {{QStringLiteral("Meier"), QStringLiteral("333"), QString(), QString()}};
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    MapiSession session;

    LoadOutlookAddresses(list, Cdo(), session, automation, messenger, busy);
    QCOMPARE(messenger.Ids(), QList<int>{621});
    QCOMPARE(messenger.messages[0].text,
             QStringLiteral("Das Outlook 98-Adressbuch kann nicht geöffnet werden\n\n"
                            "Anmeldung abgelehnt"));
    QCOMPARE(session.ErrorCode(), kLogonFailed);
    QVERIFY(session.HasSession());
    QVERIFY(!session.IsLoggedOn());
    QCOMPARE(cdo.SessionCalls(cdo::kSessionLogoff), 0);
    QVERIFY(list.rows.isEmpty());

    messenger.Clear();
    LoadOutlookAddresses(list, Cdo(), session, automation, messenger, busy);
    QVERIFY(messenger.messages.isEmpty());
    QCOMPARE(automation.creations, QStringList{kMapi}); // the same session object
    QCOMPARE(cdo.SessionCalls(cdo::kSessionLogon), 2);
    QCOMPARE(cdo.SessionCalls(cdo::kSessionLogoff), 1);
    QCOMPARE(list.Texts(), QStringList{"Meier=333"});
    QVERIFY(!session.HasSession()); // let go at the log-off: the next refresh creates anew
    QCOMPARE(busy.depth, 0);
}

void TestOutlookContacts::cdoErrorWhileMovingEndsTheReadAndLogsOff() {
    FakeAutomation automation;
    FakeCdo cdo(automation);
    cdo.entries = {{QStringLiteral("Meier"), QStringLiteral("333"), QString(), QString()},
                   {QStringLiteral("Schulz"), QStringLiteral("444"), QString(), QString()}};
    cdo.failMoveAt = 1;
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    MapiSession session;
    LoadOutlookAddresses(list, Cdo(), session, automation, messenger, busy);

    QCOMPARE(list.Texts(), QStringList{"Meier=333"});
    QCOMPARE(messenger.Ids(), QList<int>{623});
    QCOMPARE(messenger.messages[0].text,
             QStringLiteral("Das Outlook 98-Adressbuch kann nicht gelesen werden\n\n"
                            "The RPC server is unavailable."));
    QCOMPARE(cdo.SessionCalls(cdo::kSessionLogoff), 1);
    QVERIFY(!session.IsLoggedOn());
    QCOMPARE(busy.depth, 0);
}

void TestOutlookContacts::cdoReadsEveryEntryAndReleasesAtTheEnd() {
    FakeAutomation automation;
    FakeCdo cdo(automation);
    cdo.entries = {
        {QStringLiteral("Meier"), QStringLiteral("333"), QStringLiteral("111"), QString()},
        {QStringLiteral("Schulz"), QString(), QString(), QStringLiteral("222")}};
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    {
        MapiSession session;
        LoadOutlookAddresses(list, Cdo(), session, automation, messenger, busy);
        QCOMPARE(list.Texts(), QStringList({"Meier=333", "Meier (gesch.)=111", "Schulz=222"}));
        QCOMPARE(list.rows.last().index, 2);
        // A missing field is recorded and reads as empty; nobody is told.
        QVERIFY(messenger.messages.isEmpty());
        QCOMPARE(session.ErrorCode(), static_cast<qint32>(0x8004010Fu));
        QCOMPARE(session.EntryCount(), 2);
    }
    QCOMPARE(automation.LiveObjects(), 0);
}

void TestOutlookContacts::outlookCannotBeCreated() {
    FakeAutomation automation;
    automation.FailCreation(kOutlook, scode::kServerExecFailure,
                            QStringLiteral("Server execution failed"));
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    MapiSession session;
    OutlookSettings settings;
    settings.m_bUseOutlook = 2;
    LoadOutlookAddresses(list, settings, session, automation, messenger, busy);
    QCOMPARE(messenger.Ids(), QList<int>{609});
    QCOMPARE(messenger.messages[0].text,
             QStringLiteral("Verbindung zum Adressbuch kann nicht hergestellt werden. "
                            "(#80080005)\nServer execution failed"));
    QVERIFY(list.rows.isEmpty());
    QCOMPARE(busy.depth, 0);
}

void TestOutlookContacts::outlookErrorKeepsTheRowsBefore() {
    // The default contacts folder with Meier, then an item whose name cannot be read because
    // the server is gone: not an error of the item, but the read ends the same way.
    FakeAutomation automation;
    int item = 0;
    const FakeAutomation::Handler contact = [](int dispid, InvokeKind, const QList<AutoVariant>&) {
        return AutoVariant::BStr(dispid == outlook::kName          ? QStringLiteral("Meier")
                                 : dispid == outlook::kBusinessFax ? QStringLiteral("111")
                                                                   : QString());
    };
    const FakeAutomation::Handler items = [&](int dispid, InvokeKind, const QList<AutoVariant>&) {
        item = dispid == outlook::kGetFirst ? 1 : item + 1;
        if (item == 1)
            return AutoVariant::Dispatch(automation.MakeObject(QStringLiteral("Meier"), contact));
        return AutoVariant::Dispatch(
            automation.MakeObject(QStringLiteral("broken"),
                                  [](int, InvokeKind, const QList<AutoVariant>&) -> AutoVariant {
                                      throw TransportError();
                                  }));
    };
    const FakeAutomation::Handler folder = [&](int, InvokeKind, const QList<AutoVariant>&) {
        return AutoVariant::Dispatch(automation.MakeObject(QStringLiteral("items"), items));
    };
    const FakeAutomation::Handler nameSpace = [&](int dispid, InvokeKind,
                                                  const QList<AutoVariant>& args) {
        if (dispid != outlook::kGetDefaultFolder || args.constFirst().ToI4() != 10)
            throw DispatchError(scode::kException, QStringLiteral("unexpected"));
        return AutoVariant::Dispatch(automation.MakeObject(QStringLiteral("contacts"), folder));
    };
    automation.RegisterClass(kOutlook, [&](int, InvokeKind, const QList<AutoVariant>&) {
        return AutoVariant::Dispatch(automation.MakeObject(QStringLiteral("namespace"), nameSpace));
    });

    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    MapiSession session;
    OutlookSettings settings;
    settings.m_bUseOutlook = 2;
    LoadOutlookAddresses(list, settings, session, automation, messenger, busy);
    QCOMPARE(list.Texts(), QStringList{"Meier=111"});
    QCOMPARE(list.rows[0].entry.image, int(RecipientEntry::kOutlook));
    QCOMPARE(messenger.Ids(), QList<int>{623});
    QVERIFY(messenger.messages[0].text.endsWith(u"\n\nThe RPC server is unavailable."));
    QCOMPARE(busy.depth, 0);
    QCOMPARE(automation.LiveObjects(), 0);
}

QTEST_GUILESS_MAIN(TestOutlookContacts)
#include "tst_outlookcontacts.moc"
