// The own address book read over the bus from the stand-in's KalmoAdr.Document.

#include "DBusTestBus.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "addressbook/OwnAddressBook.h"
#include "platform/DBusAutomation.h"
#include "support/StringIds.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RowList final : public RecipientList {
public:
    void InsertRecipient(int /*index*/, const RecipientEntry& entry) override {
        texts << entry.name + u'|' + entry.number;
        images << entry.image;
    }
    void ClearRecipients() override {
        texts.clear();
        images.clear();
    }
    QStringList texts;
    QList<int> images;
};

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kConnect = QStringLiteral("Verbindung zum Adressbuch kann nicht hergestellt werden.");

} // namespace

class TestOwnAddressBookDBus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void rows_data();
    void rows();
    void refreshTwice();
    void errorWhileReading_data();
    void errorWhileReading();

private:
    void Load();

    QTemporaryDir m_dir;
    QString m_book, m_errors, m_calls, m_trace;
    RowList m_list;
    RecordingMessenger m_messenger;
    CountingBusy m_busy;
};

void TestOwnAddressBookDBus::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_book = m_dir.filePath("book.txt");
    m_errors = m_dir.filePath("errors.txt");
    m_calls = m_dir.filePath("calls.txt");
    m_trace = m_dir.filePath("trace.txt");
    QVERIFY(dbustest::SetActivationEnvironment({{"KALMO_STANDIN_ADDRESSBOOK", m_book},
                                                {"KALMO_STANDIN_ADDRESSBOOK_ERROR_FILE", m_errors},
                                                {"KALMO_STANDIN_ADDRESSBOOK_CALLS", m_calls},
                                                {"KALMO_STANDIN_TRACE", m_trace},
                                                // The entry walk is tested here: the stand-in
                                                // does not offer the one-call read.
                                                {"KALMO_STANDIN_NO_READALL", m_calls + ".walk"}}));
    QFile walk(m_calls + ".walk");
    QVERIFY(walk.open(QIODevice::WriteOnly));
}

void TestOwnAddressBookDBus::init() {
    QFile::remove(m_book);
    QFile::remove(m_errors);
    QFile::remove(m_calls);
    QFile::remove(m_trace);
    m_list.ClearRecipients();
    m_messenger.Clear();
    m_busy = CountingBusy();
}

void TestOwnAddressBookDBus::Load() {
    DBusAutomationClient automation;
    QVERIFY(automation.Initialise());
    LoadOwnAddressBook(m_list, automation, m_messenger, m_busy);
    QCOMPARE(m_busy.depth, 0);
    // The object is released before the load returns.
    const QByteArray trace = ReadAll(m_trace);
    QCOMPARE(trace.count("free "), trace.count("new "));
}

void TestOwnAddressBookDBus::rows_data() {
    QTest::addColumn<QByteArray>("file"); // nothing: no file
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("calls"); // dispids called, in order
    QTest::newRow("Meier") << QByteArray("Meier\t123\n") << QStringList{"Meier|123"}
                           << QByteArray("2431");
    QTest::newRow("no line feed") << QByteArray("Meier 123\n") << QStringList{}
                                  << QByteArray("2431");
    QTest::newRow("empty name") << QByteArray("\t123\n") << QStringList{} << QByteArray("2431");
    QTest::newRow("empty number") << QByteArray("Meier\t\n") << QStringList{} << QByteArray("2431");
    QTest::newRow("third field") << QByteArray("Meier\t123\tBüro") << QStringList{"Meier|123"}
                                 << QByteArray("2431");
    QTest::newRow("two Meiers") << QByteArray("Meier\t123\r\nMeier\t456\r\n")
                                << QStringList{"Meier|123", "Meier|456"} << QByteArray("243431");
    QTest::newRow("umlauts") << QByteArray("Müller GmbH\t+49 30 9876543\n")
                             << QStringList{"Müller GmbH|+49 30 9876543"} << QByteArray("2431");
    QTest::newRow("empty file") << QByteArray("") << QStringList{} << QByteArray("2");
    QTest::newRow("no file") << QByteArray() << QStringList{} << QByteArray("2");
}

void TestOwnAddressBookDBus::rows() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, calls);
    if (!file.isNull())
        WriteAll(m_book, file);
    Load();
    QCOMPARE(m_list.texts, expected);
    QCOMPARE(m_list.images, QList<int>(expected.size(), RecipientEntry::kOwnAddressBook));
    QCOMPARE(m_messenger.messages.size(), 0);

    QByteArray dispids;
    for (const auto& line : dbustest::ReadCallLog(m_calls))
        dispids += QByteArray::number(line.dispid);
    // The one-call read comes first; refused, the walk follows.
    QCOMPARE(dispids, "19265" + calls);
}

void TestOwnAddressBookDBus::refreshTwice() {
    WriteAll(m_book, "Schmidt\t456\nMeier\t123\n");
    Load();
    Load();
    QCOMPARE(m_list.texts, (QStringList{"Schmidt|456", "Meier|123"}));
    QCOMPARE(m_busy.begun, 2);
}

void TestOwnAddressBookDBus::errorWhileReading_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("message");
    QTest::newRow("open") << QByteArray("2 1 80004005: kaputt") << QStringList{}
                          << kConnect + " (#80004005)\nkaputt";
    QTest::newRow("third entry") << QByteArray("4 3 80020009: Lesefehler")
                                 << QStringList{"A|1", "B|2"}
                                 << kConnect + " (#80020009)\nLesefehler";
    QTest::newRow("next") << QByteArray("3 1 80020009: Lesefehler") << QStringList{"A|1"}
                          << kConnect + " (#80020009)\nLesefehler";
    QTest::newRow("close") << QByteArray("1 1 80020009: zu") << QStringList{"A|1", "B|2", "C|3"}
                           << kConnect + " (#80020009)\nzu";
}

void TestOwnAddressBookDBus::errorWhileReading() {
    QFETCH(QByteArray, script);
    QFETCH(QStringList, expected);
    QFETCH(QString, message);
    WriteAll(m_book, "A\t1\nB\t2\nC\t3\n");
    WriteAll(m_errors, script + '\n');
    Load();
    QCOMPARE(m_list.texts, expected);
    QCOMPARE(m_messenger.Ids(), QList<int>{IDS_ERR_ADDRESSBOOK_CONNECT});
    QCOMPARE(m_messenger.messages.at(0).text, message);
    // An open enumeration is closed once.
    int closes = 0;
    for (const auto& line : dbustest::ReadCallLog(m_calls))
        closes += line.dispid == 1;
    QCOMPARE(closes, script.startsWith("2 ") ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestOwnAddressBookDBus)
#include "tst_ownaddressbook_dbus.moc"
