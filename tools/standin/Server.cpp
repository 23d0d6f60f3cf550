#include "Server.h"

#include "Roles.h"
#include "platform/DBusAutomation.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QHash>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace standin {

namespace {

const QString kLocalPath = QStringLiteral("/org/freedesktop/DBus/Local");
const QString kLocalInterface = QStringLiteral("org.freedesktop.DBus.Local");

// Lifecycle events of the objects ("new", "release", "free" and the path), one a line, for
// tests that check that every object handed out is released.
void Trace(const QString& event, const QString& path) {
    const QString file = qEnvironmentVariable("KALMO_STANDIN_TRACE");
    if (!file.isEmpty())
        AppendToFile(file, event + QLatin1Char(' ') + path + QLatin1Char('\n'));
}

// The objects handed out, by path. Each hand-out is one reference that the caller gives back
// by Release, as with COM; an object handed out twice is released twice.
class ObjectTable {
public:
    QString Publish(const DispatchPtr& object) {
        if (!object)
            return dbusauto::kNullObjectPath;
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
};

class InvalidArgs {};

class ClassServer final : public QDBusVirtualObject {
public:
    explicit ClassServer(ServedClass servedClass) : m_class(std::move(servedClass)) {}

    QString introspect(const QString& path) const override {
        if (path == dbusauto::kClassPath)
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
        if (path == dbusauto::kClassPath) {
            if (member == u"CreateInstance" &&
                (iface.isEmpty() || iface == dbusauto::kClassInterface)) {
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
        if (!iface.isEmpty() && iface != dbusauto::kDispatchInterface)
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
                dbusauto::kErrorName,
                dbusauto::FormatErrorMessage(dbusauto::kUnspecified,
                                             QString::fromLocal8Bit(error.what())));
        }
    }

    static QDBusMessage UnknownMethod(const QDBusMessage& message) {
        return message.createErrorReply(
            QDBusError::UnknownMethod,
            QStringLiteral("No method %1.%2").arg(message.interface(), message.member()));
    }

    static QDBusMessage ErrorReply(const QDBusMessage& message, const AutomationError& error) {
        return message.createErrorReply(dbusauto::kErrorName,
                                        dbusauto::FormatErrorMessage(error.scode, error.text));
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
        if (const auto scalar = dbusauto::ScalarToWire(value))
            return *scalar;
        if (value.Type() == VT_DISPATCH)
            return QVariant::fromValue(QDBusObjectPath(m_objects.Publish(value.ToDispatch())));
        // No result: D-Bus has no null, and the caller ignores what comes.
        return QVariant(false);
    }

    ServedClass m_class;
    ObjectTable m_objects;
};

// Ends the event loop when the bus goes away, so that no server outlives its test bus.
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

} // namespace

void ThrowError(qint32 scode, const QString& text) {
    throw AutomationError(AutomationError::Kind::Dispatch, scode, text);
}

void ThrowError(qint32 scode) {
    ThrowError(scode, AutomationStatusText(scode));
}

void ExpectArgs(const QList<AutoVariant>& args, std::initializer_list<VarType> types) {
    if (args.size() != static_cast<qsizetype>(types.size()))
        ThrowError(dbusauto::kBadParamCount);
    qsizetype i = 0;
    for (VarType type : types) {
        if (args.at(i++).Type() != type)
            ThrowError(scode::kTypeMismatch);
    }
}

QString EscapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

QString CallLine(int dispid, InvokeKind kind, const QList<AutoVariant>& args) {
    QString line =
        QString::number(dispid) + QLatin1Char('\t') +
        (kind == InvokeKind::PropertyGet ? QStringLiteral("get") : QStringLiteral("method"));
    for (const AutoVariant& arg : args) {
        line += QLatin1Char('\t');
        switch (arg.Type()) {
        case VT_I2:
            line += QStringLiteral("n:") + QString::number(arg.ToI2());
            break;
        case VT_I4:
            line += QStringLiteral("i:") + QString::number(arg.ToI4());
            break;
        case VT_BSTR:
            line += QStringLiteral("s:") + EscapeValue(arg.ToBStr());
            break;
        case VT_DISPATCH:
            line += arg.ToDispatch() ? QStringLiteral("o:object") : QStringLiteral("o:/");
            break;
        default:
            line += QStringLiteral("?:");
        }
    }
    return line;
}

bool AppendToFile(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

int Serve(int argc, char* argv[], const QString& progId) {
    QCoreApplication app(argc, argv);
    QDBusConnection connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) {
        std::fprintf(stderr, "kalmo-standin: no session bus\n");
        return 1;
    }
    QuitWithBus(connection, app);

    // A server that starts but never takes its name, for tests of an activation that times
    // out.
    if (qEnvironmentVariableIntValue("KALMO_STANDIN_STALL") == 1)
        return app.exec();

    const QList<ServedClass> classes = ServedClasses();
    auto found = std::find_if(classes.begin(), classes.end(),
                              [&](const ServedClass& c) { return c.progId == progId; });
    if (found == classes.end()) {
        std::fprintf(stderr, "kalmo-standin: no class %s\n", qPrintable(progId));
        return 1;
    }
    ClassServer server(*found);
    if (!connection.registerVirtualObject(dbusauto::kClassPath, &server,
                                          QDBusConnection::SubPath)) {
        std::fprintf(stderr, "kalmo-standin: cannot register the objects of %s\n",
                     qPrintable(progId));
        return 1;
    }
    // The name last: the bus hands over the calls that started us once it is taken.
    if (!connection.registerService(progId)) {
        std::fprintf(stderr, "kalmo-standin: the name %s is taken\n", qPrintable(progId));
        return 1;
    }
    const int status = app.exec();
    connection.unregisterObject(dbusauto::kClassPath, QDBusConnection::UnregisterTree);
    return status;
}

} // namespace standin
