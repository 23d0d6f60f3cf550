#include "FakeAutomation.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "addressbook/OwnAddressBook.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "support/StringIds.h"

#include <QTest>

namespace {

struct Row {
    int index;
    QString name;
    QString number;
    int image;
};

// The list as the connector sees it: rows in the order inserted.
class RowList final : public RecipientList {
public:
    void InsertRecipient(int index, const RecipientEntry& entry) override {
        rows.append({index, entry.name, entry.number, entry.image});
    }
    void ClearRecipients() override {
        rows.clear();
        ++clears;
    }
    QStringList Texts() const {
        QStringList texts;
        for (const Row& row : rows)
            texts << row.name + u'|' + row.number;
        return texts;
    }
    QList<Row> rows;
    int clears = 0;
};

// An address book over the given entries. failDispid/failAt: that DISPID fails on its n-th call
// with failCode and failText.
struct FakeBook {
    explicit FakeBook(QStringList e = {}) : entries(std::move(e)) {}

    QStringList entries;
    int failDispid = 0;
    int failAt = 0;
    qint32 failCode = 0;
    QString failText;

    void Register(FakeAutomation& automation) {
        automation.RegisterClass(
            fax::kProgIdAddressBook,
            [this, current = qsizetype(0), counts = QHash<int, int>()](
                int dispid, InvokeKind, const QList<AutoVariant>&) mutable -> AutoVariant {
                if (dispid == failDispid && ++counts[dispid] == failAt)
                    throw AutomationError(AutomationError::Kind::Dispatch, failCode, failText);
                switch (dispid) {
                case adr::kOpen:
                    current = 0;
                    return AutoVariant::I4(entries.isEmpty() ? 0 : 7);
                case adr::kCurrent:
                    return AutoVariant::BStr(entries.value(current));
                case adr::kNext:
                    return AutoVariant::I4(++current < entries.size() ? 1 : 0);
                default:
                    return {};
                }
            });
    }
};

// The DISPIDs of the walk. The fake does not offer the one call for the whole book, which is
// tried first; it is left out here.
QList<int> Dispids(const QList<FakeAutomation::Call>& calls) {
    QList<int> dispids;
    for (qsizetype i = 0; i < calls.size(); ++i)
        if (i > 0 || calls.at(i).dispid != fax::kDispidReadAll)
            dispids << calls.at(i).dispid;
    return dispids;
}

const QString kConnect = QStringLiteral("Verbindung zum Adressbuch kann nicht hergestellt werden.");

} // namespace

class TestOwnAddressBook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void extractSubString_data();
    void extractSubString();
    void rows_data();
    void rows();
    void callsAndRelease();
    void refreshClearsFirst();
    void creationFails();
    void errorWhileReading_data();
    void errorWhileReading();
    void endlessBookStops();
};

void TestOwnAddressBook::extractSubString_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first") << "Meier\n123" << 0 << "Meier";
    QTest::newRow("second") << "Meier\n123" << 1 << "123";
    QTest::newRow("second of three") << "Meier\n123\nx" << 1 << "123";
    QTest::newRow("missing") << "Meier" << 1 << "";
    QTest::newRow("empty first") << "\n123" << 0 << "";
    QTest::newRow("empty text") << "" << 0 << "";
    QTest::newRow("past the end") << "a\nb" << 2 << "";
    QTest::newRow("trailing separator") << "a\n" << 1 << "";
}

void TestOwnAddressBook::extractSubString() {
    QFETCH(QString, text);
    QFETCH(int, field);
    QFETCH(QString, expected);
    QCOMPARE(ExtractSubString(text, field, u'\n'), expected);
}

