// The CardDAV address books against a real Radicale: discovery, sync by token and its fallback,
// the cache, and Outlook.Application served over them as kalmosend's contacts-folder reader
// reads it.

#include "PrivateRadicale.h"
#include "RecordingMessenger.h"
#include "RecordingRecipientList.h"
#include "ServiceFakes.h"
#include "addressbook/MapiSession.h"
#include "addressbook/OutlookContacts.h"
#include "fax/EntryLines.h"
#include "faxapp/carddav/BookService.h"
#include "faxapp/carddav/CardDavClient.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/RegistryStore.h"
#include "support/StringIds.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <sys/stat.h>

using namespace faxapp::carddav;

namespace {

// vCards as servers and clients write them: 3.0 and 4.0, the TYPE lists both ways, a tel: URI,
// an organisation alone, folded lines, a card without a fax number.
const QByteArray kMeier = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:meier\r\nFN:Meier GmbH\r\n"
                          "N:Meier;Hans;;;\r\nTEL;TYPE=fax,work:+49 30 1111\r\n"
                          "TEL;TYPE=voice:+49 30 9999\r\nEND:VCARD\r\n";
const QByteArray kSchulz = "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:schulz\r\nFN:anna Schulz\r\n"
                           "TEL;TYPE=\"work,fax\":+49 40 2222\r\n"
                           "TEL;VALUE=uri;TYPE=\"fax,home\":tel:+49-40-3333\r\nEND:VCARD\r\n";
// A company: FN and N there (the server insists) but empty.
const QByteArray kZander = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:zander\r\nFN:\r\nN:;;;;\r\n"
                           "ORG:Zander AG;Einkauf\r\n"
                           "TEL;TYPE=FAX:030 4444\r\nEND:VCARD\r\n";
const QByteArray kBaecker = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:baecker\r\nFN:Bernd B\xC3\xA4\r\n"
                            " cker-Lang\r\nTEL;TYPE=WORK;TYPE=FAX:+49 89\r\n  5555\r\n"
                            "END:VCARD\r\n";
const QByteArray kHome = "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:otto\r\nFN:Otto Home\r\n"
                         "TEL;TYPE=home,fax:+49 1234\r\nEND:VCARD\r\n";
const QByteArray kNoFax = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:nofax\r\nFN:Ohne Fax\r\n"
                          "TEL;TYPE=work:+49 1\r\nEND:VCARD\r\n";
const QByteArray kPaula = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:paula\r\nFN:Paula Privat\r\n"
                          "TEL;TYPE=FAX,HOME:0711 777\r\nEND:VCARD\r\n";
const QByteArray kBob = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bob\r\nFN:Bob Card\r\n"
                        "TEL;TYPE=FAX:0911 888\r\nEND:VCARD\r\n";

// Hands out the served Outlook.Application as the bus would.
class ServedAutomation final : public AutomationClient {
public:
    explicit ServedAutomation(dbusauto::ServedClass served) : m_served(std::move(served)) {}
    bool Initialise() override { return true; }
    DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) override {
        if (progId != m_served.progId) {
            failure = {scode::kClassNotRegistered, "Invalid class string"};
            return nullptr;
        }
        return m_served.create();
    }

private:
    dbusauto::ServedClass m_served;
};

// Why a result failed, empty when it did not (QVERIFY2 reads its message either way).
template <typename T> QByteArray Why(const Result<T>& result) {
    return result ? QByteArray() : result.Error().Text().toLocal8Bit();
}

// Between the client and Radicale: passes every request on, but answers 501 to the REPORTs
// of sync and multiget, as a server without them does. Counts the GETs it passes.
class RefusingProxy final : public QObject {
public:
    explicit RefusingProxy(quint16 upstream) : m_upstream(upstream) {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = m_server.nextPendingConnection()) {
                client->setParent(this);
                QObject::connect(client, &QTcpSocket::readyRead, this,
                                 [this, client] { Take(client); });
            }
        });
    }
    bool Listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString Url() const { return QString("http://127.0.0.1:%1/").arg(m_server.serverPort()); }
    int gets = 0;
    int refused = 0;

