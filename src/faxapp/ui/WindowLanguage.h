#pragma once

// The language of kalmofax's windows: the language setting the fax programs share when the
// user has made one, else the desktop's. German is the windows' own; another language takes
// its catalog "Fax<code>.qm" where there is one, else English. Qt's own texts (buttons,
// standard dialogs) follow. Installed on the application while this object lives.

#include <QString>
#include <memory>

class QTranslator;

namespace faxapp {

// The catalog code for a language setting ("EN", "de") or, when it is empty, for the desktop's
// locale name ("de_DE.UTF-8", "en_US", "fr_FR"): empty for German and for a locale that names
// no language ("C", "POSIX"), else the code, upper case ("EN", "FR").
QString WindowLanguageCode(const QString& setting, const QString& desktopLocale);

class WindowLanguage {
public:
    // Reads the setting from the settings store.
    WindowLanguage();
    explicit WindowLanguage(const QString& code);
    ~WindowLanguage();
    WindowLanguage(const WindowLanguage&) = delete;
    WindowLanguage& operator=(const WindowLanguage&) = delete;

private:
    std::unique_ptr<QTranslator> m_catalog;
    std::unique_ptr<QTranslator> m_qt;
};

} // namespace faxapp
