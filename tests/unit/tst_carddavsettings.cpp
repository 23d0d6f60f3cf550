// CardDAV accounts in the settings store, their keyring keys, the multistatus reader and what a
// card gives a list.

#include "TestRegistry.h"
#include "faxapp/carddav/CardDavAccounts.h"
#include "faxapp/carddav/CardDavCache.h"
#include "faxapp/carddav/DavXml.h"
#include "platform/RegistryStore.h"

#include <QTest>

using namespace faxapp::carddav;

class TestCardDavSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theUsersValuesWinOverTheMachines() {
        TestRegistry registry;
        const QString machine = AccountKey("Office");
        TestRegistry::Set(registry.Machine(), machine, kValueUrl, "https://dav.example.com/");
        TestRegistry::Set(registry.Machine(), machine, kValueUser, "shared");
        TestRegistry::Set(registry.Machine(), machine, kValueTimeLimit, "20");
        // The same account, its name in other letters: one account, the user's URL.
        TestRegistry::Set(registry.User(), AccountKey("office"), kValueUrl,
                          "https://own.example.com/dav/");
        TestRegistry::Set(registry.User(), AccountKey("../evil"), kValueUrl, "https://x/");
        const QList<Account> accounts = ListAccounts(registry.registry());
        QCOMPARE(accounts.size(), 1);
        const Account& office = accounts.constFirst();
        QCOMPARE(office.name, "Office");
        QCOMPARE(office.url, QUrl("https://own.example.com/dav/"));
        QCOMPARE(office.user, "shared");
        QCOMPARE(office.timeLimit, 20);
        QVERIFY(office.machineWide && office.userOwn);
        QVERIFY(ReadAccount(registry.registry(), "OFFICE"));
        QVERIFY(!ReadAccount(registry.registry(), "Other"));
    }

    void writingRefusesWhatCannotBeSentOrStored() {
        TestRegistry registry;
        Account account{"Büro 2", QUrl("http://[::1]:5232/"), "alice", {}, 30, false, false};
        QVERIFY(WriteAccount(registry.User(), account));
        QCOMPARE(ReadAccount(registry.registry(), "Büro 2")->url, account.url);
        for (const QString name : {"", ".hidden", "a/b", "a\\b", " lead"}) {
            Account bad = account;
            bad.name = name;
            QVERIFY2(!WriteAccount(registry.User(), bad), qPrintable(name));
        }
        for (const QString url :
             {"ftp://host/", "https://bob:pw@host/", "https:///path", "https://host/#frag"}) {
            Account bad = account;
            bad.url = QUrl(url);
            QVERIFY2(!WriteAccount(registry.User(), bad), qPrintable(url));
        }
        Account colon = account;
        colon.user = "al:ice";
        QVERIFY(!WriteAccount(registry.User(), colon));
        QVERIFY(RemoveAccount(registry.User(), "Büro 2"));
        QVERIFY(ListAccounts(registry.registry()).isEmpty());
    }

    void thePasswordKeyNamesUserHostAndPort() {
        Account account;
        account.url = QUrl("https://cloud.example.com/remote.php/dav");
        account.user = "alice";
        QCOMPARE(PasswordKey(account), "carddav://alice@cloud.example.com:443");
        account.url = QUrl("http://[::1]:5232/");
        account.user.clear();
        QCOMPARE(PasswordKey(account), "carddav://[::1]:5232");
    }

    void readsAMultistatus() {
        const QByteArray xml =
            "<?xml version=\"1.0\"?><multistatus xmlns=\"DAV:\" "
            "xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
            "<response><href>/a/b.vcf</href><propstat><prop><getetag>\"1\"</getetag>"
            "<C:address-data>BEGIN:VCARD</C:address-data></prop>"
            "<status>HTTP/1.1 200 OK</status></propstat>"
            "<propstat><prop><displayname/></prop><status>HTTP/1.1 404 Not Found</status>"
            "</propstat></response>"
            "<response><href>/a/gone.vcf</href><status>HTTP/1.1 404 Not Found</status></response>"
            "<response><href>/a/</href><propstat><prop><resourcetype><collection/>"
            "<C:addressbook/></resourcetype><current-user-principal><href>/p/</href>"
            "</current-user-principal></prop><status>HTTP/1.1 200 OK</status></propstat>"
            "</response><sync-token>http://x/sync/7</sync-token></multistatus>";
        const auto parsed = ParseMultistatus(xml);
        QVERIFY(parsed);
        QCOMPARE(parsed->responses.size(), 3);
        const DavResponse& card = parsed->responses.at(0);
        QCOMPARE(card.properties.value(DavName(kNsDav, "getetag")).text, "\"1\"");
        QCOMPARE(card.properties.value(DavName(kNsCard, "address-data")).text, "BEGIN:VCARD");
        QVERIFY(!card.properties.contains(DavName(kNsDav, "displayname"))); // 404 propstat
        QCOMPARE(parsed->responses.at(1).status, 404);
        const DavResponse& book = parsed->responses.at(2);
        QCOMPARE(book.properties.value(DavName(kNsDav, "resourcetype")).children,
                 (QStringList{DavName(kNsDav, "collection"), DavName(kNsCard, "addressbook")}));
        QCOMPARE(book.properties.value(DavName(kNsDav, "current-user-principal")).hrefs,
                 QStringList{"/p/"});
        QCOMPARE(parsed->syncToken, "http://x/sync/7");

        QVERIFY(!ParseMultistatus("<html>Login</html>"));
        QVERIFY(!ParseMultistatus("<multistatus xmlns=\"DAV:\"><response>"));
        QByteArray deep = "<multistatus xmlns=\"DAV:\"><response><propstat><prop><x>";
        deep += QByteArray("<y>").repeated(200) + QByteArray("</y>").repeated(200);
        deep += "</x></prop></propstat></response></multistatus>";
        QVERIFY(!ParseMultistatus(deep));
    }

    void aCardsFaxNumbersByWhereTheyRing() {
        const auto card = [](const QByteArray& tels) {
            return CardFromVCard("h", "e",
                                 "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:X\r\n" + tels + "END:VCARD\r\n");
        };
        // Work wins over home; a fax typed neither is the business fax only without a work one.
        auto c = card("TEL;TYPE=fax:1\r\nTEL;TYPE=fax,home,work:2\r\nTEL;TYPE=HOME;TYPE=FAX:3\r\n");
        QCOMPARE(c->businessFax, "2");
        QCOMPARE(c->homeFax, "3");
        c = card("TEL;TYPE=voice,work:9\r\nTEL;TYPE=fax:1\r\n");
        QCOMPARE(c->businessFax, "1");
        QCOMPARE(c->homeFax, "");
        c = CardFromVCard("h", "e",
                          "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lang;Eva\r\n"
                          "TEL;HOME;FAX:5\r\nEND:VCARD\r\n");
        QCOMPARE(c->name, "Eva Lang");
        QCOMPARE(c->homeFax, "5");
        QVERIFY(!CardFromVCard("h", "e", "BEGIN:VCARD\r\nTEL;TYPE=fax:1\r\nEND:VCARD\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestCardDavSettings)
#include "tst_carddavsettings.moc"
