#include "platform/ManualHelp.h"

#include "platform/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifndef KALMO_MANUAL_INSTALL_DIR
#define KALMO_MANUAL_INSTALL_DIR "/usr/share/doc/kalmosend/manual"
#endif

bool DesktopUrlOpener::OpenUrl(const QUrl& url) {
    // The address is one argument of its own: no shell sees it.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

namespace manual {

QStringList Pages() {
    return {kIndex,       kSendDialog, kOptionsDialog, kRecipients, kJournal,
            kAddressBook, kViewer,     kFaxServer,     kPrinter};
}

QString PageForContext(quint32 context) {
    switch (context) {
    case kSendDialogContext:
        return kSendDialog;
    case kOptionsDialogContext:
        return kOptionsDialog;
    default:
        return kIndex;
    }
}

QString LanguageFolder(const QString& language) {
    const QString code = language.section(u'_', 0, 0).trimmed().toLower();
    if (code.isEmpty() || code == u"de")
        return QStringLiteral("de");
    return QStringLiteral("en");
}

QStringList Folders() {
    // A folder named by the environment is the only one: tests and odd installations know.
    const QString fromEnvironment = qEnvironmentVariable("KALMO_MANUAL_DIR");
    if (!fromEnvironment.isEmpty())
        return {fromEnvironment};
    QStringList folders;
    QString programDir;
    if (QCoreApplication::instance())
        programDir = QCoreApplication::applicationDirPath();
    if (!programDir.isEmpty())
        folders << QDir::cleanPath(programDir + QStringLiteral("/../share/doc/kalmosend/manual"));
    folders << QStringLiteral(KALMO_MANUAL_INSTALL_DIR);
    // In a build tree inside the source tree (build/<preset>/src/<target>/, its CMakeCache.txt
    // two folders up) the programs are four folders below the source tree, whose manual is
    // docs/manual. An installed program has no such cache and looks nowhere else.
    if (!programDir.isEmpty() &&
        QFileInfo::exists(programDir + QStringLiteral("/../../CMakeCache.txt")))
        folders << QDir::cleanPath(programDir + QStringLiteral("/../../../../docs/manual"));
    folders.removeDuplicates();
    return folders;
}

QString FindPage(const QStringList& folders, const QString& language, const QString& page) {
    const QString name = LanguageFolder(language) + u'/' + page + QStringLiteral(".html");
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder).filePath(name));
        if (file.isFile() && file.isReadable())
            return file.absoluteFilePath();
    }
    return {};
}

} // namespace manual

Result<void> ShowManualPage(UrlOpener& browser, const QStringList& manualFolders,
                            const QString& language, const QString& page) {
    QString file = manual::FindPage(manualFolders, language, page);
    // A page missing from the manual (an older one installed) still leaves its index.
    if (file.isEmpty())
        file = manual::FindPage(manualFolders, language, manual::kIndex);
    if (file.isEmpty())
        return Problem{0, manualFolders.join(u'\n'), QStringLiteral("no manual")};
    if (!browser.OpenUrl(QUrl::fromLocalFile(file)))
        return Problem{0, file, QStringLiteral("no browser")};
    return Success();
}

Result<void> ShowHelp(HelpViewer& chm, UrlOpener& browser, const QStringList& manualFolders,
                      const HelpRequest& request) {
    if (chm.HtmlHelp(request.helpFile, request.command, request.data))
        return Success();
    return ShowManualPage(browser, manualFolders, request.language, request.page);
}
