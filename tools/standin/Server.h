#pragma once

// The stand-in's automation server: serves one class on the session bus under its ProgID, as
// docs/standin.md describes. A class is a ProgID and a factory; its objects are DispatchObjects
// whose Invoke answers by DISPID. Errors that a class throws as AutomationError reach the
// caller as org.zeb.Automation.Error with their code and text; a VT_DISPATCH result is
// published as an object of its own, released by the caller.

#include "platform/Automation.h"

#include <QList>
#include <QString>
#include <functional>
#include <initializer_list>

namespace standin {

struct ServedClass {
    QString progId;
    std::function<DispatchPtr()> create; // a new object with its own state
};

// Every class the stand-in serves (Classes.cpp).
QList<ServedClass> ServedClasses();

// Throws the error a server reports through the dispatch interface.
[[noreturn]] void ThrowError(qint32 scode, const QString& text);
[[noreturn]] void ThrowError(qint32 scode); // with the system's text for the code

// Throws "Invalid number of parameters." or "Type mismatch." unless args are of these types.
void ExpectArgs(const QList<AutoVariant>& args, std::initializer_list<VarType> types);

// One call as a line of a call log: "<dispid> TAB <kind> {TAB <type>:<value>}" with the kind
// "method" or "get", each argument's D-Bus type (n, i, s, o) and its value escaped so that the
// line holds no tab or line break (\\, \t, \n, \r, \xHH).
QString CallLine(int dispid, InvokeKind kind, const QList<AutoVariant>& args);
QString EscapeValue(const QString& value);

// Appends text to the file in one write; false when it cannot.
bool AppendToFile(const QString& path, const QString& text);

} // namespace standin
