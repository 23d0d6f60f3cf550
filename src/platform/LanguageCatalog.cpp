#include "platform/LanguageCatalog.h"

#include <QCoreApplication>
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

std::unique_ptr<QTranslator> LoadLanguageCatalog(const QString& code) {
    const QString name = QStringLiteral("Snd") + code;
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : LanguageCatalogFolders()) {
        if (translator->load(name, folder))
            return translator;
    }
    return nullptr;
}