void TestOwnAddressBook::rows_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected"); // name|number
    QTest::newRow("Meier") << QStringList{"Meier\n123"} << QStringList{"Meier|123"};
    QTest::newRow("no line feed") << QStringList{"Meier 123"} << QStringList{};
    QTest::newRow("empty name") << QStringList{"\n123"} << QStringList{};
    QTest::newRow("empty number") << QStringList{"Meier\n"} << QStringList{};
    QTest::newRow("empty entry") << QStringList{""} << QStringList{};
    QTest::newRow("third field ignored")
        << QStringList{"Meier\n123\nBüro"} << QStringList{"Meier|123"};
    QTest::newRow("same name, two numbers")
        << QStringList{"Meier\n123", "Meier\n456"} << QStringList{"Meier|123", "Meier|456"};
    QTest::newRow("skipped entries between")
        << QStringList{"A\n1", "kaputt", "\n2", "B\n3", "C\n"} << QStringList{"A|1", "B|3"};
    QTest::newRow("nothing to read") << QStringList{} << QStringList{};
}

void TestOwnAddressBook::rows() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);
    FakeAutomation automation;
    FakeBook book(entries);
    book.Register(automation);
    RowList list;
    RecordingMessenger messenger;
    CountingBusy busy;

    LoadOwnAddressBook(list, automation, messenger, busy);

    QCOMPARE(list.Texts(), expected);
    for (qsizetype i = 0; i < list.rows.size(); ++i) {
        QCOMPARE(list.rows.at(i).index, int(i)); // a running index over the rows added
        QCOMPARE(list.rows.at(i).image, int(RecipientEntry::kOwnAddressBook));
    }
    QVERIFY(messenger.messages.isEmpty());
    QCOMPARE(busy.begun, 1);
    QCOMPARE(busy.depth, 0);
    QCOMPARE(automation.LiveObjects(), 0);
}

void TestOwnAddressBook::callsAndRelease() {
    FakeAutomation automation;
    FakeBook book({"A\n1", "B\n2"});
    book.Register(automation);
    RowList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    LoadOwnAddressBook(list, automation, messenger, busy);

    const auto calls = automation.CallsOf(fax::kProgIdAddressBook);
    QCOMPARE(calls.at(0).dispid, fax::kDispidReadAll);
    QCOMPARE(Dispids(calls), (QList<int>{2, 4, 3, 4, 3, 1}));
    for (qsizetype i = 0; i < 2; ++i) {
        QCOMPARE(calls.at(i).Signature(), QStringLiteral("s"));
        QCOMPARE(calls.at(i).args.at(0).ToBStr(), QStringLiteral("Fax"));
    }
    for (qsizetype i = 2; i < calls.size(); ++i) {
        QCOMPARE(calls.at(i).Signature(), QStringLiteral("i"));
        QCOMPARE(calls.at(i).args.at(0).ToI4(), 7);
    }
    QCOMPARE(automation.ReleaseCount(fax::kProgIdAddressBook + "#1"), 1);

    // Nothing to read: no close.
    FakeAutomation empty;
    FakeBook none;
    none.Register(empty);
    LoadOwnAddressBook(list, empty, messenger, busy);
    QCOMPARE(Dispids(empty.calls), QList<int>{2});
    QCOMPARE(empty.LiveObjects(), 0);
}

void TestOwnAddressBook::refreshClearsFirst() {
    FakeAutomation automation;
    FakeBook book({"Meier\n123", "Schmidt\n456"});
    book.Register(automation);
    RowList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    LoadOwnAddressBook(list, automation, messenger, busy);
    LoadOwnAddressBook(list, automation, messenger, busy);
    QCOMPARE(list.Texts(), (QStringList{"Meier|123", "Schmidt|456"}));
    QCOMPARE(list.rows.at(0).index, 0); // the index starts again at 0
    QCOMPARE(list.clears, 2);
    QCOMPARE(automation.created.size(), 2); // a new object for each refresh
    QCOMPARE(automation.LiveObjects(), 0);
    QCOMPARE(busy.depth, 0);
}

