#pragma once

#include <QList>
#include <QString>

class QTranslator;

// The string table. German texts are built in; a language catalog (context "StringTable",
// the German text as source, the id as comment) replaces each of them.

QString LoadString(int id);
// Every id the table holds, ascending.
QList<int> StringTableIds();
// The built-in German text, whatever catalog is in use.
QString BuiltInString(int id);

// The catalog that LoadString consults first; nullptr for the built-in texts. The caller
// keeps the translator alive while it is set.
void SetStringCatalog(const QTranslator* catalog);

// Fills the placeholders with args: "%1" to "%9" and then "%A" to "%Z" name the arguments in
// turn; one without an argument becomes "?"; everything else (also "%0") is copied.
QString FormatPlaceholders(const QString& pattern, const QList<QString>& args);
QString FormatString1(int id, const QString& a);
QString FormatString2(int id, const QString& a, const QString& b);
void FormatString3(QString& out, int id, const QString& a, const QString& b, const QString& c);
