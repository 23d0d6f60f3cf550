#include "faxapp/carddav/CardDavClient.h"

#include "faxapp/carddav/DavXml.h"
#include "platform/RegistryStore.h"
#include "platform/secrets/SecretStore.h"

#include <QCollator>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <algorithm>

namespace faxapp::carddav {

namespace {

constexpr int kMaxRedirects = 5;
// No answer of a CardDAV server to these requests comes near this; a larger one is cut off.
constexpr qint64 kMaxBody = 64LL << 20;
constexpr int kMultigetBatch = 100;
constexpr int kMaxSyncRounds = 1000;

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::CardDav", text);
}

// The same cards whatever way the server writes their hrefs.
QString Key(const QUrl& base, const QString& href) {
    return base.resolved(QUrl(href))
        .adjusted(QUrl::NormalizePathSegments | QUrl::StripTrailingSlash)
        .path(QUrl::FullyDecoded);
}

bool SameOrigin(const QUrl& a, const QUrl& b) {
    const auto port = [](const QUrl& url) { return url.port(url.scheme() == u"https" ? 443 : 80); };
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           port(a) == port(b);
}

QString StatusWords(int status) {
    return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "der Server antwortete mit Status %1"))
        .arg(status);
}

} // namespace

struct CardDavClient::Changes {
    QHash<QString, QPair<QString, QString>> present; // key -> href, etag
    QStringList removed;                             // keys
    QString token;
    bool whole = false; // every card of the book is in present
};

CardDavClient::CardDavClient(Account account, QString password)
    : m_account(std::move(account)), m_password(std::move(password)),
      m_network(std::make_unique<QNetworkAccessManager>()) {
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

CardDavClient::~CardDavClient() = default;

Result<CardDavClient::Reply> CardDavClient::Send(const QByteArray& verb, const QUrl& start,
                                                 const QByteArray& depth, const QByteArray& body) {
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    if (!m_account.caFile.isEmpty()) {
        const QList<QSslCertificate> ca = QSslCertificate::fromPath(m_account.caFile);
        if (ca.isEmpty())
            return Problem{0, m_account.caFile,
                           Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                                "die CA-Datei enthält kein PEM-Zertifikat"))};
        ssl.addCaCertificates(ca);
    }
    QUrl url = start;
    for (int redirect = 0;; ++redirect) {
        QNetworkRequest request(url);
        request.setTransferTimeout(m_account.timeLimit * 1000);
        request.setSslConfiguration(ssl);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        if (!depth.isEmpty())
            request.setRawHeader("Depth", depth);
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              QByteArrayLiteral("application/xml; charset=utf-8"));
        // The password goes to the account's own server only, never to where it redirects.
        if (!m_account.user.isEmpty() && SameOrigin(url, m_account.url))
            request.setRawHeader("Authorization",
                                 "Basic " +
                                     (m_account.user + u':' + m_password).toUtf8().toBase64());
        QNetworkReply* reply = m_network->sendCustomRequest(request, verb, body);
        bool tooLarge = false;
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [&](qint64 received, qint64) {
                             if (received > kMaxBody) {
                                 tooLarge = true;
                                 reply->abort();
                             }
                         });
        // The check's findings in words (not signed by a trusted CA, another name): Qt's
        // handshake error alone says only that the handshake failed.
        QStringList untrusted;
        QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                         [&untrusted](const QList<QSslError>& errors) {
                             for (const QSslError& error : errors)
                                 untrusted.append(error.errorString());
                         });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        const std::unique_ptr<QNetworkReply> owned(reply);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString where = url.host();
        if (tooLarge)
            return Problem{
                0, where,
                Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "die Antwort des Servers ist zu groß"))};
        if (status == 0) {
            if (!untrusted.isEmpty())
                return Problem{
                    0, where,
                    Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                         "dem Zertifikat des Servers wird nicht vertraut: %1"))
                        .arg(untrusted.join(QStringLiteral("; ")))};
            if (reply->error() == QNetworkReply::OperationCanceledError ||
                reply->error() == QNetworkReply::TimeoutError)
                return Problem{
                    0, where,
                    Tr(QT_TRANSLATE_NOOP(
                           "faxapp::CardDav",
                           "der Server antwortete nicht innerhalb des Zeitlimits (%1 s)"))
                        .arg(m_account.timeLimit)};
            return Problem{
                0, where,
                Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "der Server ist nicht erreichbar: %1"))
                    .arg(reply->errorString())};
        }
        if (status == 401)
            return Problem{0, where,
                           Tr(QT_TRANSLATE_NOOP(
                               "faxapp::CardDav",
                               "der Server hat den Benutzernamen oder das Passwort abgelehnt"))};
        if (status >= 300 && status < 400 && status != 304) {
            const QUrl target = url.resolved(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
            if (redirect >= kMaxRedirects || !target.isValid() ||
                (target.scheme() != u"https" && target.scheme() != u"http") ||
                (url.scheme() == u"https" && target.scheme() != u"https"))
                return Problem{
                    0, where,
                    Tr(QT_TRANSLATE_NOOP(
                        "faxapp::CardDav",
                        "der Server leitet zu oft oder an eine unbrauchbare Adresse weiter"))};
            url = target;
            continue;
        }
        return Reply{status, reply->readAll(), url};
    }
}

