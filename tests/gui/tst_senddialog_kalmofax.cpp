// The send dialog's list filled from kalmofax's own KalmoAdr.Document over a real vCard folder
// and from the stand-in's CDO session, on a private bus: the rows, their order and texts.
#include "DBusTestBus.h"
#include "FakeFileDialogs.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "platform/DBusAutomation.h"
#include "ui/SendDialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString kFax = QStringLiteral("Software\\ZEB\\Kalmo! 2.0\\Fax");

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestSendDialogKalmofax : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rowsOfBothSources();

private:
    TestRegistry m_faxRegistry; // kalmofax's settings: the vCard folder
    QTemporaryDir m_dir;
    QString m_contacts, m_mapi;
    DBusAutomationClient m_client;
};

void TestSendDialogKalmofax::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(m_client.Initialise());
    m_contacts = m_dir.filePath(QStringLiteral("contacts"));
    m_mapi = m_dir.filePath(QStringLiteral("mapi.json"));
    QVERIFY(QDir().mkpath(m_contacts));
    TestRegistry::Set(m_faxRegistry.User(), kFax, QStringLiteral("KontakteDir"), m_contacts);
    TestRegistry::Set(m_faxRegistry.User(), kFax, fax::kValueDataDir, m_dir.filePath("data"));
    QVERIFY(dbustest::SetActivationEnvironment(
        {{QStringLiteral("KALMO_USER_REGISTRY"), m_faxRegistry.UserFile()},
         {QStringLiteral("KALMO_MACHINE_REGISTRY"), m_faxRegistry.MachineFile()},
         {QStringLiteral("KALMO_STANDIN_MAPI"), m_mapi}}));
}

void TestSendDialogKalmofax::rowsOfBothSources() {
    Write(m_contacts + "/meier.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Meier\r\nTEL;TYPE=FAX:123\r\nEND:VCARD\r\n");
    Write(m_contacts + "/anna.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Anna\r\n"
                                    "TEL;TYPE=fax:2\r\nTEL;TYPE=\"fax,work\":1\r\nEND:VCARD\r\n");
    Write(m_contacts + "/voice.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Nur Telefon\r\nTEL:5\r\nEND:VCARD\r\n");
    Write(m_mapi, R"({"profiles": ["Standard"], "lists": [{"name": "Global", "entries": [
        {"name": "Meier", "fields": {"0x3A23001E": "333", "0x3A24001E": "111"}},
        {"name": "Anna", "fields": {"0x3A25001E": "444"}}]}]})");

    TestRegistry reg;
    RecordingMessenger messages;
    AppBase app{reg.registry(), messages};
    app.SetRegistryKey(fax::kRegistryCompany);
    app.SetProfileName(fax::kProfileName);
    QTemporaryDir data;
    app.m_strDataDir = data.filePath(QStringLiteral("Fax"));
    FakeProcessLauncher processes;
    FakePresence presence;
    FakeFileDialogs files;
    CountingBusy busy;
    FixedClock clock{QDateTime(QDate(2026, 12, 24), QTime(10, 0))};
    reg.User().CreateKey(kFax);
    reg.User().SetValue(kFax, QStringLiteral("UseOutlook"), RegValue::FromInteger(1));
    const SendServices services{app, m_client, processes, presence, files, busy, clock};
    SendDialog dialog(services, SendDialogState{});
    dialog.OnInitDialog();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsFilling(), 20000);

    QStringList rows;
    for (int i = 0; i < dialog.m_listRecipients->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = dialog.m_listRecipients->topLevelItem(i);
        rows << item->text(0) + u'=' + SendDialog::RowNumber(item) + u'|' + item->text(1);
    }
    // By name; equal names in the order read: the own book's first, its two numbers sorted.
    QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.messages.value(0).text));
    QCOMPARE(rows, (QStringList{"Anna=1|1", "Anna=2|2", "Anna=444|444", "Meier=123|123",
                                "Meier=333|333", "Meier (gesch.)=111|111"}));
    QVERIFY(messages.messages.isEmpty());
    QCOMPARE(busy.depth, 0);
}

QTEST_MAIN(TestSendDialogKalmofax)
#include "tst_senddialog_kalmofax.moc"
