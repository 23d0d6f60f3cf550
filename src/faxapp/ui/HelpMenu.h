#pragma once

// Help for kalmofax's windows: a "Hilfe" menu whose first entry (F1) opens the window's page of
// the manual in the browser, in the windows' language, and whose second opens the manual's
// index. Where the manual cannot be shown, a message box says where it is.

#include <QString>
#include <functional>

class QMenu;
class QWidget;
class UrlOpener;

namespace faxapp {

// Shows a text to the user (a message box on the window for the desktop).
using HelpTeller = std::function<void(const QString& text)>;

// The manual's folder of the windows' language ("de" or "en"), as their catalog says.
QString ManualLanguageOfWindows();

// Opens `page` of the manual; tells where the manual is when it cannot.
void ShowWindowHelp(const QString& page, UrlOpener& browser, const HelpTeller& tell);

// The "Hilfe" menu in the window's menu bar (a main window's, else one put into its layout);
// the desktop's browser and a message box on the window.
QMenu* AddHelpMenu(QWidget& window, const QString& page);
QMenu* AddHelpMenu(QWidget& window, const QString& page, UrlOpener& browser,
                   const HelpTeller& tell);

// F1 alone, for a dialog without a menu bar.
void AddHelpKey(QWidget& window, const QString& page);

} // namespace faxapp
