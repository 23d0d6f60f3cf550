#pragma once

// A CardDAV client for one account, one request at a time, each bounded by the account's time
// limit (the calls block; they run a local event loop, so a program calls them from a thread
// whose events may wait: a command, or a thread of its own). Discovery starts at the
// account's address: /.well-known/carddav for a server's root, then the current user's
// principal, its address book home and the address books in it. A book is synced with a
// sync-collection report from the last sync token; without one, or when the server has no
// such report or no longer knows the token, the book is listed whole by its etags. Cards
// that are new or changed are fetched by addressbook-multiget, else one by one. Basic
// authentication is sent only to the account's own server; HTTPS checks the certificate
// against the system's authorities and the account's CA file.

#include "faxapp/carddav/CardDavAccounts.h"
#include "faxapp/carddav/CardDavCache.h"
#include "support/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <memory>

class QNetworkAccessManager;

namespace faxapp::carddav {

struct BookInfo {
    QUrl url;
    QString displayName;
};

class CardDavClient {
public:
    CardDavClient(Account account, QString password);
    ~CardDavClient();
    CardDavClient(const CardDavClient&) = delete;
    CardDavClient& operator=(const CardDavClient&) = delete;

    // The account's address books, in the order of the server's answer.
    Result<QList<BookInfo>> Discover();
    // The book as it is now on the server; before is its last copy (nullptr: none).
    Result<CachedBook> SyncBook(const BookInfo& book, const CachedBook* before);

    struct Reply {
        int status = 0;
        QByteArray body;
        QUrl url; // after redirects
    };
    // One request; a problem for what is no HTTP answer (no connection, certificate, time
    // limit) and for a refused login, every other status comes back to the caller.
    Result<Reply> Send(const QByteArray& verb, const QUrl& url, const QByteArray& depth,
                       const QByteArray& body);

private:
    struct Changes;
    Result<std::optional<Changes>> SyncCollection(const QUrl& book, const QString& token);
    Result<Changes> ListEtags(const QUrl& book);
    Result<void> Fetch(const QUrl& book, const QStringList& hrefs, QList<CachedCard>& cards);

    Account m_account;
    QString m_password;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

// Syncs every book of the account: the cache as it is on the server now, made from before
// where before is of the same server and user.
Result<AccountCache> SyncAccount(const Account& account, const QString& password,
                                 const AccountCache& before);

// The password kept for the account in the keyring; empty for an account without a user.
Result<QString> ReadPassword(const Account& account);

// The account of the settings store checked against its server, in words: the server reached,
// the number of address books and of contacts with a fax number. Nothing is stored.
Result<QString> TestCardDavAccount(const QString& name);

} // namespace faxapp::carddav
