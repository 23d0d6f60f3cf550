#include "AddressData.h"

#include "Server.h"

#include "platform/DBusAutomation.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

namespace standin {

QJsonObject LoadAddressData(const char* variable) {
    const QString path = qEnvironmentVariable(variable);
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ThrowError(scode::kException, QStringLiteral("cannot read %1").arg(path));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject())
        ThrowError(scode::kException,
                   QStringLiteral("%1: not a JSON object (%2)").arg(path, error.errorString()));
    return document.object();
}

void FailIfScripted(const QJsonObject& node, const QString& role, int dispid) {
    const QJsonObject fail = node.value(QLatin1String("fail")).toObject();
    for (auto it = fail.constBegin(); it != fail.constEnd(); ++it) {
        const QString key = it.key();
        const qsizetype dot = key.lastIndexOf(QLatin1Char('.'));
        const QString keyRole = dot < 0 ? QString() : key.left(dot);
        bool ok = false;
        const int keyDispid = key.mid(dot + 1).trimmed().toInt(&ok, 0);
        if (ok && keyDispid == dispid && keyRole == role)
            ThrowScripted(it.value().toString());
    }
}

void ThrowScripted(const QString& error) {
    const qsizetype colon = error.indexOf(QLatin1Char(':'));
    bool ok = false;
    const quint32 code = error.left(colon).trimmed().toUInt(&ok, 16);
    if (colon < 0 || !ok)
        ThrowError(scode::kException, error);
    ThrowError(static_cast<qint32>(code), error.mid(colon + 1).trimmed());
}

void LogCall(const char* variable, const QString& object, int dispid, InvokeKind kind,
             const QList<AutoVariant>& args) {
    LogEvent(variable, object, CallLine(dispid, kind, args));
}

void LogEvent(const char* variable, const QString& object, const QString& event) {
    const QString path = qEnvironmentVariable(variable);
    if (!path.isEmpty())
        AppendToFile(path, EscapeValue(object) + QLatin1Char('\t') + event + QLatin1Char('\n'));
}

void DataObject::Expect(InvokeKind kind, InvokeKind expected) {
    if (kind != expected)
        ThrowError(dbusauto::kMemberNotFound);
}

} // namespace standin
