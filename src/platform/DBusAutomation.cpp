#include "platform/DBusAutomation.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariant>
#include <atomic>
#include <utility>

namespace {

// Eight upper-case hexadecimal digits.
QString HexCode(qint32 code) {
    return QString::number(static_cast<quint32>(code), 16)
        .rightJustified(8, QLatin1Char('0'))
        .toUpper();
}

const QString kErrorPrefix = QStringLiteral("org.freedesktop.DBus.Error.");

bool IsBusError(const QString& name, const char* suffix) {
    return name == kErrorPrefix + QLatin1String(suffix);
}

// A call that got no reply in time, or whose peer vanished, as the RPC layer reports it.
bool IsUnreachable(const QString& name) {
    return IsBusError(name, "NoReply") || IsBusError(name, "Timeout") ||
           IsBusError(name, "TimedOut") || IsBusError(name, "Disconnected") ||
           IsBusError(name, "ServiceUnknown") || IsBusError(name, "NameHasNoOwner");
}

[[noreturn]] void Throw(AutomationError::Kind kind, qint32 code) {
    throw AutomationError(kind, code, AutomationStatusText(code));
}

// An object of a service on the bus. It is bound to the connection that created it (the
// service's unique name), so that a restarted service is never mistaken for the one that
// holds the object.
class DBusDispatchObject final : public DispatchObject {
public:
    DBusDispatchObject(QDBusConnection connection, QString service, QString path, int timeoutMs)
        : m_connection(std::move(connection)), m_service(std::move(service)),
          m_path(std::move(path)), m_timeoutMs(timeoutMs) {}

    ~DBusDispatchObject() override {
        // Waits for the reply so that the server has let go when the driver returns; errors
        // (the server gone) do not matter here.
        QDBusMessage release = QDBusMessage::createMethodCall(
            m_service, m_path, dbusauto::kDispatchInterface, QStringLiteral("Release"));
        release.setAutoStartService(false);
        m_connection.call(release, QDBus::Block, m_timeoutMs);
    }

    DBusDispatchObject(const DBusDispatchObject&) = delete;
    DBusDispatchObject& operator=(const DBusDispatchObject&) = delete;

    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        QVariantList values;
        values.reserve(args.size());
        for (const AutoVariant& arg : args)
            values.append(ToWire(arg));

        QDBusMessage call = QDBusMessage::createMethodCall(
            m_service, m_path, dbusauto::kDispatchInterface, QStringLiteral("Invoke"));
        call.setAutoStartService(false);
        call.setArguments(
            {QVariant(dispid), QVariant(static_cast<int>(kind)), QVariant::fromValue(values)});
        const QDBusMessage reply = m_connection.call(call, QDBus::Block, m_timeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage)
            ThrowCallError(reply);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            Throw(AutomationError::Kind::Transport, scode::kRpcUnavailable);
        return FromWire(reply.arguments().constFirst());
    }

    const QString& Service() const { return m_service; }
    const QString& Path() const { return m_path; }

private:
    // D-Bus has no null value: an empty argument must never reach the wire, where it would
    // drop the message and leave the call waiting out its timeout.
    QVariant ToWire(const AutoVariant& arg) const {
        if (const auto scalar = dbusauto::ScalarToWire(arg))
            return *scalar;
        if (arg.Type() != VT_DISPATCH)
            Throw(AutomationError::Kind::Transport, scode::kTypeMismatch);
        const DispatchPtr object = arg.ToDispatch();
        if (!object)
            return QVariant::fromValue(QDBusObjectPath(dbusauto::kNullObjectPath));
        const auto* remote = dynamic_cast<const DBusDispatchObject*>(object.get());
        if (!remote || remote->m_service != m_service)
            Throw(AutomationError::Kind::Transport, scode::kTypeMismatch);
        return QVariant::fromValue(QDBusObjectPath(remote->m_path));
    }

    AutoVariant FromWire(const QVariant& reply) const {
        // Any other value is the "no result" of a method.
        return dbusauto::FromWire(reply,
                                  [this](const QString& path) -> DispatchPtr {
                                      return std::make_shared<DBusDispatchObject>(
                                          m_connection, m_service, path, m_timeoutMs);
                                  })
            .value_or(AutoVariant());
    }

