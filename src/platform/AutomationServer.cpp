#include "platform/AutomationServer.h"

#include "platform/DBusAutomation.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QHash>
#include <QTimer>
#include <cstdio>

namespace dbusauto {

namespace {

const QString kLocalPath = QStringLiteral("/org/freedesktop/DBus/Local");
const QString kLocalInterface = QStringLiteral("org.freedesktop.DBus.Local");

// The objects handed out, by path. Each hand-out is one reference that the caller gives back
// by Release, as with COM; an object handed out twice is released twice.
class ObjectTable {
public:
    explicit ObjectTable(ObjectTrace trace) : m_trace(std::move(trace)) {}

    QString Publish(const DispatchPtr& object) {
        if (!object)
            return kNullObjectPath;
        auto known = m_paths.constFind(object.get());
        if (known != m_paths.constEnd()) {
            ++m_entries[*known].references;
            return *known;
        }
        const QString path = QStringLiteral("/obj/%1").arg(++m_lastId);
        m_entries.insert(path, Entry{object, 1});
        m_paths.insert(object.get(), path);
        Trace(QStringLiteral("new"), path);
        return path;
    }

    DispatchPtr Find(const QString& path) const { return m_entries.value(path).object; }

    bool Release(const QString& path) {
        auto it = m_entries.find(path);
        if (it == m_entries.end())
            return false;
        Trace(QStringLiteral("release"), path);
        if (--it->references == 0) {
            m_paths.remove(it->object.get());
            const DispatchPtr object = it->object; // freed after the table is consistent
            m_entries.erase(it);
            Trace(QStringLiteral("free"), path);
        }
        return true;
    }

private:
    struct Entry {
        DispatchPtr object;
        int references = 0;
    };
    QHash<QString, Entry> m_entries;
    QHash<const DispatchObject*, QString> m_paths;
    quint64 m_lastId = 0;
    ObjectTrace m_trace;

    void Trace(const QString& event, const QString& path) const {
        if (m_trace)
            m_trace(event, path);
    }
};

class InvalidArgs {};

} // namespace

class ClassServer final : public QDBusVirtualObject {
public:
    ClassServer(ServedClass servedClass, ObjectTrace trace)
        : m_class(std::move(servedClass)), m_objects(std::move(trace)) {}

    const QString& ProgId() const { return m_class.progId; }