Result<QList<BookInfo>> CardDavClient::Discover() {
    const QStringList properties{DavName(kNsDav, QStringLiteral("resourcetype")),
                                 DavName(kNsDav, QStringLiteral("displayname")),
                                 DavName(kNsDav, QStringLiteral("current-user-principal")),
                                 DavName(kNsCard, QStringLiteral("addressbook-home-set"))};
    const QString addressbook = DavName(kNsCard, QStringLiteral("addressbook"));
    const auto propfind = [&](const QUrl& url,
                              const QByteArray& depth) -> Result<std::optional<Multistatus>> {
        const auto reply = Send("PROPFIND", url, depth, PropfindBody(properties));
        if (!reply)
            return reply.Error();
        if (reply->status != 207)
            return std::optional<Multistatus>();
        auto parsed = ParseMultistatus(reply->body);
        if (!parsed)
            return Problem{
                0, url.host(),
                Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                     "die Antwort des Servers ist keine WebDAV-Antwort"))};
        // Relative hrefs count from where the answer came from.
        for (DavResponse& response : parsed->responses) {
            response.href = reply->url.resolved(QUrl(response.href)).toString();
            for (DavProperty& property : response.properties)
                for (QString& href : property.hrefs)
                    href = reply->url.resolved(QUrl(href)).toString();
        }
        return parsed;
    };

    const QUrl start = m_account.url;
    std::optional<Multistatus> context;
    if (start.path().isEmpty() || start.path() == u"/") {
        const auto wellKnown =
            propfind(start.resolved(QUrl(QStringLiteral("/.well-known/carddav"))), "0");
        if (!wellKnown)
            return wellKnown.Error();
        context = *wellKnown;
    }
    if (!context || context->responses.isEmpty()) {
        const auto direct = propfind(start, "0");
        if (!direct)
            return direct.Error();
        if (!*direct || (*direct)->responses.isEmpty())
            return Problem{
                0, start.toDisplayString(),
                Tr(QT_TRANSLATE_NOOP(
                    "faxapp::CardDav",
                    "dies ist keine CardDAV-Adresse (der Server beantwortet PROPFIND nicht)"))};
        context = *direct;
    }
    const DavResponse& here = context->responses.constFirst();
    if (here.properties.value(DavName(kNsDav, QStringLiteral("resourcetype")))
            .children.contains(addressbook))
        return QList<BookInfo>{
            {QUrl(here.href),
             here.properties.value(DavName(kNsDav, QStringLiteral("displayname"))).text}};

    QUrl home;
    const QStringList homes =
        here.properties.value(DavName(kNsCard, QStringLiteral("addressbook-home-set"))).hrefs;
    const QStringList principals =
        here.properties.value(DavName(kNsDav, QStringLiteral("current-user-principal"))).hrefs;
    if (!homes.isEmpty()) {
        home = QUrl(homes.constFirst());
    } else if (!principals.isEmpty()) {
        const auto principal = propfind(QUrl(principals.constFirst()), "0");
        if (!principal)
            return principal.Error();
        if (*principal && !(*principal)->responses.isEmpty()) {
            const QStringList set =
                (*principal)
                    ->responses.constFirst()
                    .properties.value(DavName(kNsCard, QStringLiteral("addressbook-home-set")))
                    .hrefs;
            if (!set.isEmpty())
                home = QUrl(set.constFirst());
        }
    }
    if (home.isEmpty())
        home = QUrl(here.href);
    const auto listing = propfind(home, "1");
    if (!listing)
        return listing.Error();
    if (!*listing)
        return Problem{
            0, home.toDisplayString(),
            Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                 "der Ordner der Adressbücher kann nicht gelesen werden"))};
    QList<BookInfo> books;
    for (const DavResponse& response : (*listing)->responses) {
        if (response.properties.value(DavName(kNsDav, QStringLiteral("resourcetype")))
                .children.contains(addressbook))
            books.append({QUrl(response.href),
                          response.properties.value(DavName(kNsDav, QStringLiteral("displayname")))
                              .text.trimmed()});
    }
    return books;
}