private:
    void Take(QTcpSocket* client) {
        QByteArray& request = m_pending[client];
        request += client->readAll();
        const qsizetype headEnd = request.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : request.left(headEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (request.size() < headEnd + 4 + length)
            return;
        const QByteArray whole = std::exchange(request, {});
        if (whole.startsWith("REPORT") &&
            (whole.contains("sync-collection") || whole.contains("addressbook-multiget"))) {
            ++refused;
            client->write("HTTP/1.1 501 Not Implemented\r\nContent-Length: 0\r\n"
                          "Connection: close\r\n\r\n");
        } else {
            gets += whole.startsWith("GET ") ? 1 : 0;
            QTcpSocket upstream;
            upstream.connectToHost(QHostAddress::LocalHost, m_upstream);
            if (upstream.waitForConnected(5000)) {
                upstream.write(whole);
                // Radicale answers HTTP/1.0 and closes the connection after the answer.
                while (upstream.state() == QAbstractSocket::ConnectedState &&
                       upstream.waitForReadyRead(5000))
                    client->write(upstream.readAll());
                client->write(upstream.readAll());
            }
        }
        client->disconnectFromHost();
    }

    QTcpServer m_server;
    quint16 m_upstream;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

struct Listing {
    QStringList rows;
    QList<RecordingMessenger::Message> messages;
};

} // namespace

class TestCardDav : public QObject {
    Q_OBJECT

private:
    PrivateRadicale m_server;
    QTemporaryDir m_data;
    Account m_account;

    std::shared_ptr<BookService> Service(const QString& password = PrivateRadicale::kAlicePassword,
                                         const QString& dataDir = {}) {
        const Account account = m_account;
        return std::make_shared<BookService>(
            dataDir.isEmpty() ? m_data.path() : dataDir, [account] { return QList{account}; },
            [password](const Account&) { return Result<QString>(password); },
            BookService::Options{std::chrono::milliseconds(20000), std::chrono::milliseconds(0)});
    }

    // The rows kalmosend's reader adds from the served class, and what it shows.
    static Listing Read(const std::shared_ptr<BookService>& books, const QString& folder = {}) {
        ServedAutomation automation(faxapp::OutlookApplicationClass(books));
        OutlookSettings settings;
        settings.m_bUseOutlook = 2;
        settings.m_strOutlookContacts = folder;
        RecordingRecipientList list;
        RecordingMessenger messenger;
        MapiSession session;
        CountingBusy busy;
        LoadOutlookAddresses(list, settings, session, automation, messenger, busy);
        return {list.Texts(), messenger.messages};
    }