    QString introspect(const QString& path) const override {
        if (path == kClassPath)
            return QStringLiteral(
                "<interface name=\"org.zeb.Automation.Class\">"
                "<method name=\"CreateInstance\"><arg type=\"o\" direction=\"out\"/></method>"
                "</interface>");
        return QStringLiteral(
            "<interface name=\"org.zeb.Automation.Dispatch\">"
            "<method name=\"Invoke\"><arg name=\"dispid\" type=\"i\" direction=\"in\"/>"
            "<arg name=\"kind\" type=\"i\" direction=\"in\"/>"
            "<arg name=\"args\" type=\"av\" direction=\"in\"/>"
            "<arg type=\"v\" direction=\"out\"/></method>"
            "<method name=\"Release\"/></interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply = Answer(message);
        if (message.isReplyRequired())
            connection.send(reply);
        return true;
    }

private:
    QDBusMessage Answer(const QDBusMessage& message) {
        const QString path = message.path();
        const QString iface = message.interface();
        const QString member = message.member();
        if (path == kClassPath) {
            if (member == u"CreateInstance" && (iface.isEmpty() || iface == kClassInterface)) {
                DispatchPtr object;
                try {
                    object = m_class.create();
                } catch (const AutomationError& error) {
                    return ErrorReply(message, error);
                }
                return message.createReply(
                    QVariant::fromValue(QDBusObjectPath(m_objects.Publish(object))));
            }
            return UnknownMethod(message);
        }
        const DispatchPtr object = m_objects.Find(path);
        if (!object)
            return message.createErrorReply(QDBusError::UnknownObject,
                                            QStringLiteral("No object at %1").arg(path));
        if (!iface.isEmpty() && iface != kDispatchInterface)
            return UnknownMethod(message);
        if (member == u"Release") {
            m_objects.Release(path);
            return message.createReply();
        }
        if (member != u"Invoke")
            return UnknownMethod(message);
        if (message.signature() != u"iiav")
            return message.createErrorReply(QDBusError::InvalidArgs,
                                            QStringLiteral("Invoke takes (i dispid, i kind, av)"));
        const QVariantList in = message.arguments();
        QList<AutoVariant> args;
        try {
            args = ReadArgs(in.at(2));
        } catch (const InvalidArgs&) {
            return message.createErrorReply(QDBusError::InvalidArgs,
                                            QStringLiteral("Argument of a type not supported"));
        }
        try {
            const int kind = in.at(1).toInt();
            const AutoVariant result = object->Invoke(
                in.at(0).toInt(),
                kind == static_cast<int>(InvokeKind::PropertyGet) ? InvokeKind::PropertyGet
                                                                  : InvokeKind::Method,
                args);
            return message.createReply(QVariant::fromValue(QDBusVariant(ToWire(result))));
        } catch (const AutomationError& error) {
            return ErrorReply(message, error);
        } catch (const std::exception& error) {
            return message.createErrorReply(
                kErrorName, FormatErrorMessage(kUnspecified, QString::fromLocal8Bit(error.what())));
        }
    }

    static QDBusMessage UnknownMethod(const QDBusMessage& message) {
        return message.createErrorReply(
            QDBusError::UnknownMethod,
            QStringLiteral("No method %1.%2").arg(message.interface(), message.member()));
    }

    static QDBusMessage ErrorReply(const QDBusMessage& message, const AutomationError& error) {
        return message.createErrorReply(kErrorName, FormatErrorMessage(error.scode, error.text));
    }

    QList<AutoVariant> ReadArgs(const QVariant& wire) const {
        QVariantList values;
        if (wire.metaType() == QMetaType::fromType<QDBusArgument>()) {
            const QDBusArgument array = qvariant_cast<QDBusArgument>(wire);
            array.beginArray();
            while (!array.atEnd()) {
                QDBusVariant value;
                array >> value;
                values.append(value.variant());
            }
            array.endArray();
        } else {
            values = wire.toList();
        }
        QList<AutoVariant> args;
        for (const QVariant& value : values)
            args.append(FromWire(value));
        return args;
    }

    AutoVariant FromWire(const QVariant& wire) const {
        const auto value =
            dbusauto::FromWire(wire, [this](const QString& path) { return m_objects.Find(path); });
        if (!value)
            throw InvalidArgs();
        return *value;
    }

    QVariant ToWire(const AutoVariant& value) {
        if (const auto scalar = ScalarToWire(value))
            return *scalar;
        if (value.Type() == VT_DISPATCH)
            return QVariant::fromValue(QDBusObjectPath(m_objects.Publish(value.ToDispatch())));
        // No result: D-Bus has no null, and the caller ignores what comes.
        return QVariant(false);
    }

    ServedClass m_class;
    ObjectTable m_objects;
};

void ThrowError(qint32 scode, const QString& text) {
    throw AutomationError(AutomationError::Kind::Dispatch, scode, text);
}

void ThrowError(qint32 scode) {
    ThrowError(scode, AutomationStatusText(scode));
}

void ExpectArgs(const QList<AutoVariant>& args, std::initializer_list<VarType> types) {
    if (args.size() != static_cast<qsizetype>(types.size()))
        ThrowError(kBadParamCount);
    qsizetype i = 0;
    for (VarType type : types) {
        if (args.at(i++).Type() != type)
            ThrowError(scode::kTypeMismatch);
    }
}

AutomationServer::AutomationServer(ServedClass servedClass, ObjectTrace trace)
    : m_server(std::make_unique<ClassServer>(std::move(servedClass), std::move(trace))),
      m_connection(QString()) {}

AutomationServer::~AutomationServer() {
    if (m_registered)
        m_connection.unregisterObject(kClassPath, QDBusConnection::UnregisterTree);
}

bool AutomationServer::Register(QDBusConnection connection, QString& error) {
    const QString progId = m_server->ProgId();
    if (!connection.registerVirtualObject(kClassPath, m_server.get(), QDBusConnection::SubPath)) {
        error = QStringLiteral("cannot register the objects of %1").arg(progId);
        return false;
    }
    m_connection = connection;
    m_registered = true;
    if (!connection.registerService(progId)) {
        error = QStringLiteral("the name %1 is taken").arg(progId);
        return false;
    }
    return true;
}

void QuitWithBus(QDBusConnection& connection, QCoreApplication& app) {
    connection.connect(QString(), kLocalPath, kLocalInterface, QStringLiteral("Disconnected"), &app,
                       SLOT(quit()));
    // The signal is the normal way; the poll catches a disconnection that came before the
    // connection was watched.
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [connection] {
        if (!connection.isConnected())
            QCoreApplication::quit();
    });
    poll->start(500);
}

int ServeOnSessionBus(QCoreApplication& app, const ServedClass& servedClass,
                      const char* programName, ObjectTrace trace) {
    QDBusConnection connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) {
        std::fprintf(stderr, "%s: no session bus\n", programName);
        return 1;
    }
    QuitWithBus(connection, app);
    AutomationServer server(servedClass, std::move(trace));
    QString error;
    if (!server.Register(connection, error)) {
        std::fprintf(stderr, "%s: %s\n", programName, qPrintable(error));
        return 1;
    }
    return app.exec();
}

} // namespace dbusauto
