#include "faxapp/ui/HelpMenu.h"

#include "platform/ManualHelp.h"

#include <QAction>
#include <QCoreApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>

namespace faxapp {

namespace {

UrlOpener& DesktopBrowser() {
    static DesktopUrlOpener browser;
    return browser;
}

HelpTeller MessageBoxOn(QWidget& window) {
    return [&window](const QString& text) {
        QMessageBox::information(&window, window.windowTitle(), text);
    };
}

QMenuBar* MenuBarOf(QWidget& window) {
    if (auto* main = qobject_cast<QMainWindow*>(&window))
        return main->menuBar();
    QLayout* layout = window.layout();
    if (!layout)
        return nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(layout->menuBar()))
        return bar;
    auto* bar = new QMenuBar(&window);
    layout->setMenuBar(bar);
    return bar;
}

} // namespace

// The texts are in the context "faxapp::HelpMenu" of the windows' catalog, written out in each
// call so that lupdate finds them.

QString ManualLanguageOfWindows() {
    // Translated to the manual's folder of the catalog's language.
    return manual::LanguageFolder(QCoreApplication::translate(
        "faxapp::HelpMenu", "de", "folder of the manual in this language"));
}

void ShowWindowHelp(const QString& page, UrlOpener& browser, const HelpTeller& tell) {
    const Result<void> shown =
        ShowManualPage(browser, manual::Folders(), ManualLanguageOfWindows(), page);
    if (!shown && tell)
        tell(QCoreApplication::translate("faxapp::HelpMenu",
                                         "Die Hilfe kann nicht angezeigt werden. Das Handbuch "
                                         "(Seiten zum Öffnen im Browser) ist hier zu finden:\n%1")
                 .arg(shown.Error().what));
}

QMenu* AddHelpMenu(QWidget& window, const QString& page) {
    return AddHelpMenu(window, page, DesktopBrowser(), MessageBoxOn(window));
}

QMenu* AddHelpMenu(QWidget& window, const QString& page, UrlOpener& browser,
                   const HelpTeller& tell) {
    QMenuBar* bar = MenuBarOf(window);
    if (!bar)
        return nullptr;
    QMenu* menu = bar->addMenu(QCoreApplication::translate("faxapp::HelpMenu", "&Hilfe"));
    menu->setObjectName(QStringLiteral("helpMenu"));
    QAction* here = menu->addAction(
        QCoreApplication::translate("faxapp::HelpMenu", "&Hilfe zu diesem Fenster"));
    here->setObjectName(QStringLiteral("actionHelp"));
    here->setShortcut(QKeySequence::HelpContents);
    here->setShortcutContext(Qt::WindowShortcut);
    QAction* index =
        menu->addAction(QCoreApplication::translate("faxapp::HelpMenu", "&Inhalt des Handbuchs"));
    index->setObjectName(QStringLiteral("actionManual"));
    // The menu bar may not be shown (a native one), so the window holds the key as well.
    window.addAction(here);
    QObject::connect(here, &QAction::triggered, &window,
                     [page, &browser, tell] { ShowWindowHelp(page, browser, tell); });
    QObject::connect(index, &QAction::triggered, &window,
                     [&browser, tell] { ShowWindowHelp(manual::kIndex, browser, tell); });
    return menu;
}

void AddHelpKey(QWidget& window, const QString& page) {
    auto* key = new QShortcut(QKeySequence::HelpContents, &window);
    key->setObjectName(QStringLiteral("helpKey"));
    const HelpTeller tell = MessageBoxOn(window);
    QObject::connect(key, &QShortcut::activated, &window,
                     [page, tell] { ShowWindowHelp(page, DesktopBrowser(), tell); });
}

} // namespace faxapp
