// What the automation layer makes of the bus's answers. The input's first byte chooses the
// kind of answer, the fields after it its content:
//   0  an error reply of a call: error name, error message
//   1  an error reply of CreateInstance: error name, error message
//   2  a status code and a text, written as an error message and read back
//   3  a reply value: a type byte and the value
//   4  a name that may be a bus name
// Error replies map onto the status codes the program knows; a message that is read is
// written back the same; every reply value comes back as the value it carries.

#include "FuzzInput.h"
#include "platform/DBusAutomation.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariant>

namespace {

class NoObject final : public DispatchObject {
public:
    AutoVariant Invoke(int, InvokeKind, const QList<AutoVariant>&) override { return {}; }
};

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

const QString kBusError = QStringLiteral("org.freedesktop.DBus.Error.");

// The bus errors that stand for "no reply": the call's peer is gone or too slow.
bool IsUnreachable(const QString& name) {
    for (const char* suffix :
         {"NoReply", "Timeout", "TimedOut", "Disconnected", "ServiceUnknown", "NameHasNoOwner"})
        if (name == kBusError + QLatin1String(suffix))
            return true;
    return false;
}

void CheckMessage(const QString& message) {
    qint32 code = 0;
    QString text;
    if (!dbusauto::ParseErrorMessage(message, code, text))
        return;
    const QString written = dbusauto::FormatErrorMessage(code, text);
    FUZZ_CHECK(written.compare(message, Qt::CaseInsensitive) == 0);
    FUZZ_CHECK(written.mid(8) == message.mid(8));
}

void CheckCallError(const QString& name, const QString& message) {
    const AutomationError error = dbusauto::CallError(name, message);
    if (name == dbusauto::kErrorName) {
        FUZZ_CHECK(error.kind == AutomationError::Kind::Dispatch);
        qint32 code = 0;
        QString text;
        if (dbusauto::ParseErrorMessage(message, code, text))
            FUZZ_CHECK(error.scode == code && error.text == text);
        else
            FUZZ_CHECK(error.scode == scode::kException && error.text == message);
        return;
    }
    FUZZ_CHECK(error.kind == AutomationError::Kind::Transport);
    FUZZ_CHECK(error.text == AutomationStatusText(error.scode));
    FUZZ_CHECK(error.scode == scode::kRpcUnavailable || error.scode == dbusauto::kMemberNotFound ||
               error.scode == scode::kTypeMismatch || error.scode == dbusauto::kUnspecified);
    FUZZ_CHECK((error.scode == scode::kRpcUnavailable) == IsUnreachable(name));
    // Only the bus's own errors have a meaning of their own.
    if (!name.startsWith(kBusError))
        FUZZ_CHECK(error.scode == dbusauto::kUnspecified);
}

void CheckCreateError(const QString& name, const QString& message) {
    const CreateFailure failure = dbusauto::CreateError(name, message);
    if (name == dbusauto::kErrorName) {
        const AutomationError error = dbusauto::CallError(name, message);
        FUZZ_CHECK(failure.scode == error.scode && failure.text == error.text);
        return;
    }
    FUZZ_CHECK(failure.text == AutomationStatusText(failure.scode));
    FUZZ_CHECK(failure.scode == scode::kClassNotRegistered ||
               failure.scode == scode::kServerExecFailure ||
               failure.scode == scode::kRpcUnavailable);
    if (!name.startsWith(kBusError))
        FUZZ_CHECK(failure.scode == scode::kServerExecFailure);
}

void CheckReplyValue(FuzzInput& input) {
    const std::uint8_t type = input.Byte();
    QVariant wire;
    std::optional<AutoVariant> expected;
    QString path;
    switch (type % 8) {
    case 0: {
        const auto v = static_cast<qint16>(input.Byte() | input.Byte() << 8);
        wire = QVariant::fromValue<qint16>(v);
        expected = AutoVariant::I2(v);
        break;
    }
    case 1: {
        const qint32 v = input.Int32();
        wire = QVariant::fromValue<qint32>(v);
        expected = AutoVariant::I4(v);
        break;
    }
    case 2: {
        const QString v = input.Text();
        wire = QVariant(v);
        expected = AutoVariant::BStr(v);
        break;
    }
    case 3:
        path = input.Text();
        wire = QVariant::fromValue(QDBusObjectPath(path));
        break;
    case 4:
        wire = QVariant(static_cast<double>(input.Int32()));
        break;
    case 5:
        wire = QVariant(input.Field());
        break;
    case 6:
        wire = QVariant(static_cast<qint64>(input.Int32()));
        break;
    default:
        wire = QVariant((input.Byte() & 1) != 0);
        break;
    }
    if ((type & 8) != 0)
        wire = QVariant::fromValue(QDBusVariant(wire));

    // An object is asked for every path but the null one; a path the caller cannot make an
    // object of (bit 4) is no value.
    QStringList asked;
    const DispatchPtr object = (type & 16) == 0 ? std::make_shared<NoObject>() : nullptr;
    const std::optional<AutoVariant> value =
        dbusauto::FromWire(wire, [&](const QString& at) -> DispatchPtr {
            asked.append(at);
            return object;
        });
    if (type % 8 == 3) {
        const QString sent = QDBusObjectPath(path).path();
        FUZZ_CHECK(asked.size() == (sent == dbusauto::kNullObjectPath ? 0 : 1));
        if (sent == dbusauto::kNullObjectPath) {
            FUZZ_CHECK(value && value->Type() == VT_DISPATCH && !value->ToDispatch());
        } else {
            FUZZ_CHECK(asked.constFirst() == sent);
            FUZZ_CHECK(object ? value && value->ToDispatch() == object : !value);
        }
        return;
    }
    FUZZ_CHECK(asked.isEmpty());
    FUZZ_CHECK(value.has_value() == expected.has_value());
    if (!value)
        return;
    FUZZ_CHECK(value->Type() == expected->Type());
    const std::optional<QVariant> back = dbusauto::ScalarToWire(*value);
    FUZZ_CHECK(back.has_value());
    const QVariant sent = (type & 8) != 0 ? qvariant_cast<QDBusVariant>(wire).variant() : wire;
    FUZZ_CHECK(back->metaType() == sent.metaType() && *back == sent);
}

void CheckBusName(const QString& name) {
    if (!dbusauto::IsValidBusName(name))
        return;
    FUZZ_CHECK(name.size() <= 255 && name.contains(u'.'));
    FUZZ_CHECK(!name.startsWith(u'.') && !name.endsWith(u'.') &&
               !name.contains(QLatin1String("..")));
    for (QChar c : name)
        FUZZ_CHECK(c.unicode() < 0x80 && c != u':' && !c.isSpace() && c != u'/');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // Invalid object paths are warned about; the warnings would drown the fuzzer's output.
    static const auto previous = qInstallMessageHandler(Quiet);
    (void)previous;
    FuzzInput input(data, size);
    switch (input.Byte() % 5) {
    case 0: {
        const QString name = input.Text();
        const QString message = input.Text();
        CheckCallError(name, message);
        CheckMessage(message);
        break;
    }
    case 1: {
        const QString name = input.Text();
        CheckCreateError(name, input.Text());
        break;
    }
    case 2: {
        const qint32 code = input.Int32();
        const QString text = input.Text();
        qint32 readCode = 0;
        QString readText;
        FUZZ_CHECK(dbusauto::ParseErrorMessage(dbusauto::FormatErrorMessage(code, text), readCode,
                                               readText));
        FUZZ_CHECK(readCode == code && readText == text);
        CheckMessage(text);
        break;
    }
    case 3:
        CheckReplyValue(input);
        break;
    default:
        CheckBusName(input.Text());
        break;
    }
    return 0;
}
