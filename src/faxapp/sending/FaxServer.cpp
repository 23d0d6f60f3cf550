#include "faxapp/sending/FaxServer.h"

namespace faxapp {

QString ServerAddress::Text() const {
    return kind + QStringLiteral("://") + host + u':' + QString::number(port);
}

std::optional<ServerAddress> ServerAddress::Parse(const QString& text) {
    ServerAddress address{kDefaultServerKind, {}, 0};
    QString rest = text;
    if (const qsizetype scheme = text.indexOf(QStringLiteral("://")); scheme >= 0) {
        address.kind = text.left(scheme);
        rest = text.mid(scheme + 3);
        if (address.kind.isEmpty())
            return std::nullopt;
    }
    const qsizetype colon = rest.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon > 0 ? rest.mid(colon + 1).toUInt(&ok) : 0;
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    address.host = rest.left(colon);
    address.port = static_cast<quint16>(port);
    return address;
}

} // namespace faxapp
