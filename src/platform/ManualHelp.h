#pragma once

// Help that works on every desktop: the program's CHM help file in a CHM viewer where both are
// there, else the page of the HTML manual in the desktop's browser. The manual has one folder
// per language ("de", "en") with one page per dialog or window.

#include "support/Result.h"

#include <QString>
#include <QStringList>
#include <QUrl>

class HelpViewer;

// Opens an address in the desktop's browser (or whatever the desktop opens it with).
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // False when nothing could be started.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// Through xdg-open, which asks the desktop for the program to open the address with.
class DesktopUrlOpener final : public UrlOpener {
public:
    bool OpenUrl(const QUrl& url) override;
};

namespace manual {

// The pages' names, without ".html".
inline const QString kIndex = QStringLiteral("index");
inline const QString kSendDialog = QStringLiteral("send-dialog");
inline const QString kOptionsDialog = QStringLiteral("options-dialog");
inline const QString kRecipients = QStringLiteral("recipients");
inline const QString kJournal = QStringLiteral("journal");
inline const QString kAddressBook = QStringLiteral("address-book");
inline const QString kViewer = QStringLiteral("viewer");
inline const QString kFaxServer = QStringLiteral("fax-server");
inline const QString kPrinter = QStringLiteral("printer");

// Help contexts of kalmosend's dialogs, as their "Hilfe" buttons ask for them.
inline constexpr quint32 kSendDialogContext = 0x20000 + 301;
inline constexpr quint32 kOptionsDialogContext = 0x20000 + 303;

// Every page of the manual, the index first.
QStringList Pages();
// The page for a help context; the index for a context without a page of its own.
QString PageForContext(quint32 context);
// The manual's folder for a catalog language ("en", "en_GB", "EN"): "de" for German and for
// none, "en" for every other language (the manual has no third).
QString LanguageFolder(const QString& language);
// Where the manual may be: KALMO_MANUAL_DIR alone when it is set; else, in this order, the
// installed manual beside the
// program (../share/doc/kalmosend/manual), the one of the installation prefix, and for a build
// tree inside the source tree the source tree's docs/manual.
QStringList Folders();
// The file of the page in the language in the first of the folders that holds it; empty when
// none does.
QString FindPage(const QStringList& folders, const QString& language, const QString& page);

} // namespace manual

// What a help request asks for: the CHM file with its command and data, and the manual's page
// and language.
struct HelpRequest {
    QString helpFile;
    int command = 0;
    quint32 data = 0;
    QString page;
    QString language;
};

// The manual's page (its index where the page is missing) in the browser. When it cannot be
// shown: a problem whose `what` is the page when the browser did not start, else the folders the
// manual is looked for in (one a line).
Result<void> ShowManualPage(UrlOpener& browser, const QStringList& manualFolders,
                            const QString& language, const QString& page);

// The CHM help file in a CHM viewer when the viewer shows it (the file is there and a viewer
// starts), else ShowManualPage.
Result<void> ShowHelp(HelpViewer& chm, UrlOpener& browser, const QStringList& manualFolders,
                      const HelpRequest& request);
