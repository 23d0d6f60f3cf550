// kalmoreg: reads and writes the settings store, for the fax application's side,
// administrators and tests.

#include "platform/RegistryStore.h"
#include "platform/secrets/SecretInput.h"

#include <cstdio>
#include <optional>

namespace {

constexpr int kOk = 0;
constexpr int kMissing = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: kalmoreg [--machine] get KEY NAME | set KEY NAME TEXT | set --stdin KEY NAME | "
    "set-int KEY NAME N | delete KEY NAME | delete-key KEY | list KEY | export [KEY]";
const char* const kStdinText =
    "set --stdin reads the text from standard input (asked for without echo on a terminal): "
    "the way to set a secret, which a command line shows to every user";

void Print(std::FILE* out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
}

int Usage(const QString& message) {
    Print(stderr, QStringLiteral("kalmoreg: ") + message + u'\n');
    return kUsage;
}

// Quotes a name or text for listings: backslash, double quote and control characters escaped.
QString Quote(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out + u'"';
}

QString FormatValue(const QString& name, const RegValue& value) {
    const QString left = name.isEmpty() ? QStringLiteral("@") : Quote(name);
    if (value.type == RegValue::Type::Integer)
        return left + QStringLiteral("=integer:") + QString::number(value.integer) + u'\n';
    return left + u'=' + Quote(value.text) + u'\n';
}

void ExportKey(RegistryStore& store, const QString& key, QString& out) {
    out += u'[' + key + QStringLiteral("]\n");
    for (const auto& [name, value] : store.Values(key))
        out += FormatValue(name, value);
    out += u'\n';
    for (const QString& sub : store.SubKeys(key))
        ExportKey(store, key.isEmpty() ? sub : key + u'\\' + sub, out);
}

std::optional<qint64> ParseInteger(const QString& text) {
    bool ok = false;
    const qint64 v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                         ? text.mid(2).toLongLong(&ok, 16)
                         : text.toLongLong(&ok, 10);
    if (!ok || v < -2147483648LL || v > 4294967295LL)
        return std::nullopt;
    return v;
}

int Run(QStringList args) {
    bool machine = false;
    if (!args.isEmpty() && args.first() == u"--machine") {
        machine = true;
        args.removeFirst();
    }
    if (args.isEmpty())
        return Usage(QString::fromLatin1(kUsageText));
    const QString command = args.takeFirst();
    if (command == u"--help" || command == u"-h") {
        Print(stdout,
              QString::fromLatin1(kUsageText) + u'\n' + QString::fromLatin1(kStdinText) + u'\n');
        return kOk;
    }

    // set --stdin KEY NAME: the text comes from standard input.
    const bool fromStdin = command == u"set" && !args.isEmpty() && args.first() == u"--stdin";
    if (fromStdin)
        args.removeFirst();

    struct Shape {
        const char* name;
        qsizetype minArgs;
        qsizetype maxArgs;
        bool writes;
    };
    static const Shape shapes[] = {{"get", 2, 2, false},       {"set", 3, 3, true},
                                   {"set-int", 3, 3, true},    {"delete", 2, 2, true},
                                   {"delete-key", 1, 1, true}, {"list", 1, 1, false},
                                   {"export", 0, 1, false}};
    const Shape* shape = nullptr;
    for (const Shape& s : shapes) {
        if (command == QLatin1String(s.name))
            shape = &s;
    }
    if (!shape)
        return Usage(QStringLiteral("unknown command '%1'").arg(command));
    const qsizetype arguments = args.size() + (fromStdin ? 1 : 0);
    if (arguments < shape->minArgs || arguments > shape->maxArgs)
        return Usage(QStringLiteral("%1 takes %2 argument(s); see kalmoreg --help")
                         .arg(command)
                         .arg(shape->maxArgs));
    if (fromStdin) {
        const auto input = ReadSecretInput(QStringLiteral("%1: ").arg(args.at(1)));
        if (!input)
            return Usage(QStringLiteral("cannot read the text from standard input"));
        args.append(*input);
    }

    const QString file = machine ? Registry::DefaultMachineFile() : Registry::DefaultUserFile();
    if (!machine && shape->writes)
        Registry::CreateUserFile(file);
    if (machine && shape->writes)
        Registry::CreateMachineFile(file);
    // The machine root is read by many and written rarely: it keeps a rollback journal, which
    // readers without write access to its folder can read.
    RegistryStore store(
        file, shape->writes ? RegistryStore::Access::ReadWrite : RegistryStore::Access::ReadOnly,
        machine ? RegistryStore::Journal::Rollback : RegistryStore::Journal::Wal);
    if (shape->writes && !store.IsWritable()) {
        Print(stderr, QStringLiteral("kalmoreg: cannot open %1 for writing\n").arg(file));
        return kUsage;
    }

    const QString key = args.value(0);
    if (command == u"get") {
        const auto value = store.QueryValue(key, args.at(1));
        if (!value)
            return kMissing;
        Print(stdout, value->ToText() + u'\n');
        return kOk;
    }
    if (command == u"set" || command == u"set-int") {
        RegValue value = RegValue::FromText(args.at(2));
        if (command == u"set-int") {
            const auto n = ParseInteger(args.at(2));
            if (!n)
                return Usage(QStringLiteral("not a 32-bit integer: '%1'").arg(args.at(2)));
            value = RegValue::FromInteger(*n);
        }
        const bool ok = store.Transaction(
            [&] { return store.CreateKey(key) && store.SetValue(key, args.at(1), value); });
        if (!ok)
            return Usage(QStringLiteral("cannot write %1").arg(file));
        return kOk;
    }
    if (command == u"delete")
        return store.DeleteValue(key, args.at(1)) ? kOk : kMissing;
    if (command == u"delete-key")
        return store.DeleteKey(key) ? kOk : kMissing;

    if (!store.KeyExists(key))
        return kMissing;
    QString out;
    if (command == u"list") {
        for (const QString& sub : store.SubKeys(key))
            out += sub + QStringLiteral("\\\n");
        for (const auto& [name, value] : store.Values(key))
            out += FormatValue(name, value);
    } else {
        ExportKey(store, RegistryStore::NormaliseKey(key), out);
    }
    Print(stdout, out);
    return kOk;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return Run(args);
}
