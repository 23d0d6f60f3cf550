#include "platform/Automation.h"

namespace {

[[noreturn]] void Mismatch() {
    throw AutomationError(AutomationError::Kind::Transport, scode::kTypeMismatch,
                          QStringLiteral("Type mismatch."));
}

} // namespace

AutomationError::AutomationError(Kind k, qint32 code, QString message)
    : kind(k), scode(code), text(std::move(message)) {
    m_what = QStringLiteral("automation error %1: %2")
                 .arg(QString::number(static_cast<quint32>(scode), 16).toUpper(), text)
                 .toUtf8();
}

VarType AutoVariant::Type() const {
    switch (m_value.index()) {
    case 1:
        return VT_I2;
    case 2:
        return VT_I4;
    case 3:
        return VT_BSTR;
    case 4:
        return VT_DISPATCH;
    default:
        return VT_EMPTY;
    }
}

qint16 AutoVariant::ToI2() const {
    if (const auto* v = std::get_if<qint16>(&m_value))
        return *v;
    if (const auto* v = std::get_if<qint32>(&m_value)) {
        if (*v < -32768 || *v > 32767)
            Mismatch();
        return static_cast<qint16>(*v);
    }
    Mismatch();
}

qint32 AutoVariant::ToI4() const {
    if (const auto* v = std::get_if<qint32>(&m_value))
        return *v;
    if (const auto* v = std::get_if<qint16>(&m_value))
        return *v;
    Mismatch();
}

QString AutoVariant::ToBStr() const {
    if (const auto* v = std::get_if<QString>(&m_value))
        return *v;
    Mismatch();
}

DispatchPtr AutoVariant::ToDispatch() const {
    if (const auto* v = std::get_if<DispatchPtr>(&m_value))
        return *v;
    Mismatch();
}

AutoVariant AutoVariant::ConvertTo(VarType type) const {
    switch (type) {
    case VT_I2:
        return I2(ToI2());
    case VT_I4:
        return I4(ToI4());
    case VT_BSTR:
        return BStr(ToBStr());
    case VT_DISPATCH:
        return Dispatch(ToDispatch());
    default:
        return *this;
    }
}

bool DispatchDriver::CreateDispatch(AutomationClient& client, const QString& progId,
                                    CreateFailure* failure) {
    CreateFailure local;
    m_object = client.CreateInstance(progId, local);
    if (!m_object && failure)
        *failure = local;
    return m_object != nullptr;
}

AutoVariant DispatchDriver::InvokeHelper(int dispid, InvokeKind kind, VarType resultType,
                                         const QList<AutoVariant>& args) {
    if (!m_object)
        throw AutomationError(AutomationError::Kind::Transport, scode::kInvalidPointer,
                              QStringLiteral("Invalid pointer."));
    const AutoVariant result = m_object->Invoke(dispid, kind, args);
    if (resultType == VT_EMPTY)
        return {};
    return result.ConvertTo(resultType);
}
