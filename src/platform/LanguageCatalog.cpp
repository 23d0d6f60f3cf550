#include "platform/LanguageCatalog.h"

#include <QCoreApplication>
#include <QDir>
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
    if (code.isEmpty())
        return nullptr;
    // Catalog names ignore case, as library names did ("/len" finds SndEN.qm), and only the
    // exact name counts (no fallback from SndEN_US to SndEN).
    const QString wanted = QStringLiteral("Snd") + code + QStringLiteral(".qm");
    for (const QString& folder : LanguageCatalogFolders()) {
        const QStringList names = QDir(folder).entryList({QStringLiteral("Snd*.qm")}, QDir::Files);
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
