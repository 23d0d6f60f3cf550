#pragma once

// The server half of the automation layer (the client is DBusAutomation.h): serves one class
// on the session bus under its ProgID. A class is a ProgID and a factory; its objects are
// DispatchObjects whose Invoke answers by DISPID. Errors that a class throws as
// AutomationError reach the caller as org.zeb.Automation.Error with their code and text; a
// VT_DISPATCH result is published as an object of its own, released by the caller.

#include "platform/Automation.h"

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>

class QCoreApplication;

namespace dbusauto {

struct ServedClass {
    QString progId;
    std::function<DispatchPtr()> create; // a new object with its own state
};

// Lifecycle events of the served objects: "new", "release" or "free", and the object's path.
using ObjectTrace = std::function<void(const QString& event, const QString& path)>;

// Throws the error a server reports through the dispatch interface.
[[noreturn]] void ThrowError(qint32 scode, const QString& text);
[[noreturn]] void ThrowError(qint32 scode); // with the system's text for the code

// Throws "Invalid number of parameters." or "Type mismatch." unless args are of these types.
void ExpectArgs(const QList<AutoVariant>& args, std::initializer_list<VarType> types);

class ClassServer;

// One class served on a connection while this object lives.
class AutomationServer {
public:
    explicit AutomationServer(ServedClass servedClass, ObjectTrace trace = {});
    ~AutomationServer();
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    // Registers the objects, then takes the ProgID as the bus name (last, so that the bus
    // hands over the calls that started the server only once it can answer them). False with
    // the reason in error when either fails.
    bool Register(QDBusConnection connection, QString& error);

private:
    std::unique_ptr<ClassServer> m_server;
    QDBusConnection m_connection;
    bool m_registered = false;
};

// Ends app's event loop when the connection goes away, so that no server outlives its bus.
void QuitWithBus(QDBusConnection& connection, QCoreApplication& app);

// Serves the class on the session bus until the bus goes away: the main loop of an activated
// server. Exit status 0, or 1 with a line on standard error prefixed with programName.
int ServeOnSessionBus(QCoreApplication& app, const ServedClass& servedClass,
                      const char* programName, ObjectTrace trace = {});

} // namespace dbusauto
