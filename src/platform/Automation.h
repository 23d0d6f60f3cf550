#pragma once

// The automation layer: objects of other programs, created by ProgID and driven by DISPIDs.
// The D-Bus backend (DBusAutomation.h) talks to services on the session bus; tests use an
// in-process fake. Creation failures come back as a status code and text; errors during a
// call are thrown as AutomationError and caught where the program catches them.

#include <QList>
#include <QString>
#include <exception>
#include <memory>
#include <variant>

// Status codes of the automation layer (32-bit HRESULT values).
namespace scode {
inline constexpr qint32 kClassNotRegistered =
    static_cast<qint32>(0x800401F3u); // invalid class string
inline constexpr qint32 kServerExecFailure =
    static_cast<qint32>(0x80080005u);                                       // server did not start
inline constexpr qint32 kRpcUnavailable = static_cast<qint32>(0x800706BAu); // no reply in time
inline constexpr qint32 kTypeMismatch = static_cast<qint32>(0x80020005u);
inline constexpr qint32 kException = static_cast<qint32>(0x80020009u); // server reported an error
inline constexpr qint32 kInvalidPointer = static_cast<qint32>(0x80004003u);
} // namespace scode

enum VarType : int {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_VARIANT = 12, // as a result type: whatever the server sent
};

enum class InvokeKind : int { Method = 1, PropertyGet = 2 };

class DispatchObject;
// An object of the server; the server's Release is called when the last reference goes.
using DispatchPtr = std::shared_ptr<DispatchObject>;

// One argument or result. A VT_VARIANT argument travels as the value it holds (a string or an
// integer), so it is written as that value.
class AutoVariant {
public:
    AutoVariant() = default;
    static AutoVariant I2(qint16 v) { return AutoVariant(Value(v)); }
    static AutoVariant I4(qint32 v) { return AutoVariant(Value(v)); }
    static AutoVariant BStr(const QString& v) { return AutoVariant(Value(v)); }
    // A null pointer is the null dispatch.
    static AutoVariant Dispatch(DispatchPtr v) { return AutoVariant(Value(std::move(v))); }

    VarType Type() const;
    bool IsEmpty() const { return Type() == VT_EMPTY; }
    // Conversions as the automation layer makes them: integers into each other, anything
    // else of another type throws AutomationError with kTypeMismatch.
    qint16 ToI2() const;
    qint32 ToI4() const;
    QString ToBStr() const;
    DispatchPtr ToDispatch() const;
    // The value converted to type (VT_EMPTY and VT_VARIANT give it unchanged).
    AutoVariant ConvertTo(VarType type) const;

private:
    using Value = std::variant<std::monostate, qint16, qint32, QString, DispatchPtr>;
    explicit AutoVariant(Value v) : m_value(std::move(v)) {}
    Value m_value;
};

class AutomationError : public std::exception {
public:
    enum class Kind {
        Dispatch,  // reported by the server through the dispatch interface
        Transport, // any other failure of a call: no reply, the server gone, a type mismatch
    };
    AutomationError(Kind kind, qint32 scode, QString text);
    const char* what() const noexcept override { return m_what.constData(); }

    Kind kind;
    qint32 scode;
    QString text;

private:
    QByteArray m_what;
};

class DispatchObject {
public:
    virtual ~DispatchObject() = default;
    // Throws AutomationError.
    virtual AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) = 0;
};

struct CreateFailure {
    qint32 scode = 0;
    QString text;
};

class AutomationClient {
public:
    virtual ~AutomationClient() = default;
    // False when the layer cannot be used at all (no session bus).
    virtual bool Initialise() = 0;
    // nullptr on failure, with the status code and its text in failure.
    virtual DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) = 0;
    // A client of the same layer for use on another thread only (its own connection), created
    // on the calling thread, whose calls wait up to timeoutMs for a reply; nullptr when this
    // layer is to be used on its own thread alone.
    virtual std::unique_ptr<AutomationClient> ForOtherThread(int timeoutMs) {
        Q_UNUSED(timeoutMs);
        return nullptr;
    }
};

// Holds one object of a server, as a dispatch driver does.
class DispatchDriver {
public:
    DispatchDriver() = default;
    explicit DispatchDriver(DispatchPtr object) : m_object(std::move(object)) {}

    // Creates a new object of the class; false with failure filled when it cannot.
    bool CreateDispatch(AutomationClient& client, const QString& progId,
                        CreateFailure* failure = nullptr);
    void AttachDispatch(DispatchPtr object) { m_object = std::move(object); }
    void ReleaseDispatch() { m_object.reset(); }
    bool IsNull() const { return m_object == nullptr; }
    const DispatchPtr& Get() const { return m_object; }

    // Calls a member; the result converted to resultType (VT_EMPTY: ignored). Throws
    // AutomationError, kInvalidPointer on a null object.
    AutoVariant InvokeHelper(int dispid, InvokeKind kind, VarType resultType,
                             const QList<AutoVariant>& args = {});
    AutoVariant GetProperty(int dispid, VarType resultType) {
        return InvokeHelper(dispid, InvokeKind::PropertyGet, resultType);
    }

private:
    DispatchPtr m_object;
};