Result<std::optional<CardDavClient::Changes>> CardDavClient::SyncCollection(const QUrl& book,
                                                                            const QString& token) {
    Changes changes;
    changes.whole = token.isEmpty();
    changes.token = token;
    const QString self = Key(book, book.toString());
    for (int round = 0; round < kMaxSyncRounds; ++round) {
        const auto reply = Send("REPORT", book, "0", SyncCollectionBody(changes.token));
        if (!reply)
            return reply.Error();
        // No such report, or a token the server no longer knows (403, 409, 400 ...).
        if (reply->status != 207)
            return std::optional<Changes>();
        const auto parsed = ParseMultistatus(reply->body);
        if (!parsed || parsed->syncToken.isEmpty())
            return std::optional<Changes>();
        bool truncated = false;
        for (const DavResponse& response : parsed->responses) {
            const QString key = Key(reply->url, response.href);
            if (key == self) {
                truncated = truncated || response.status == 507;
                continue;
            }
            if (response.status == 404) {
                changes.present.remove(key);
                changes.removed.append(key);
                continue;
            }
            const auto etag = response.properties.find(DavName(kNsDav, QStringLiteral("getetag")));
            changes.present.insert(key, {response.href, etag == response.properties.end()
                                                            ? QString()
                                                            : etag->text.trimmed()});
        }
        const bool moved = parsed->syncToken != changes.token;
        changes.token = parsed->syncToken;
        if (!truncated || !moved)
            return std::optional<Changes>(std::move(changes));
    }
    return Problem{
        0, book.toDisplayString(),
        Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "die Änderungen des Servers enden nicht"))};
}

Result<CardDavClient::Changes> CardDavClient::ListEtags(const QUrl& book) {
    const auto reply = Send("PROPFIND", book, "1",
                            PropfindBody({DavName(kNsDav, QStringLiteral("getetag")),
                                          DavName(kNsDav, QStringLiteral("resourcetype"))}));
    if (!reply)
        return reply.Error();
    if (reply->status != 207)
        return Problem{0, book.toDisplayString(), StatusWords(reply->status)};
    const auto parsed = ParseMultistatus(reply->body);
    if (!parsed)
        return Problem{0, book.toDisplayString(),
                       Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                            "die Antwort des Servers ist keine WebDAV-Antwort"))};
    Changes changes;
    changes.whole = true;
    const QString self = Key(book, book.toString());
    for (const DavResponse& response : parsed->responses) {
        const QString key = Key(reply->url, response.href);
        const auto type =
            response.properties.value(DavName(kNsDav, QStringLiteral("resourcetype")));
        if (key == self || type.children.contains(DavName(kNsDav, QStringLiteral("collection"))))
            continue;
        changes.present.insert(
            key,
            {response.href,
             response.properties.value(DavName(kNsDav, QStringLiteral("getetag"))).text.trimmed()});
    }
    return changes;
}

Result<void> CardDavClient::Fetch(const QUrl& book, const QStringList& hrefs,
                                  QList<CachedCard>& cards) {
    QStringList missing;
    for (qsizetype at = 0; at < hrefs.size(); at += kMultigetBatch) {
        const QStringList batch = hrefs.mid(at, kMultigetBatch);
        const auto reply = Send("REPORT", book, "1", MultigetBody(batch));
        if (!reply)
            return reply.Error();
        const auto parsed = reply->status == 207 ? ParseMultistatus(reply->body) : std::nullopt;
        QHash<QString, QString> wanted; // key -> href
        for (const QString& href : batch)
            wanted.insert(Key(book, href), href);
        if (parsed) {
            for (const DavResponse& response : parsed->responses) {
                const auto data =
                    response.properties.find(DavName(kNsCard, QStringLiteral("address-data")));
                const QString key = Key(reply->url, response.href);
                if (data == response.properties.end() || !wanted.contains(key))
                    continue;
                const QString href = wanted.take(key);
                const QString etag =
                    response.properties.value(DavName(kNsDav, QStringLiteral("getetag")))
                        .text.trimmed();
                const auto card = CardFromVCard(href, etag, data->text.toUtf8());
                cards.append(card ? *card : CachedCard{href, etag, {}, {}, {}});
            }
        }
        missing += wanted.values();
    }
    // What the report did not bring (no such report, or a server that leaves some out).
    for (const QString& href : missing) {
        const auto reply = Send("GET", book.resolved(QUrl(href)), {}, {});
        if (!reply)
            return reply.Error();
        if (reply->status == 404 || reply->status == 410)
            continue; // gone since it was listed
        if (reply->status != 200)
            return Problem{0, href, StatusWords(reply->status)};
        const auto card = CardFromVCard(href, QString(), reply->body);
        cards.append(card ? *card : CachedCard{href, {}, {}, {}, {}});
    }
    return Success();
}

