#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QTranslator;

// Language catalogs "Snd<code>.qm" replace the texts of the string table and the dialogs.
// They are looked for in KALMO_LANGUAGE_PATH (folders separated by ":"), beside the program,
// in its share/kalmosend/translations folder, and among the catalogs built into the program.
QStringList LanguageCatalogFolders();
// nullptr when no catalog of that name is found. kalmofax's windows have catalogs of their
// own, "Fax<code>.qm" (family "Fax"), found in the same places.
std::unique_ptr<QTranslator> LoadLanguageCatalog(const QString& code,
                                                 const QString& family = QStringLiteral("Snd"));
// Qt's own texts (buttons, standard dialogs) in the language of the code ("DE", "en_GB"), from
// Qt's translations folder (Debian: qt6-translations-l10n); nullptr when there are none, as
// for English, which is Qt's own.
std::unique_ptr<QTranslator> LoadQtCatalog(const QString& code);
