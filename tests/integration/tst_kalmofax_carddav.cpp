// kalmofax's CardDAV address books end to end: an account set up with kalmofax carddav (its
// password on standard input, into a real keyring on the test's bus), tested against a private
// Radicale, and read by kalmosend's contacts-folder reader over the bus from
// `kalmofax serve Outlook.Application`, which the bus starts from its service file.

#include "DBusTestBus.h"
#include "PrivateKeyring.h"
#include "PrivateRadicale.h"
#include "RecordingMessenger.h"
#include "RecordingRecipientList.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "addressbook/MapiSession.h"
#include "addressbook/OutlookContacts.h"
#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/DBusAutomation.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class TestKalmofaxCardDav : public QObject {
    Q_OBJECT

private:
    PrivateKeyring m_keyring;
    PrivateRadicale m_server;
    TestRegistry m_registry;
    QTemporaryDir m_dir;

    Run Kalmofax(const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KALMO_USER_REGISTRY", m_registry.UserFile());
        env.insert("KALMO_MACHINE_REGISTRY", m_registry.MachineFile());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("KALMOFAX"), QStringList{"carddav"} + args);
        if (!p.waitForStarted(10000))
            return {};
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString keyring = m_keyring.Start();
        QVERIFY2(keyring.isEmpty(), qPrintable(keyring));
        const QString server = m_server.Start();
        QVERIFY2(server.isEmpty(), qPrintable(server));
        QCOMPARE(m_server.MakeBook("alice", "/alice/kunden/", "Kunden"), 201);
        QCOMPARE(m_server.PutCard("alice", "/alice/kunden/k.vcf",
                                  "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:k\r\nFN:Krause KG\r\n"
                                  "TEL;TYPE=fax,work:+49 221 555\r\nEND:VCARD\r\n"),
                 201);
        TestRegistry::Set(m_registry.User(), fax::SectionKey(fax::kSectionFax), fax::kValueDataDir,
                          m_dir.filePath("data"));
        QVERIFY(dbustest::SetActivationEnvironment(
            {{"KALMO_USER_REGISTRY", m_registry.UserFile()},
             {"KALMO_MACHINE_REGISTRY", m_registry.MachineFile()}}));
    }

    void addAndTestAnAccount() {
        const Run added = Kalmofax({"add", "Firma", m_server.Url("/"), "--user", "alice"},
                                   PrivateRadicale::kAlicePassword);
        QVERIFY2(added.status == 0, qPrintable(added.err));
        QVERIFY(!added.out.contains(PrivateRadicale::kAlicePassword));
        const Run tested = Kalmofax({"test", "Firma"});
        QVERIFY2(tested.status == 0, qPrintable(tested.err));
        QVERIFY2(tested.out.contains("Adressbücher: 1; Kontakte mit Faxnummer: 1"),
                 qPrintable(tested.out));
    }

    void theSendDialogReadsTheBookOverTheBus() {
        DBusAutomationClient automation;
        QVERIFY(automation.Initialise());
        OutlookSettings settings;
        settings.m_bUseOutlook = 2;
        settings.m_strOutlookContacts = "Kunden";
        RecordingRecipientList list;
        RecordingMessenger messenger;
        MapiSession session;
        CountingBusy busy;
        LoadOutlookAddresses(list, settings, session, automation, messenger, busy);
        QVERIFY2(messenger.messages.isEmpty(), qPrintable(messenger.messages.value(0).text));
        QCOMPARE(list.Texts(), QStringList{"Krause KG=+49 221 555"});
        QVERIFY(QFile::exists(m_dir.filePath("data/.carddav/Firma/books.json")));
    }

    void aWrongPasswordIsToldInWords() {
        QCOMPARE(Kalmofax({"password", "Firma"}, "wrong").status, 0);
        const Run tested = Kalmofax({"test", "Firma"});
        QCOMPARE(tested.status, 1);
        QVERIFY2(tested.err.contains("hat den Benutzernamen oder das Passwort abgelehnt"),
                 qPrintable(tested.err));
    }

    void removeTakesTheCacheAlong() {
        QVERIFY(Kalmofax({"list"}).out.startsWith("Firma\t"));
        QCOMPARE(Kalmofax({"remove", "Firma"}).status, 0);
        QVERIFY(Kalmofax({"list"}).out.isEmpty());
        QVERIFY(!QFile::exists(m_dir.filePath("data/.carddav/Firma")));
        QCOMPARE(Kalmofax({"test", "Firma"}).status, 1);
    }
};

QTEST_GUILESS_MAIN(TestKalmofaxCardDav)
#include "tst_kalmofax_carddav.moc"