void TestOwnAddressBook::creationFails() {
    FakeAutomation automation;
    automation.FailCreation(fax::kProgIdAddressBook, scode::kClassNotRegistered,
                            "Invalid class string");
    RowList list;
    list.rows.append({0, "alt", "1", 0});
    RecordingMessenger messenger;
    CountingBusy busy;
    LoadOwnAddressBook(list, automation, messenger, busy);

    QVERIFY(list.rows.isEmpty()); // cleared before the attempt
    QCOMPARE(messenger.Ids(), QList<int>{IDS_ERR_ADDRESSBOOK_CONNECT});
    QCOMPARE(messenger.messages.at(0).text, kConnect + " (#800401F3)\nInvalid class string");
    QCOMPARE(messenger.messages.at(0).kind, MessageKind::Warning);
    QCOMPARE(busy.begun, 1);
    QCOMPARE(busy.depth, 0);
}

void TestOwnAddressBook::errorWhileReading_data() {
    QTest::addColumn<int>("failDispid");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("dispids");
    const QList<int> all{2, 4, 3, 4, 3, 4, 3, 1};
    QTest::newRow("open") << 2 << 1 << QStringList{} << QList<int>{2};
    QTest::newRow("first entry") << 4 << 1 << QStringList{} << QList<int>{2, 4, 1};
    QTest::newRow("third entry") << 4 << 3 << QStringList{"A|1", "B|2"}
                                 << QList<int>{2, 4, 3, 4, 3, 4, 1};
    QTest::newRow("next after the second")
        << 3 << 2 << QStringList{"A|1", "B|2"} << QList<int>{2, 4, 3, 4, 3, 1};
    // A failing close is not called a second time.
    QTest::newRow("close") << 1 << 1 << QStringList{"A|1", "B|2", "C|3"} << all;
}

void TestOwnAddressBook::errorWhileReading() {
    QFETCH(int, failDispid);
    QFETCH(int, failAt);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, dispids);
    FakeAutomation automation;
    const QString longText = "Lesefehler " + QString(300, u'x');
    FakeBook book({"A\n1", "B\n2", "C\n3"});
    book.failDispid = failDispid;
    book.failAt = failAt;
    book.failCode = static_cast<qint32>(0x80020009u);
    book.failText = longText;
    book.Register(automation);
    RowList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    LoadOwnAddressBook(list, automation, messenger, busy);

    QCOMPARE(list.Texts(), expected);
    QCOMPARE(messenger.Ids(), QList<int>{IDS_ERR_ADDRESSBOOK_CONNECT});
    QCOMPARE(messenger.messages.at(0).text, kConnect + " (#80020009)\n" + longText.left(255));
    QCOMPARE(Dispids(automation.calls), dispids);
    QCOMPARE(busy.depth, 0);
    QCOMPARE(automation.LiveObjects(), 0);
}

// An address book that never reports its end: the read stops after a million entries and
// shows what it read.
void TestOwnAddressBook::endlessBookStops() {
    FakeAutomation automation;
    automation.recordCalls = false;
    qint64 currents = 0;
    automation.RegisterClass(fax::kProgIdAddressBook,
                             [&](int dispid, InvokeKind, const QList<AutoVariant>&) -> AutoVariant {
                                 switch (dispid) {
                                 case adr::kOpen:
                                 case adr::kNext:
                                     return AutoVariant::I4(1);
                                 case adr::kCurrent:
                                     // Only the first entry holds a number.
                                     return AutoVariant::BStr(currents++ == 0 ? "A\n1" : "");
                                 default:
                                     return {};
                                 }
                             });
    RowList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    LoadOwnAddressBook(list, automation, messenger, busy);
    QCOMPARE(currents, kMaxOwnAddressBookEntries);
    QCOMPARE(list.Texts(), QStringList{"A|1"});
    QVERIFY(messenger.messages.isEmpty());
    QCOMPARE(busy.depth, 0);
    QCOMPARE(automation.LiveObjects(), 0);
}

QTEST_GUILESS_MAIN(TestOwnAddressBook)
#include "tst_ownaddressbook.moc"
