#pragma once

// The local copy of an account's address books, from which the lists are read at once: one
// file an account, <data>/.carddav/<account>/books.json, replaced whole (so that the books,
// their sync tokens and their cards always agree), readable by its owner only. A card keeps
// what a list needs of it (name, business and home fax) with its href and etag, so that the
// next sync fetches only what changed.

#include "support/Result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace faxapp::carddav {

struct CachedCard {
    QString href; // as the server names it
    QString etag;
    QString name;
    QString businessFax;
    QString homeFax;
};

struct CachedBook {
    QUrl url;
    QString displayName;
    QString syncToken; // empty: the next sync reads the book whole
    QList<CachedCard> cards;
};

struct AccountCache {
    QUrl server;             // the account's address it was made from; another one starts afresh
    QString user;            // the user it was made as; another one starts afresh
    QDateTime syncedAt;      // the last complete sync, invalid before the first one
    QList<CachedBook> books; // in the order the lists show them
};

// <dataDir>/.carddav/<account>; the account's name is checked by CheckAccountName.
QString CacheFolder(const QString& dataDir, const QString& account);

// The cache of the folder; an empty one when there is none yet (or it is of another format). A
// problem when it exists but cannot be read.
Result<AccountCache> LoadCache(const QString& folder);
// Replaces the cache in one step, making the folders (0700) and the file (0600).
Result<void> SaveCache(const QString& folder, const AccountCache& cache);
// Removes the folder with the cache.
void RemoveCache(const QString& folder);

// The card's name and fax numbers from its vCard: the name from FN, else N, else ORG; the
// business fax the first fax number typed WORK, else the first one typed neither; the home fax
// the first typed HOME. nullopt when no name can be read.
std::optional<CachedCard> CardFromVCard(const QString& href, const QString& etag,
                                        QByteArrayView vcard);

// The cards of a book that have a fax number, sorted by name as the user's language sorts, then
// by their numbers; equal ones keep their order.
QList<CachedCard> FaxCards(const CachedBook& book);

} // namespace faxapp::carddav
