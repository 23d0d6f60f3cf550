// The send dialog's list filled from kalmofax's own services on a private bus, each over the
// real thing behind it: KalmoAdr.Document over a vCard folder, MAPI.Session over a private
// slapd (the company directory), Outlook.Application over a private Radicale (CardDAV, its
// password in a real keyring). The rows, their order and texts, as the user sees them.
#include "DBusTestBus.h"
#include "FakeFileDialogs.h"
#include "PrivateKeyring.h"
#include "PrivateRadicale.h"
#include "PrivateSlapd.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "faxapp/carddav/CardDavAccounts.h"
#include "faxapp/directory/DirectorySettings.h"
#include "platform/DBusAutomation.h"
#include "platform/secrets/SecretStore.h"
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
    void rowsOfTheOwnBookAndTheDirectory();
    void rowsOfTheOwnBookAndCardDav();

private:
    // The dialog's rows as "name=number|shown number" once its fill has ended, with the
    // messages it showed meanwhile.
    QStringList Rows(int useOutlook, QList<RecordingMessenger::Message>& messages);

    PrivateSlapd m_directory;
    PrivateRadicale m_carddav;
    PrivateKeyring m_keyring;
    TestRegistry m_faxRegistry; // kalmofax's settings: the vCard folder, directory, account
    QTemporaryDir m_dir;
    DBusAutomationClient m_client;
};

void TestSendDialogKalmofax::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(m_client.Initialise());
    QString started = m_directory.Start(PrivateSlapd::kSalesWithFax + 2);
    QVERIFY2(started.isEmpty(), qPrintable(started));
    started = m_carddav.Start();
    QVERIFY2(started.isEmpty(), qPrintable(started));
    started = m_keyring.Start();
    QVERIFY2(started.isEmpty(), qPrintable(started));

    const QString contacts = m_dir.filePath(QStringLiteral("contacts"));
    QVERIFY(QDir().mkpath(contacts));
    Write(contacts + "/meier.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Meier\r\nTEL;TYPE=FAX:123\r\nEND:VCARD\r\n");
    Write(contacts + "/sales.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Sales 01\r\n"
                                   "TEL;TYPE=fax:2\r\nTEL;TYPE=\"fax,work\":1\r\nEND:VCARD\r\n");
    Write(contacts + "/voice.vcf",
          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Nur Telefon\r\nTEL:5\r\nEND:VCARD\r\n");
    TestRegistry::Set(m_faxRegistry.User(), kFax, QStringLiteral("KontakteDir"), contacts);
    TestRegistry::Set(m_faxRegistry.User(), kFax, fax::kValueDataDir, m_dir.filePath("data"));

    faxapp::directory::DirectoryProfile profile =
        faxapp::directory::DefaultProfile(QStringLiteral("Firma"));
    profile.uris = QStringList{m_directory.Uri()};
    profile.caFile = m_directory.CaFile();
    profile.base = QStringLiteral("ou=sales,") + PrivateSlapd::kSuffix;
    const Result<void> written = faxapp::directory::WriteProfile(m_faxRegistry.User(), profile);
    QVERIFY2(written, written ? "" : qPrintable(written.Error().Text()));

    QCOMPARE(m_carddav.MakeBook("alice", "/alice/kunden/", "Kunden"), 201);
    QCOMPARE(m_carddav.PutCard("alice", "/alice/kunden/k.vcf",
                               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:k\r\nFN:Krause KG\r\n"
                               "TEL;TYPE=fax,work:+49 221 555\r\nTEL;TYPE=fax,home:+49 221 "
                               "556\r\nEND:VCARD\r\n"),
             201);
    faxapp::carddav::Account account;
    account.name = QStringLiteral("Büro");
    account.url = QUrl(m_carddav.Url("/"));
    account.user = QStringLiteral("alice");
    const Result<void> added = faxapp::carddav::WriteAccount(m_faxRegistry.User(), account);
    QVERIFY2(added, added ? "" : qPrintable(added.Error().Text()));
    const Result<void> kept = secrets::WriteSecret(faxapp::carddav::PasswordKey(account),
                                                   PrivateRadicale::kAlicePassword);
    QVERIFY2(kept, kept ? "" : qPrintable(kept.Error().Text()));

    QVERIFY(dbustest::SetActivationEnvironment(
        {{QStringLiteral("KALMO_USER_REGISTRY"), m_faxRegistry.UserFile()},
         {QStringLiteral("KALMO_MACHINE_REGISTRY"), m_faxRegistry.MachineFile()}}));
}

QStringList TestSendDialogKalmofax::Rows(int useOutlook,
                                         QList<RecordingMessenger::Message>& messages) {
    TestRegistry reg;
    RecordingMessenger messenger;
    AppBase app{reg.registry(), messenger};
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
    reg.User().SetValue(kFax, QStringLiteral("UseOutlook"), RegValue::FromInteger(useOutlook));
    const SendServices services{app, m_client, processes, presence, files, busy, clock};
    SendDialog dialog(services, SendDialogState{});
    dialog.OnInitDialog();
    // The dialog is there before the books are read.
    [&] { QVERIFY(dialog.IsFilling()); }();
    [&] { QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsFilling(), 30000); }();
    QStringList rows;
    for (int i = 0; i < dialog.m_listRecipients->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = dialog.m_listRecipients->topLevelItem(i);
        rows << item->text(0) + u'=' + SendDialog::RowNumber(item) + u'|' + item->text(1);
    }
    [&] { QCOMPARE(busy.depth, 0); }();
    messages = messenger.messages;
    return rows;
}

void TestSendDialogKalmofax::rowsOfTheOwnBookAndTheDirectory() {
    QList<RecordingMessenger::Message> messages;
    const QStringList rows = Rows(1, messages);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
    // The own book's two, the directory's 20 of sales; equal names in the order read.
    QCOMPARE(rows.size(), 2 + 1 + PrivateSlapd::kSalesWithFax);
    QCOMPARE(rows.first(), u"Meier=123|123");
    QCOMPARE(rows.mid(1, 4), (QStringList{"Sales 00=+49 40 0|+49 40 0", "Sales 01=1|1",
                                          "Sales 01=2|2", "Sales 01=+49 40 1|+49 40 1"}));
    QCOMPARE(rows.last(), u"Sales 19=+49 40 19|+49 40 19");
}

void TestSendDialogKalmofax::rowsOfTheOwnBookAndCardDav() {
    QList<RecordingMessenger::Message> messages;
    const QStringList rows = Rows(2, messages);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
    QCOMPARE(rows, (QStringList{"Krause KG (gesch.)=+49 221 555|+49 221 555",
                                "Krause KG (privat)=+49 221 556|+49 221 556", "Meier=123|123",
                                "Sales 01=1|1", "Sales 01=2|2"}));
}

QTEST_MAIN(TestSendDialogKalmofax)
#include "tst_senddialog_kalmofax.moc"
