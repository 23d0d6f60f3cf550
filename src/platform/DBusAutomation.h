#pragma once

#include <functional>
#include <optional>

// The automation layer on the session bus. A ProgID is a well-known bus name; its class object
// at "/" creates objects (org.zeb.Automation.Class.CreateInstance -> o), and every object
// answers org.zeb.Automation.Dispatch.Invoke(i dispid, i kind, av args) -> v and Release().
// docs/standin.md describes the contract in full.

#include "platform/Automation.h"

#include <QDBusConnection>
#include <QString>

namespace dbusauto {

inline const QString kClassInterface = QStringLiteral("org.zeb.Automation.Class");
inline const QString kDispatchInterface = QStringLiteral("org.zeb.Automation.Dispatch");
inline const QString kErrorName = QStringLiteral("org.zeb.Automation.Error");
inline const QString kClassPath = QStringLiteral("/");
// The null dispatch pointer travels as this path.
inline const QString kNullObjectPath = QStringLiteral("/");

inline constexpr qint32 kMemberNotFound = static_cast<qint32>(0x80020003u);
inline constexpr qint32 kBadParamCount = static_cast<qint32>(0x8002000Eu);
inline constexpr qint32 kUnspecified = static_cast<qint32>(0x80004005u);

// Calls wait this long for a reply; a few seconds, so that a hung server does not freeze the
// dialog for libdbus's 25 s default.
inline constexpr int kDefaultTimeoutMs = 5000;

// The message of an org.zeb.Automation.Error: "XXXXXXXX: text".
QString FormatErrorMessage(qint32 scode, const QString& text);
// False when the message is not of that form.
bool ParseErrorMessage(const QString& message, qint32& scode, QString& text);

// The error a call throws for an error reply: what an org.zeb.Automation.Error carries (kind
// Dispatch; kException with the whole message when it is not "XXXXXXXX: text"), else a
// transport error with the status code the bus error stands for and that code's text.
AutomationError CallError(const QString& errorName, const QString& errorMessage);
// Why CreateInstance failed, from its error reply: the code and text of an
// org.zeb.Automation.Error, else the status code the bus error stands for and its text.
CreateFailure CreateError(const QString& errorName, const QString& errorMessage);

// True when name may be a well-known bus name (so that no malformed ProgID reaches the bus).
bool IsValidBusName(const QString& name);

// The value a D-Bus argument or reply carries, a variant unwrapped: n, i and s as values, an
// object path as the null dispatch ("/") or as objectAt gives it. nullopt for any other type,
// and for a path objectAt answers with nullptr.
std::optional<AutoVariant> FromWire(const QVariant& wire,
                                    const std::function<DispatchPtr(const QString&)>& objectAt);
// n, i or s for an integer or a string; nullopt for any other value.
std::optional<QVariant> ScalarToWire(const AutoVariant& value);

} // namespace dbusauto

// The system's short text for a status code of the automation layer ("Invalid class string",
// ...); a generic text with the code for codes it does not know.
QString AutomationStatusText(qint32 scode);

class DBusAutomationClient final : public AutomationClient {
public:
    explicit DBusAutomationClient(QDBusConnection connection = QDBusConnection::sessionBus());
    ~DBusAutomationClient() override;
    DBusAutomationClient(const DBusAutomationClient&) = delete;
    DBusAutomationClient& operator=(const DBusAutomationClient&) = delete;

    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int Timeout() const { return m_timeoutMs; }

    bool Initialise() override;
    DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) override;
    // A private connection to the session bus, made at its first use, when this client uses
    // the session bus (its objects must be let go before it); else nullptr.
    std::unique_ptr<AutomationClient> ForOtherThread(int timeoutMs) override;

private:
    QDBusConnection m_connection;
    void ConnectIfPending();

    QString m_privateName; // of the private connection this client opened, disconnected with it
    bool m_connectPending = false;
    int m_timeoutMs = dbusauto::kDefaultTimeoutMs;
};
