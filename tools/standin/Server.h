#pragma once

// The stand-in's classes are served by the automation server of platform/ (docs/standin.md);
// what is the stand-in's own here is its scripted data: the classes and their call logs.

#include "platform/AutomationServer.h"

#include <QList>
#include <QString>

namespace standin {

using dbusauto::ExpectArgs;
using dbusauto::ServedClass;
using dbusauto::ThrowError;

// Every class the stand-in serves (Classes.cpp).
QList<ServedClass> ServedClasses();

// One call as a line of a call log: "<dispid> TAB <kind> {TAB <type>:<value>}" with the kind
// "method" or "get", each argument's D-Bus type (n, i, s, o) and its value escaped so that the
// line holds no tab or line break (\\, \t, \n, \r, \xHH).
QString CallLine(int dispid, InvokeKind kind, const QList<AutoVariant>& args);
QString EscapeValue(const QString& value);

// False while the file named by KALMO_STANDIN_NO_READALL exists: the list objects then answer
// fax::kDispidReadAll with "member not found", as a server that knows only the entry walk.
bool ReadAllOffered();
// Waits while the file named by KALMO_STANDIN_HOLD exists (at most 20 s): a slow address
// book whose answer a test holds back.
void WaitWhileHeld();

// Appends text to the file in one write; false when it cannot.
bool AppendToFile(const QString& path, const QString& text);

} // namespace standin
