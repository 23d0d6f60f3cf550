#include "faxapp/ui/WindowLanguage.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/LanguageCatalog.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace faxapp {

QString WindowLanguageCode(const QString& setting, const QString& desktopLocale) {
    QString code = setting.trimmed();
    if (code.isEmpty()) {
        code = desktopLocale.section(u'_', 0, 0).section(u'.', 0, 0);
        // "C" and "POSIX" choose no language: the windows' own.
        if (code == u"C" || code == u"POSIX")
            return {};
    }
    if (code.isEmpty() || code.compare(QStringLiteral("de"), Qt::CaseInsensitive) == 0)
        return {};
    return code.toUpper();
}

namespace {

QString SettingOfTheStore() {
    const auto registry = Registry::OpenDefault();
    NonInteractiveMessenger messenger;
    const fax::FaxFolders folders(*registry, messenger);
    return folders.GetMachineThenUserString(fax::kValueLanguage);
}

} // namespace

WindowLanguage::WindowLanguage()
    : WindowLanguage(WindowLanguageCode(SettingOfTheStore(), QLocale::system().name())) {}

WindowLanguage::WindowLanguage(const QString& code) {
    // German needs its catalog too: it holds the plural forms of the texts.
    m_catalog =
        LoadLanguageCatalog(code.isEmpty() ? QStringLiteral("DE") : code, QStringLiteral("Fax"));
    if (!m_catalog && !code.isEmpty() && code != u"EN")
        m_catalog = LoadLanguageCatalog(QStringLiteral("EN"), QStringLiteral("Fax"));
    m_qt = LoadQtCatalog(code.isEmpty() ? QStringLiteral("de") : code);
    for (QTranslator* translator : {m_qt.get(), m_catalog.get()}) {
        if (translator)
            QCoreApplication::installTranslator(translator);
    }
}

WindowLanguage::~WindowLanguage() {
    for (QTranslator* translator : {m_catalog.get(), m_qt.get()}) {
        if (translator && QCoreApplication::instance())
            QCoreApplication::removeTranslator(translator);
    }
}

} // namespace faxapp
