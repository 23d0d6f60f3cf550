#include "faxapp/carddav/DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace faxapp::carddav {

namespace {

constexpr int kMaxDepth = 32;

int StatusCode(const QString& line) {
    // "HTTP/1.1 404 Not Found"
    const QStringList parts = line.simplified().split(u' ');
    return parts.size() >= 2 ? parts.at(1).toInt() : 0;
}

bool Is(const QXmlStreamReader& xml, const QString& ns, QStringView local) {
    return xml.namespaceUri() == ns && xml.name() == local;
}

// Reads the element the reader is on to its end: its text, its children's names and the
// hrefs anywhere inside. False when it is nested too deeply.
bool ReadProperty(QXmlStreamReader& xml, DavProperty& property, int depth) {
    if (depth > kMaxDepth)
        return false;
    while (xml.readNext() != QXmlStreamReader::Invalid) {
        if (xml.isEndElement())
            return true;
        if (xml.isCharacters()) {
            property.text += xml.text();
        } else if (xml.isStartElement()) {
            if (depth == 0)
                property.children.append(
                    DavName(xml.namespaceUri().toString(), xml.name().toString()));
            if (Is(xml, kNsDav, u"href")) {
                property.hrefs.append(xml.readElementText().trimmed());
                continue;
            }
            DavProperty inner;
            if (!ReadProperty(xml, inner, depth + 1))
                return false;
            property.hrefs += inner.hrefs;
        }
    }
    return false;
}

bool ReadPropstat(QXmlStreamReader& xml, DavResponse& response) {
    QHash<QString, DavProperty> properties;
    int status = 0;
    while (xml.readNextStartElement()) {
        if (Is(xml, kNsDav, u"status")) {
            status = StatusCode(xml.readElementText());
        } else if (Is(xml, kNsDav, u"prop")) {
            while (xml.readNextStartElement()) {
                const QString name = DavName(xml.namespaceUri().toString(), xml.name().toString());
                DavProperty property;
                if (!ReadProperty(xml, property, 0))
                    return false;
                properties.insert(name, property);
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (status >= 200 && status < 300)
        response.properties.insert(properties);
    return !xml.hasError();
}

bool ReadResponse(QXmlStreamReader& xml, DavResponse& response) {
    while (xml.readNextStartElement()) {
        if (Is(xml, kNsDav, u"href")) {
            response.href = xml.readElementText().trimmed();
        } else if (Is(xml, kNsDav, u"status")) {
            response.status = StatusCode(xml.readElementText());
        } else if (Is(xml, kNsDav, u"propstat")) {
            if (!ReadPropstat(xml, response))
                return false;
        } else {
            xml.skipCurrentElement();
        }
    }
    return !xml.hasError();
}

void StartRoot(QXmlStreamWriter& xml, const QString& ns, const QString& name) {
    xml.writeStartDocument();
    xml.writeNamespace(kNsDav, QStringLiteral("D"));
    xml.writeNamespace(kNsCard, QStringLiteral("C"));
    xml.writeStartElement(ns, name);
}

} // namespace

QString DavName(const QString& ns, const QString& local) {
    return u'{' + ns + u'}' + local;
}

std::optional<Multistatus> ParseMultistatus(QByteArrayView xmlBytes) {
    QXmlStreamReader xml(xmlBytes.toByteArray());
    if (!xml.readNextStartElement() || !Is(xml, kNsDav, u"multistatus"))
        return std::nullopt;
    Multistatus result;
    while (xml.readNextStartElement()) {
        if (Is(xml, kNsDav, u"response")) {
            DavResponse response;
            if (!ReadResponse(xml, response))
                return std::nullopt;
            result.responses.append(std::move(response));
        } else if (Is(xml, kNsDav, u"sync-token")) {
            result.syncToken = xml.readElementText().trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return result;
}

QByteArray PropfindBody(const QStringList& properties) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    StartRoot(xml, kNsDav, QStringLiteral("propfind"));
    xml.writeStartElement(kNsDav, QStringLiteral("prop"));
    for (const QString& property : properties) {
        const qsizetype close = property.indexOf(u'}');
        xml.writeEmptyElement(property.mid(1, close - 1), property.mid(close + 1));
    }
    xml.writeEndDocument();
    return body;
}

QByteArray SyncCollectionBody(const QString& token) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    StartRoot(xml, kNsDav, QStringLiteral("sync-collection"));
    xml.writeTextElement(kNsDav, QStringLiteral("sync-token"), token);
    xml.writeTextElement(kNsDav, QStringLiteral("sync-level"), QStringLiteral("1"));
    xml.writeStartElement(kNsDav, QStringLiteral("prop"));
    xml.writeEmptyElement(kNsDav, QStringLiteral("getetag"));
    xml.writeEndDocument();
    return body;
}

QByteArray MultigetBody(const QStringList& hrefs) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    StartRoot(xml, kNsCard, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(kNsDav, QStringLiteral("prop"));
    xml.writeEmptyElement(kNsDav, QStringLiteral("getetag"));
    xml.writeEmptyElement(kNsCard, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QString& href : hrefs)
        xml.writeTextElement(kNsDav, QStringLiteral("href"), href);
    xml.writeEndDocument();
    return body;
}

} // namespace faxapp::carddav
