#include "faxapp/carddav/CardDavCache.h"

#include "faxapp/contacts/VCardReader.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <vector>

namespace faxapp::carddav {

namespace {

constexpr int kFormat = 1;
const QString kCacheFile = QStringLiteral("books.json");
// Far beyond any office's address books; a larger file is not read.
constexpr qint64 kMaxCacheBytes = 256LL << 20;

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::CardDav", text);
}

QString S(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString();
}

} // namespace

QString CacheFolder(const QString& dataDir, const QString& account) {
    return dataDir + QStringLiteral("/.carddav/") + account;
}

Result<AccountCache> LoadCache(const QString& folder) {
    QFile file(folder + u'/' + kCacheFile);
    if (!file.exists())
        return AccountCache{};
    if (!file.open(QIODevice::ReadOnly))
        return Problem{0, file.fileName(), file.errorString()};
    if (file.size() > kMaxCacheBytes)
        return Problem{0, file.fileName(),
                       Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "die Datei ist zu groß"))};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (document.isNull())
        return Problem{0, file.fileName(), error.errorString()};
    const QJsonObject root = document.object();
    AccountCache cache;
    if (root.value(QLatin1String("format")).toInt() != kFormat)
        return cache; // written by another version: read afresh from the server
    cache.server = QUrl(S(root, "server"));
    cache.user = S(root, "user");
    cache.syncedAt = QDateTime::fromString(S(root, "syncedAt"), Qt::ISODate);
    for (const QJsonValue bookValue : root.value(QLatin1String("books")).toArray()) {
        const QJsonObject object = bookValue.toObject();
        CachedBook book{QUrl(S(object, "url")), S(object, "name"), S(object, "token"), {}};
        for (const QJsonValue cardValue : object.value(QLatin1String("cards")).toArray()) {
            const QJsonObject card = cardValue.toObject();
            book.cards.append({S(card, "href"), S(card, "etag"), S(card, "name"),
                               S(card, "business"), S(card, "home")});
        }
        cache.books.append(std::move(book));
    }
    return cache;
}

Result<void> SaveCache(const QString& folder, const AccountCache& cache) {
    const QString parent = QFileInfo(folder).absolutePath();
    for (const QString& dir : {parent, folder}) {
        if (!QDir().mkpath(dir))
            return Problem{
                0, dir,
                Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "der Ordner kann nicht angelegt werden"))};
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QJsonArray books;
    for (const CachedBook& book : cache.books) {
        QJsonArray cards;
        for (const CachedCard& card : book.cards)
            cards.append(QJsonObject{{QStringLiteral("href"), card.href},
                                     {QStringLiteral("etag"), card.etag},
                                     {QStringLiteral("name"), card.name},
                                     {QStringLiteral("business"), card.businessFax},
                                     {QStringLiteral("home"), card.homeFax}});
        books.append(QJsonObject{{QStringLiteral("url"), book.url.toString(QUrl::FullyEncoded)},
                                 {QStringLiteral("name"), book.displayName},
                                 {QStringLiteral("token"), book.syncToken},
                                 {QStringLiteral("cards"), cards}});
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("server"), cache.server.toString(QUrl::FullyEncoded)},
                           {QStringLiteral("user"), cache.user},
                           {QStringLiteral("syncedAt"), cache.syncedAt.toString(Qt::ISODate)},
                           {QStringLiteral("books"), books}};
    QSaveFile file(folder + u'/' + kCacheFile);
    if (!file.open(QIODevice::WriteOnly))
        return Problem{0, file.fileName(), file.errorString()};
    // Private from the first byte: the temporary file is the one renamed into place.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
    if (!file.commit())
        return Problem{0, file.fileName(), file.errorString()};
    return Success();
}

void RemoveCache(const QString& folder) {
    QDir(folder).removeRecursively();
}

std::optional<CachedCard> CardFromVCard(const QString& href, const QString& etag,
                                        QByteArrayView vcard) {
    const VCardParse parse = ParseVCards(vcard);
    if (parse.contacts.isEmpty())
        return std::nullopt;
    const Contact& contact = parse.contacts.constFirst();
    QString business = FaxNumberAt(contact, FaxPlace::Work);
    if (business.isEmpty())
        business = FaxNumberAt(contact, FaxPlace::Unspecified);
    return CachedCard{href, etag, contact.name, business, FaxNumberAt(contact, FaxPlace::Home)};
}

QList<CachedCard> FaxCards(const CachedBook& book) {
    struct Keyed {
        CachedCard card;
        QCollatorSortKey key;
    };
    QCollator collator;
    std::vector<Keyed> keyed;
    for (const CachedCard& card : book.cards) {
        if (!card.name.isEmpty() && (!card.businessFax.isEmpty() || !card.homeFax.isEmpty()))
            keyed.push_back({card, collator.sortKey(card.name)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (const int order = a.key.compare(b.key); order != 0)
            return order < 0;
        if (a.card.businessFax != b.card.businessFax)
            return a.card.businessFax < b.card.businessFax;
        return a.card.homeFax < b.card.homeFax;
    });
    QList<CachedCard> cards;
    cards.reserve(qsizetype(keyed.size()));
    for (Keyed& entry : keyed)
        cards.append(std::move(entry.card));
    return cards;
}

} // namespace faxapp::carddav
