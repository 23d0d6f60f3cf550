#pragma once

// What the stand-in's outside address sources (Outlook.Application, MAPI.Session) share: a
// JSON data file named by an environment variable, failures scripted per member, and a call
// log (docs/standin.md).

#include "platform/Automation.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace standin {

// The data file named by the variable; throws an automation error when it is set but cannot
// be read. An unset variable gives an empty object.
QJsonObject LoadAddressData(const char* variable);

// Throws the error scripted for a member: node's "fail" maps "[role.]dispid" (the DISPID in
// decimal or 0x-hexadecimal) to "XXXXXXXX: text". role is empty for the node's own object.
void FailIfScripted(const QJsonObject& node, const QString& role, int dispid);

// Throws an error written "XXXXXXXX: text" (without a code: 0x80020009 and the whole text).
[[noreturn]] void ThrowScripted(const QString& error);

// Appends "<object> TAB <call line>" to the log file named by the variable, when it is set.
void LogCall(const char* variable, const QString& object, int dispid, InvokeKind kind,
             const QList<AutoVariant>& args);
// Appends "<object> TAB <event>" to the log file named by the variable, when it is set.
void LogEvent(const char* variable, const QString& object, const QString& event);

// An object of a data file's node: logs each call to the log named by logVariable under the
// name it goes by there, then lets the class answer.
class DataObject : public DispatchObject {
public:
    DataObject(const char* logVariable, QJsonObject node, QString logName)
        : m_node(std::move(node)), m_logName(std::move(logName)), m_logVariable(logVariable) {}

    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        LogCall(m_logVariable, m_logName, dispid, kind, args);
        return Answer(dispid, kind, args);
    }

protected:
    virtual AutoVariant Answer(int dispid, InvokeKind kind, const QList<AutoVariant>& args) = 0;
    // A member asked for with the other kind does not exist.
    static void Expect(InvokeKind kind, InvokeKind expected);

    QJsonObject m_node;
    QString m_logName;

private:
    const char* m_logVariable;
};

} // namespace standin