    QString CacheFile() const { return CacheFolder(m_data.path(), m_account.name) + "/books.json"; }

private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(m_data.isValid());
        const QString started = m_server.Start();
        QVERIFY2(started.isEmpty(), qPrintable(started));
        QCOMPARE(m_server.MakeBook("alice", "/alice/office/", "Office"), 201);
        QCOMPARE(m_server.MakeBook("alice", "/alice/private/", "Private"), 201);
        QCOMPARE(m_server.MakeBook("bob", "/bob/book/", "Bobs"), 201);
        const QList<QPair<QString, QByteArray>> office{
            {"meier.vcf", kMeier},     {"schulz.vcf", kSchulz}, {"zander.vcf", kZander},
            {"baecker.vcf", kBaecker}, {"otto.vcf", kHome},     {"nofax.vcf", kNoFax}};
        for (const auto& [name, card] : office)
            QCOMPARE(m_server.PutCard("alice", "/alice/office/" + name, card), 201);
        QCOMPARE(m_server.PutCard("alice", "/alice/private/paula.vcf", kPaula), 201);
        QCOMPARE(m_server.PutCard("bob", "/bob/book/bob.vcf", kBob), 201);
        m_account.name = QStringLiteral("Büro");
        m_account.url = QUrl(m_server.Url("/"));
        m_account.user = QStringLiteral("alice");
        m_account.timeLimit = 10;
    }

    void discoversTheBooksFromEveryStart() {
        // The root goes through /.well-known/carddav and the principal; the home and a book
        // itself are taken as they are.
        for (const QString path : {"/", "/alice/", "/alice/private/"}) {
            Account account = m_account;
            account.url = QUrl(m_server.Url(path));
            CardDavClient client(account, PrivateRadicale::kAlicePassword);
            const auto books = client.Discover();
            QVERIFY2(books, Why(books).constData());
            QStringList names;
            for (const BookInfo& book : *books)
                names.append(book.displayName);
            names.sort();
            const QStringList expected = path == u"/alice/private/"
                                             ? QStringList{"Private"}
                                             : QStringList{"Office", "Private"};
            QCOMPARE(names, expected);
        }
    }

    void listsTheDefaultBookInTheLanguagesOrder() {
        const auto books = Service();
        const Listing listing = Read(books);
        QVERIFY(listing.messages.isEmpty());
        QCOMPARE(
            listing.rows,
            (QStringList{"anna Schulz (gesch.)=+49 40 2222", "anna Schulz (privat)=+49-40-3333",
                         "Bernd Bäcker-Lang=+49 89 5555", "Meier GmbH=+49 30 1111",
                         "Otto Home=+49 1234", "Zander AG=030 4444"}));
        // The one-call read gives the same entries.
        const auto application = faxapp::OutlookApplicationClass(books).create();
        const auto space =
            application
                ->Invoke(outlook::kAppGetNamespace, InvokeKind::Method, {AutoVariant::BStr("MAPI")})
                .ToDispatch();
        const auto folder =
            space->Invoke(outlook::kGetDefaultFolder, InvokeKind::Method, {AutoVariant::I4(10)})
                .ToDispatch();
        const auto items =
            folder->Invoke(outlook::kItems, InvokeKind::PropertyGet, {}).ToDispatch();
        const auto entries = fax::ParseEntryLines(
            items->Invoke(fax::kDispidReadAll, InvokeKind::Method, {}).ToBStr(), 3);
        QCOMPARE(entries.size(), 5);
        QCOMPARE(entries.at(0), (QStringList{"anna Schulz", "+49 40 2222", "+49-40-3333"}));
        QCOMPARE(entries.at(3), (QStringList{"Otto Home", "", "+49 1234"}));
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
    }

    void findsABookByItsDisplayNameOnly() {
        const auto books = Service();
        QCOMPARE(Read(books, "Private").rows, QStringList{"Paula Privat=0711 777"});
        QVERIFY(Read(books, "private").rows.isEmpty()); // letter case counts
        QVERIFY(Read(books, "Büro").rows.isEmpty());    // the account is no contacts folder
        QVERIFY(Read(books, "Bobs").rows.isEmpty());    // another user's book
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
    }

    void keepsTheCachePrivate() {
        struct stat file {};
        QCOMPARE(::stat(QFile::encodeName(CacheFile()).constData(), &file), 0);
        QCOMPARE(file.st_mode & 07777, 0600u);
        struct stat folder {};
        const QByteArray folderName = QFile::encodeName(QFileInfo(CacheFile()).absolutePath());
        QCOMPARE(::stat(folderName.constData(), &folder), 0);
        QCOMPARE(folder.st_mode & 07777, 0700u);
    }

    void aSyncShowsAChangeAndADeletion() {
        const auto before = LoadCache(CacheFolder(m_data.path(), m_account.name));
        QVERIFY(before);
        QString oldToken = before->books.value(0).syncToken;
        QVERIFY(!oldToken.isEmpty());

        QByteArray changed = kMeier;
        changed.replace("+49 30 1111", "+49 30 1212");
        const int replaced = m_server.PutCard("alice", "/alice/office/meier.vcf", changed);
        QVERIFY(replaced == 201 || replaced == 204);
        QCOMPARE(m_server.Request("DELETE", "/alice/office/zander.vcf", "alice"), 200);

        const auto books = Service();
        // The list comes from the cache at once; the sync behind it brings the change.
        QVERIFY(Read(books).rows.contains("Zander AG=030 4444"));
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
        const QStringList rows = Read(books).rows;
        QVERIFY(rows.contains("Meier GmbH=+49 30 1212"));
        QVERIFY(!rows.join(u'\n').contains("Zander"));
        QCOMPARE(rows.size(), 5);
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
        const auto after = LoadCache(CacheFolder(m_data.path(), m_account.name));
        QVERIFY(after->books.value(0).syncToken != oldToken);
    }

    void aTokenTheServerDoesNotKnowReadsTheBookWhole() {
        AccountCache cache = *LoadCache(CacheFolder(m_data.path(), m_account.name));
        cache.books[0].syncToken = "http://radicale.org/ns/sync/unknown";
        cache.books[0].cards.removeFirst(); // lost here: only a whole reading brings it back
        const auto synced = SyncAccount(m_account, PrivateRadicale::kAlicePassword, cache);
        QVERIFY2(synced, Why(synced).constData());
        QCOMPARE(FaxCards(synced->books.at(0)).size(), 4);
        QVERIFY(synced->books.at(0).syncToken.startsWith("http"));
    }

    void withoutSyncAndMultigetTheBookIsListedAndFetchedCardByCard() {
        RefusingProxy proxy(m_server.Port());
        QVERIFY(proxy.Listen());
        Account account = m_account;
        account.url = QUrl(proxy.Url());
        const auto first = SyncAccount(account, PrivateRadicale::kAlicePassword, {});
        QVERIFY2(first, Why(first).constData());
        QVERIFY(proxy.refused > 0);
        QCOMPARE(proxy.gets, 6); // the six cards of both books, one GET each
        const auto direct = LoadCache(CacheFolder(m_data.path(), m_account.name));
        const auto office = FaxCards(first->books.at(0));
        QCOMPARE(office.size(), FaxCards(direct->books.at(0)).size());
        QCOMPARE(office.at(0).homeFax, "+49-40-3333");
        QVERIFY(first->books.at(0).syncToken.isEmpty());
        // Listed again by their etags: nothing unchanged is fetched again.
        const auto second = SyncAccount(account, PrivateRadicale::kAlicePassword, *first);
        QVERIFY2(second, Why(second).constData());
        QCOMPARE(proxy.gets, 6);
        QCOMPARE(FaxCards(second->books.at(0)).size(), office.size());
    }

    void aWrongPasswordFailsInWords() {
        const auto synced = SyncAccount(m_account, "wrong", {});
        QVERIFY(!synced);
        QVERIFY2(
            synced.Error().Text().contains("hat den Benutzernamen oder das Passwort abgelehnt"),
            qPrintable(synced.Error().Text()));
        // Never synced: the reader is told why there is nothing.
        QTemporaryDir empty;
        const Listing listing = Read(Service("wrong", empty.path()));
        QVERIFY(listing.rows.isEmpty());
        QCOMPARE(listing.messages.size(), 1);
        QCOMPARE(listing.messages.at(0).id, IDS_ERR_OUTLOOK_READ);
        QVERIFY2(listing.messages.at(0).text.contains(
                     "hat den Benutzernamen oder das Passwort abgelehnt"),
                 qPrintable(listing.messages.at(0).text));
    }

    void overHttpsTheCertificateIsChecked() {
        PrivateRadicale secure;
        const QString started = secure.Start(true);
        QVERIFY2(started.isEmpty(), qPrintable(started));
        QCOMPARE(secure.MakeBook("alice", "/alice/office/", "Office"), 201);
        QCOMPARE(secure.PutCard("alice", "/alice/office/meier.vcf", kMeier), 201);
        Account account = m_account;
        account.url = QUrl(secure.Url("/"));
        account.caFile = secure.CaFile();
        const auto synced = SyncAccount(account, PrivateRadicale::kAlicePassword, {});
        QVERIFY2(synced, synced ? "" : qPrintable(synced.Error().Text()));
        QCOMPARE(synced->books.size(), 1);
        QCOMPARE(FaxCards(synced->books.at(0)).size(), 1);
        // Signed by a CA the account does not trust, or by none the system knows: refused,
        // and the password never sent.
        for (const QString& ca : {secure.OtherCaFile(), QString()}) {
            account.caFile = ca;
            const auto refused = SyncAccount(account, PrivateRadicale::kAlicePassword, {});
            QVERIFY(!refused);
            QVERIFY2(refused.Error().Text().contains("Zertifikat des Servers wird nicht vertraut"),
                     qPrintable(refused.Error().Text()));
        }
    }

    void withoutTheServerTheCacheAnswersAndSaysItMayBeOld() {
        m_server.Stop();
        const auto books = Service();
        QElapsedTimer timer;
        timer.start();
        const Listing first = Read(books);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(first.rows.size(), 5);
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
        // Once the background sync has failed, the next reading says so, once.
        const Listing second = Read(books);
        QCOMPARE(second.rows, first.rows);
        QCOMPARE(second.messages.size(), 1);
        QCOMPARE(second.messages.at(0).id, IDS_ERR_OUTLOOK_READ);
        QVERIFY2(second.messages.at(0).text.contains("vielleicht nicht aktuell") &&
                     second.messages.at(0).text.contains("nicht erreichbar"),
                 qPrintable(second.messages.at(0).text));
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
        const Listing third = Read(books);
        QCOMPARE(third.rows, first.rows);
        QVERIFY(third.messages.isEmpty());
        QVERIFY(books->WaitForSyncs(std::chrono::seconds(20)));
    }
};

QTEST_GUILESS_MAIN(TestCardDav)
#include "tst_carddav.moc"
