// The send dialog's own address book read over the bus from kalmofax's KalmoAdr.Document,
// which serves the vCard folder named in the settings store.

#include "DBusTestBus.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "addressbook/OwnAddressBook.h"
#include "fax/FaxContract.h"
#include "platform/DBusAutomation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RowList final : public RecipientList {
public:
    void InsertRecipient(int /*index*/, const RecipientEntry& entry) override {
        texts << entry.name + u'|' + entry.number;
    }
    void ClearRecipients() override { texts.clear(); }
    QStringList texts;
};

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QString kFaxKey = QStringLiteral("Software\\ZEB\\Kalmo! 2.0\\Fax");

} // namespace

class TestKalmofaxAddressBook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void sendDialogList();
    void changeShowsAtNextRefresh();
    void emptyFolder();
    void wire();

private:
    QStringList Load();

    TestRegistry m_registry;
    QTemporaryDir m_dir;
    QString m_contacts;
};

void TestKalmofaxAddressBook::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_contacts = m_dir.filePath("contacts");
    TestRegistry::Set(m_registry.User(), kFaxKey, QStringLiteral("KontakteDir"), m_contacts);
    TestRegistry::Set(m_registry.User(), kFaxKey, fax::kValueDataDir, m_dir.filePath("data"));
    // German collation: "Ä" sorts with "A", not after "Z" as its code point would.
    QVERIFY(
        dbustest::SetActivationEnvironment({{"KALMO_USER_REGISTRY", m_registry.UserFile()},
                                            {"KALMO_MACHINE_REGISTRY", m_registry.MachineFile()},
                                            {"LC_ALL", "de_DE.UTF-8"}}));
}

void TestKalmofaxAddressBook::init() {
    QDir(m_contacts).removeRecursively();
    QVERIFY(QDir().mkpath(m_contacts));
}

QStringList TestKalmofaxAddressBook::Load() {
    DBusAutomationClient automation;
    RowList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    if (!automation.Initialise())
        return {QStringLiteral("no bus")};
    LoadOwnAddressBook(list, automation, messenger, busy);
    if (!messenger.messages.isEmpty())
        return {QStringLiteral("message")};
    return list.texts;
}

void TestKalmofaxAddressBook::sendDialogList() {
    Write(m_contacts + "/zander.vcf",
          "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zander Zoe\r\n"
          "TEL;TYPE=\"fax,work\";VALUE=uri:tel:+49-89-555;ext=3\r\nEND:VCARD\r\n");
    Write(m_contacts + "/aerzte.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xC3\x84rztehaus Mitte\r\nitem1.TEL;type=FAX:+49 40 "
          "2\r\nTEL;TYPE=FAX,WORK:+49 40\r\n  1\r\nTEL;TYPE=VOICE:+49 40 9\r\nEND:VCARD\r\n");
    Write(m_contacts + "/mueller.vcf",
          "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;"
          "J=FC=\r\nrgen\r\nTEL;WORK;FAX:+49 30 1234\r\nEND:VCARD\r\n");
    Write(m_contacts + "/lines.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Otto\\nOtto\r\nTEL;TYPE=FAX:7\r\nEND:VCARD\r\n");
    Write(m_contacts + "/voice.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Nur Telefon\r\nTEL:+49 1\r\nEND:VCARD\r\n");
    Write(m_contacts + "/broken.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Kaputt\r\nTEL;TYPE=FAX:9\r\n");
    Write(m_contacts + "/notes.txt", "BEGIN:VCARD\r\nFN:Kein vCard\r\nEND:VCARD\r\n");

    QCOMPARE(Load(),
             (QStringList{QString::fromUtf8("\xC3\x84rztehaus Mitte|+49 40 1"),
                          QString::fromUtf8("\xC3\x84rztehaus Mitte|+49 40 2"),
                          QString::fromUtf8("J\xC3\xBCrgen M\xC3\xBCller|+49 30 1234"),
                          QStringLiteral("Otto Otto|7"), QStringLiteral("Zander Zoe|+49-89-555")}));
}

void TestKalmofaxAddressBook::changeShowsAtNextRefresh() {
    Write(m_contacts + "/a.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nTEL;TYPE=FAX:1\r\nEND:VCARD\r\n");
    QCOMPARE(Load(), QStringList{"Anna|1"});
    Write(m_contacts + "/b.vcf", "BEGIN:VCARD\r\nFN:Bert\r\nTEL;TYPE=FAX:2\r\nEND:VCARD\r\n");
    QCOMPARE(Load(), (QStringList{"Anna|1", "Bert|2"}));
}

void TestKalmofaxAddressBook::emptyFolder() {
    QVERIFY(QDir(m_contacts).removeRecursively());
    QCOMPARE(Load(), QStringList{});
}

// What the send dialog does not exercise: another kind, an unknown handle, the end.
void TestKalmofaxAddressBook::wire() {
    Write(m_contacts + "/a.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nTEL;TYPE=FAX:1\r\nEND:VCARD\r\n");
    DBusAutomationClient automation;
    QVERIFY(automation.Initialise());
    CreateFailure failure;
    const DispatchPtr book = automation.CreateInstance(fax::kProgIdAddressBook, failure);
    QVERIFY(book);
    const auto call = [&](int dispid, const AutoVariant& arg) {
        return book->Invoke(dispid, InvokeKind::Method, {arg});
    };
    QCOMPARE(call(2, AutoVariant::BStr("Telefon")).ToI4(), 0);
    const qint32 handle = call(2, AutoVariant::BStr("Fax")).ToI4();
    QVERIFY(handle != 0);
    QCOMPARE(call(4, AutoVariant::I4(handle)).ToBStr(), QStringLiteral("Anna\n1"));
    QCOMPARE(call(3, AutoVariant::I4(handle)).ToI4(), 0);
    QVERIFY(call(1, AutoVariant::I4(handle)).IsEmpty());
    for (const int dispid : {1, 3, 4}) {
        try {
            call(dispid, AutoVariant::I4(handle));
            QFAIL("a closed handle was accepted");
        } catch (const AutomationError& error) {
            QCOMPARE(error.kind, AutomationError::Kind::Dispatch);
            QCOMPARE(error.scode, scode::kException);
        }
    }
}

QTEST_GUILESS_MAIN(TestKalmofaxAddressBook)
#include "tst_kalmofax_addressbook.moc"
