#include "platform/Presence.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

QString Presence::BusName(const QString& windowClass) {
    QString name = QStringLiteral("WindowClass.");
    for (const QChar c : windowClass) {
        const bool plain = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                           (c >= u'0' && c <= u'9') || c == u'_';
        name += plain ? c : QChar(u'_');
    }
    return name;
}

bool DBusPresence::IsRunning(const QString& windowClass) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(BusName(windowClass));
    return reply.isValid() && reply.value();
}
