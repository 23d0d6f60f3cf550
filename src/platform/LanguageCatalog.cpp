#include "platform/LanguageCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QStringList LanguageCatalogFolders() {
    QStringList folders =
        qEnvironmentVariable("KALMO_LANGUAGE_PATH").split(u':', Qt::SkipEmptyParts);
    if (QCoreApplication::instance()) {
        const QString dir = QCoreApplication::applicationDirPath();
        folders << dir << dir + QStringLiteral("/../share/kalmosend/translations");
    }
    folders << QStringLiteral(":/i18n");
    return folders;
}

std::unique_ptr<QTranslator> LoadLanguageCatalog(const QString& code, const QString& family) {
    if (code.isEmpty())
        return nullptr;
    // Catalog names ignore case, as library names did ("/len" finds SndEN.qm), and only the
    // exact name counts (no fallback from SndEN_US to SndEN).
    const QString wanted = family + code + QStringLiteral(".qm");
    for (const QString& folder : LanguageCatalogFolders()) {
        const QStringList names =
            QDir(folder).entryList({family + QStringLiteral("*.qm")}, QDir::Files);
        for (const QString& name : names) {
            if (name.compare(wanted, Qt::CaseInsensitive) != 0)
                continue;
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(QDir(folder).filePath(name)))
                return translator;
        }
    }
    return nullptr;
}

std::unique_ptr<QTranslator> LoadQtCatalog(const QString& code) {
    const QLocale locale(code);
    if (code.isEmpty() || locale.language() == QLocale::English || locale.language() == QLocale::C)
        return nullptr;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
}
