#pragma once

// The WebDAV multistatus answers a CardDAV client reads (RFC 4918, 6352, 6578), and the
// request bodies it sends.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace faxapp::carddav {

inline const QString kNsDav = QStringLiteral("DAV:");
inline const QString kNsCard = QStringLiteral("urn:ietf:params:xml:ns:carddav");

// One property as answered: its text, the names ("{ns}local") of its child elements (a
// resourcetype's kinds) and the hrefs inside it (a principal's, a home set's).
struct DavProperty {
    QString text;
    QStringList children;
    QStringList hrefs;
};

struct DavResponse {
    QString href;
    int status = 0;                         // the response's own status, 0 when it has none
    QHash<QString, DavProperty> properties; // "{ns}local" of the properties answered with 2xx
};

struct Multistatus {
    QList<DavResponse> responses;
    QString syncToken; // the report's DAV:sync-token, empty without one
};

// "{ns}local"
QString DavName(const QString& ns, const QString& local);

// nullopt when the bytes are no multistatus document (or too deeply nested).
std::optional<Multistatus> ParseMultistatus(QByteArrayView xml);

// PROPFIND bodies asking for the given properties ("{ns}local" names).
QByteArray PropfindBody(const QStringList& properties);
// A sync-collection report from token (empty: everything), asking for the etags.
QByteArray SyncCollectionBody(const QString& token);
// An addressbook-multiget report for the hrefs, asking for etag and address data.
QByteArray MultigetBody(const QStringList& hrefs);

} // namespace faxapp::carddav