    [[noreturn]] static void ThrowCallError(const QDBusMessage& reply) {
        throw dbusauto::CallError(reply.errorName(), reply.errorMessage());
    }

    QDBusConnection m_connection;
    QString m_service;
    QString m_path;
    int m_timeoutMs;
};

void Fail(CreateFailure& failure, qint32 code) {
    failure.scode = code;
    failure.text = AutomationStatusText(code);
}

} // namespace

namespace dbusauto {

QString FormatErrorMessage(qint32 scode, const QString& text) {
    return QStringLiteral("%1: %2").arg(HexCode(scode), text);
}

bool ParseErrorMessage(const QString& message, qint32& scode, QString& text) {
    if (message.size() < 10 || message.at(8) != QLatin1Char(':') ||
        message.at(9) != QLatin1Char(' '))
        return false;
    for (QChar c : message.left(8)) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f')))
            return false;
    }
    scode = static_cast<qint32>(message.left(8).toUInt(nullptr, 16));
    text = message.mid(10);
    return true;
}

bool IsValidBusName(const QString& name) {
    if (name.isEmpty() || name.size() > 255)
        return false;
    const QStringList parts = name.split(QLatin1Char('.'));
    if (parts.size() < 2)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.at(0).isDigit())
            return false;
        for (QChar c : part) {
            const char16_t u = c.unicode();
            const bool ok = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                            (u >= u'0' && u <= u'9') || u == u'_' || u == u'-';
            if (!ok)
                return false;
        }
    }
    return true;
}

std::optional<AutoVariant> FromWire(const QVariant& wire,
                                    const std::function<DispatchPtr(const QString&)>& objectAt) {
    const QVariant value = wire.metaType() == QMetaType::fromType<QDBusVariant>()
                               ? qvariant_cast<QDBusVariant>(wire).variant()
                               : wire;
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<qint16>())
        return AutoVariant::I2(value.value<qint16>());
    if (type == QMetaType::fromType<qint32>())
        return AutoVariant::I4(value.value<qint32>());
    if (type == QMetaType::fromType<QString>())
        return AutoVariant::BStr(value.toString());
    if (type == QMetaType::fromType<QDBusObjectPath>()) {
        const QString path = value.value<QDBusObjectPath>().path();
        if (path == kNullObjectPath)
            return AutoVariant::Dispatch(nullptr);
        if (DispatchPtr object = objectAt(path))
            return AutoVariant::Dispatch(std::move(object));
    }
    return std::nullopt;
}

AutomationError CallError(const QString& errorName, const QString& errorMessage) {
    const auto transport = [](qint32 code) {
        return AutomationError(AutomationError::Kind::Transport, code, AutomationStatusText(code));
    };
    if (errorName == kErrorName) {
        qint32 code = 0;
        QString text;
        if (ParseErrorMessage(errorMessage, code, text))
            return AutomationError(AutomationError::Kind::Dispatch, code, text);
        return AutomationError(AutomationError::Kind::Dispatch, scode::kException, errorMessage);
    }
    if (IsUnreachable(errorName))
        return transport(scode::kRpcUnavailable);
    if (IsBusError(errorName, "UnknownMethod") || IsBusError(errorName, "UnknownObject") ||
        IsBusError(errorName, "UnknownInterface"))
        return transport(kMemberNotFound);
    if (IsBusError(errorName, "InvalidArgs") || IsBusError(errorName, "InvalidSignature"))
        return transport(scode::kTypeMismatch);
    return transport(kUnspecified);
}

CreateFailure CreateError(const QString& errorName, const QString& errorMessage) {
    CreateFailure failure;
    if (errorName == kErrorName) {
        if (!ParseErrorMessage(errorMessage, failure.scode, failure.text)) {
            failure.scode = scode::kException;
            failure.text = errorMessage;
        }
    } else if (IsBusError(errorName, "ServiceUnknown") || IsBusError(errorName, "NameHasNoOwner")) {
        Fail(failure, scode::kClassNotRegistered);
    } else if (IsBusError(errorName, "Disconnected")) {
        Fail(failure, scode::kRpcUnavailable);
    } else {
        // Any other error, among them no class object within the time (Spawn.*, TimedOut,
        // NoReply, Timeout): the server did not start, or not in time.
        Fail(failure, scode::kServerExecFailure);
    }
    return failure;
}

