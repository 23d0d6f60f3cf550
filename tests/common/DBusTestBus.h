#pragma once

// Helpers for tests that run on the private session bus of kalmo_add_dbus_test.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace dbustest {

// Sets variables for the servers the bus starts from now on
// (org.freedesktop.DBus.UpdateActivationEnvironment). Call it before the first activation:
// a running server keeps the environment it was started with.
bool SetActivationEnvironment(const QMap<QString, QString>& variables);

// Process id of the owner of a bus name; 0 when it has none.
qint64 ServicePid(const QString& name);

// One line of a stand-in call log (the journal file): "<dispid> TAB <kind> {TAB <t>:<value>}".
struct CallLogLine {
    int dispid = 0;
    QString kind;       // "method" or "get"
    QString signature;  // the arguments' D-Bus types, e.g. "sssnssn"
    QStringList values; // unescaped
};
QList<CallLogLine> ReadCallLog(const QString& path);
// Undoes the escapes of a value (\\, \t, \n, \r, \xHH).
QString UnescapeValue(const QString& value);

} // namespace dbustest
