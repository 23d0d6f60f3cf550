#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QTranslator;

// Language catalogs "Snd<code>.qm" replace the texts of the string table and the dialogs.
// They are looked for in KALMO_LANGUAGE_PATH (folders separated by ":"), beside the program,
// in its share/kalmosend/translations folder, and among the catalogs built into the program.
QStringList LanguageCatalogFolders();
// nullptr when no catalog of that name is found.
std::unique_ptr<QTranslator> LoadLanguageCatalog(const QString& code);