Result<CachedBook> CardDavClient::SyncBook(const BookInfo& book, const CachedBook* before) {
    QHash<QString, CachedCard> cards;
    if (before)
        for (const CachedCard& card : before->cards)
            cards.insert(Key(book.url, card.href), card);

    std::optional<Changes> changes;
    if (before && !before->syncToken.isEmpty()) {
        auto sync = SyncCollection(book.url, before->syncToken);
        if (!sync)
            return sync.Error();
        changes = std::move(*sync);
    }
    if (!changes) {
        auto sync = SyncCollection(book.url, QString());
        if (!sync)
            return sync.Error();
        changes = std::move(*sync);
    }
    if (!changes) {
        auto listing = ListEtags(book.url);
        if (!listing)
            return listing.Error();
        changes = std::move(*listing);
    }

    for (const QString& key : changes->removed)
        cards.remove(key);
    if (changes->whole) {
        for (auto it = cards.begin(); it != cards.end();)
            it = changes->present.contains(it.key()) ? std::next(it) : cards.erase(it);
    }
    QStringList fetch;
    for (auto it = changes->present.cbegin(); it != changes->present.cend(); ++it) {
        const auto known = cards.constFind(it.key());
        if (known == cards.cend() || it->second.isEmpty() || known->etag != it->second)
            fetch.append(it->first);
    }
    fetch.sort();
    QList<CachedCard> fetched;
    if (const auto done = Fetch(book.url, fetch, fetched); !done)
        return done.Error();
    for (const QString& href : fetch)
        cards.remove(Key(book.url, href));
    for (CachedCard& card : fetched) {
        const QString key = Key(book.url, card.href);
        // A card fetched by GET has the etag it was listed with, so that it is not fetched
        // again while it stays the same.
        if (card.etag.isEmpty())
            card.etag = changes->present.value(key).second;
        cards.insert(key, card);
    }

    CachedBook after{book.url, book.displayName, changes->token, {}};
    QStringList keys = cards.keys();
    keys.sort();
    for (const QString& key : keys)
        after.cards.append(cards.value(key));
    return after;
}

Result<AccountCache> SyncAccount(const Account& account, const QString& password,
                                 const AccountCache& before) {
    CardDavClient client(account, password);
    const auto books = client.Discover();
    if (!books)
        return books.Error();
    const bool same = before.server == account.url && before.user == account.user;
    AccountCache after{account.url, account.user, {}, {}};
    for (BookInfo book : *books) {
        if (book.displayName.isEmpty())
            book.displayName = book.url.adjusted(QUrl::StripTrailingSlash).fileName();
        const CachedBook* old = nullptr;
        for (const CachedBook& candidate : before.books)
            if (same &&
                Key(candidate.url, candidate.url.toString()) == Key(book.url, book.url.toString()))
                old = &candidate;
        auto synced = client.SyncBook(book, old);
        if (!synced)
            return synced.Error();
        after.books.append(std::move(*synced));
    }
    QCollator collator;
    std::stable_sort(after.books.begin(), after.books.end(),
                     [&](const CachedBook& a, const CachedBook& b) {
                         return collator.compare(a.displayName, b.displayName) < 0;
                     });
    after.syncedAt = QDateTime::currentDateTimeUtc();
    return after;
}

Result<QString> ReadPassword(const Account& account) {
    if (account.user.isEmpty())
        return QString();
    const QString key = PasswordKey(account);
    const auto secret = secrets::ReadSecret(key);
    if (!secret)
        return secret.Error();
    if (!secret->has_value())
        return Problem{
            0, key,
            Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "der Schlüsselbund enthält kein Passwort dafür "
                                                    "(kalmofax carddav add legt eines ab)"))};
    return **secret;
}

Result<QString> TestCardDavAccount(const QString& name) {
    const auto registry = Registry::OpenDefault();
    const auto account = ReadAccount(*registry, name);
    if (!account)
        return account.Error();
    const auto password = ReadPassword(*account);
    if (!password)
        return password.Error();
    const auto cache = SyncAccount(*account, *password, {});
    if (!cache)
        return cache.Error();
    int withFax = 0;
    for (const CachedBook& book : cache->books)
        withFax += int(FaxCards(book).size());
    return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                "%1 erreicht; Adressbücher: %2; Kontakte mit Faxnummer: %3"))
        .arg(account->url.host())
        .arg(cache->books.size())
        .arg(withFax);
}

} // namespace faxapp::carddav
