// kalmofax's help: the "Hilfe" menu and F1 open the window's page of the manual; without a
// manual the user is told where it belongs.

#include "RecordingUrlOpener.h"
#include "faxapp/contacts/Contact.h"
#include "faxapp/ui/AddressBookWindow.h"
#include "faxapp/ui/ContactDialog.h"
#include "faxapp/ui/HelpMenu.h"
#include "platform/ManualHelp.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

class TestHelpMenu : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keyOpensWindowsPage_data();
    void keyOpensWindowsPage();
    void noManualTellsWhere();
    void everyWindowHasHelp();
};

void TestHelpMenu::keyOpensWindowsPage_data() {
    QTest::addColumn<bool>("mainWindow");
    QTest::addColumn<bool>("index"); // the menu's second entry instead of F1
    QTest::addColumn<QString>("page");
    QTest::newRow("main window, F1") << true << false << "/de/journal.html";
    QTest::newRow("main window, contents") << true << true << "/de/index.html";
    QTest::newRow("window with a layout, F1") << false << false << "/de/journal.html";
}

void TestHelpMenu::keyOpensWindowsPage() {
    QFETCH(bool, mainWindow);
    QFETCH(bool, index);
    QFETCH(QString, page);
    std::unique_ptr<QWidget> window;
    if (mainWindow) {
        window = std::make_unique<QMainWindow>();
    } else {
        window = std::make_unique<QWidget>();
        new QVBoxLayout(window.get());
    }
    RecordingUrlOpener browser;
    QStringList told;
    QMenu* menu = faxapp::AddHelpMenu(*window, manual::kJournal, browser,
                                      [&](const QString& text) { told.append(text); });
    QVERIFY(menu);
    QCOMPARE(menu->title(), QString("&Hilfe"));
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    if (index)
        menu->findChild<QAction*>("actionManual")->trigger();
    else
        QTest::keyClick(window.get(), Qt::Key_F1);
    QCOMPARE(browser.opened.size(), 1);
    QVERIFY2(browser.opened.first().endsWith(page), qPrintable(browser.opened.first()));
    QVERIFY(told.isEmpty());
}

void TestHelpMenu::noManualTellsWhere() {
    QTemporaryDir empty;
    const QByteArray old = qgetenv("KALMO_MANUAL_DIR");
    qputenv("KALMO_MANUAL_DIR", empty.path().toUtf8());
    QMainWindow window;
    RecordingUrlOpener browser;
    QStringList told;
    faxapp::AddHelpMenu(window, manual::kViewer, browser,
                        [&](const QString& text) { told.append(text); });
    window.findChild<QAction*>("actionHelp")->trigger();
    qputenv("KALMO_MANUAL_DIR", old);
    QVERIFY(browser.opened.isEmpty());
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first().contains(empty.path()), qPrintable(told.first()));
}

void TestHelpMenu::everyWindowHasHelp() {
    QTemporaryDir folder;
    faxapp::AddressBookWindow addressBook(folder.path());
    auto* help = addressBook.findChild<QMenu*>("helpMenu");
    QVERIFY(help);
    QCOMPARE(help->findChild<QAction*>("actionHelp")->shortcut(),
             QKeySequence(QKeySequence::HelpContents));
    faxapp::ContactDialog contact(faxapp::Contact{});
    auto* key = contact.findChild<QShortcut*>("helpKey");
    QVERIFY(key);
    QCOMPARE(key->key(), QKeySequence(QKeySequence::HelpContents));
}

QTEST_MAIN(TestHelpMenu)
#include "tst_helpmenu.moc"
