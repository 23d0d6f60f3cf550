#include "DBusTestBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>

namespace dbustest {

bool SetActivationEnvironment(const QMap<QString, QString>& variables) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    QDBusArgument map;
    map.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    for (auto it = variables.cbegin(); it != variables.cend(); ++it) {
        map.beginMapEntry();
        map << it.key() << it.value();
        map.endMapEntry();
    }
    map.endMap();
    call << QVariant::fromValue(map);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

qint64 ServicePid(const QString& name) {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return 0;
    const QDBusReply<uint> pid = bus->servicePid(name);
    return pid.isValid() ? pid.value() : 0;
}

QString UnescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (next == QLatin1Char('x') && i + 2 < value.size()) {
            out += QChar(value.mid(i + 1, 2).toUShort(nullptr, 16));
            i += 2;
        } else
            out += next;
    }
    return out;
}

QList<CallLogLine> ReadCallLog(const QString& path) {
    QList<CallLogLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QStringList rows =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& row : rows) {
        const QStringList fields = row.split(QLatin1Char('\t'));
        CallLogLine line;
        line.dispid = fields.value(0).toInt();
        line.kind = fields.value(1);
        for (qsizetype i = 2; i < fields.size(); ++i) {
            line.signature += fields.at(i).left(1);
            line.values.append(UnescapeValue(fields.at(i).mid(2)));
        }
        lines.append(line);
    }
    return lines;
}

} // namespace dbustest