std::optional<QVariant> ScalarToWire(const AutoVariant& value) {
    switch (value.Type()) {
    case VT_I2:
        return QVariant::fromValue<qint16>(value.ToI2());
    case VT_I4:
        return QVariant::fromValue<qint32>(value.ToI4());
    case VT_BSTR:
        return QVariant(value.ToBStr());
    default:
        return std::nullopt;
    }
}

} // namespace dbusauto

QString AutomationStatusText(qint32 code) {
    switch (static_cast<quint32>(code)) {
    case 0x800401F3u:
        return QStringLiteral("Invalid class string");
    case 0x80080005u:
        return QStringLiteral("Server execution failed");
    case 0x800706BAu:
        return QStringLiteral("The RPC server is unavailable.");
    case 0x80020005u:
        return QStringLiteral("Type mismatch.");
    case 0x80020003u:
        return QStringLiteral("Member not found.");
    case 0x8002000Eu:
        return QStringLiteral("Invalid number of parameters.");
    case 0x80020009u:
        return QStringLiteral("Exception occurred.");
    case 0x80004003u:
        return QStringLiteral("Invalid pointer");
    case 0x80004005u:
        return QStringLiteral("Unspecified error");
    default:
        return QStringLiteral("Unknown error 0x%1").arg(HexCode(code));
    }
}

DBusAutomationClient::DBusAutomationClient(QDBusConnection connection)
    : m_connection(std::move(connection)) {}

DBusAutomationClient::~DBusAutomationClient() {
    if (!m_privateName.isEmpty())
        QDBusConnection::disconnectFromBus(m_privateName);
}

std::unique_ptr<AutomationClient> DBusAutomationClient::ForOtherThread(int timeoutMs) {
    if (m_connection.name() != QDBusConnection::sessionBus().name())
        return nullptr;
    static std::atomic<quint64> lastPrivate{0};
    const QString name = QStringLiteral("kalmo-automation-%1").arg(++lastPrivate);
    // Connected at its first use, on the thread that uses it: the caller does not wait for it.
    auto client = std::make_unique<DBusAutomationClient>(QDBusConnection(name));
    client->m_privateName = name;
    client->m_connectPending = true;
    client->m_timeoutMs = timeoutMs;
    return client;
}

void DBusAutomationClient::ConnectIfPending() {
    if (!std::exchange(m_connectPending, false))
        return;
    m_connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_privateName);
}

bool DBusAutomationClient::Initialise() {
    ConnectIfPending();
    return m_connection.isConnected();
}

DispatchPtr DBusAutomationClient::CreateInstance(const QString& progId, CreateFailure& failure) {
    ConnectIfPending();
    if (!dbusauto::IsValidBusName(progId)) {
        Fail(failure, scode::kClassNotRegistered);
        return nullptr;
    }
    if (!m_connection.isConnected()) {
        Fail(failure, scode::kRpcUnavailable);
        return nullptr;
    }
    // The bus starts the service when no one owns the name yet (D-Bus activation).
    const QDBusMessage call = QDBusMessage::createMethodCall(
        progId, dbusauto::kClassPath, dbusauto::kClassInterface, QStringLiteral("CreateInstance"));
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        failure = dbusauto::CreateError(reply.errorName(), reply.errorMessage());
        return nullptr;
    }
    const QVariant first = reply.arguments().value(0);
    if (reply.type() != QDBusMessage::ReplyMessage ||
        first.metaType() != QMetaType::fromType<QDBusObjectPath>() ||
        first.value<QDBusObjectPath>().path() == dbusauto::kNullObjectPath) {
        Fail(failure, scode::kServerExecFailure);
        return nullptr;
    }
    return std::make_shared<DBusDispatchObject>(m_connection, reply.service(),
                                                first.value<QDBusObjectPath>().path(), m_timeoutMs);
}
