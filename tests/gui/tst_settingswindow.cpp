// kalmofax's settings window with its services faked: a page shows the entry chosen, saves
// what was typed (a password only when one was typed, never shown again), removes, and tells
// the outcome of a connection test in words.

#include "faxapp/ui/SettingsWindow.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace faxapp;

class TestSettingsWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_language = std::make_unique<WindowLanguage>(QString()); }
    void pagesSaveRemoveAndTest();

private:
    std::unique_ptr<WindowLanguage> m_language;
};

void TestSettingsWindow::pagesSaveRemoveAndTest() {
    QMap<QString, SettingValues> directories{
        {"Firma", {{"name", "Firma"}, {"uris", "ldap://a"}, {"bind", "simple"}}}};
    SettingValues server{{"host", "fax.example"}, {"port", "4559"}, {"user", "erika"}};
    SettingsWindow::Pages pages;
    pages.server.read = [&](const QString&) -> Result<SettingValues> { return server; };
    pages.server.write = [&](const SettingValues& values) -> Result<void> {
        server = values;
        return {};
    };
    pages.server.test = [](const QString&) -> Result<QString> {
        return Problem{0, "fax.example:4559", "530 Login incorrect."};
    };
    pages.directories.list = [&] { return directories.keys(); };
    pages.directories.read = [&](const QString& name) -> Result<SettingValues> {
        return directories.value(name);
    };
    pages.directories.write = [&](const SettingValues& values) -> Result<void> {
        if (values.value("uris").isEmpty())
            return Problem{0, values.value("name"), "no server"};
        directories.insert(values.value("name"), values);
        return {};
    };
    pages.directories.remove = [&](const QString& name) -> Result<void> {
        directories.remove(name);
        return {};
    };
    pages.directories.test = [](const QString& name) -> Result<QString> {
        return QString("reached " + name);
    };
    pages.carddav = pages.directories;
    SettingsWindow window(std::move(pages));

    SettingsPage* serverPage = window.ServerPage();
    QCOMPARE(serverPage->Field("host")->text(), "fax.example");
    serverPage->Field("port")->setText("4560");
    serverPage->Field("password")->setText("geheim");
    serverPage->findChild<QPushButton*>("save")->click();
    QCOMPARE(server.value("port"), "4560");
    QCOMPARE(server.value("password"), "geheim");
    QVERIFY(serverPage->Field("password")->text().isEmpty());
    QCOMPARE(serverPage->Outcome(), "Gespeichert.");
    serverPage->findChild<QPushButton*>("test")->click();
    QCOMPARE(serverPage->Outcome(),
             "Die Verbindung gelingt nicht: fax.example:4559: 530 Login incorrect.");

    SettingsPage* page = window.DirectoryPage();
    QCOMPARE(page->Field("uris")->text(), "ldap://a");
    QCOMPARE(page->Choice("bind")->currentText(), "simple");
    page->findChild<QPushButton*>("new")->click();
    page->Field("name")->setText("Zweig");
    page->findChild<QPushButton*>("save")->click(); // no server: refused, in words
    QCOMPARE(page->Outcome(), "Nicht gespeichert: Zweig: no server");
    page->Field("uris")->setText("ldaps://b");
    page->findChild<QPushButton*>("save")->click();
    QCOMPARE(directories.value("Zweig").value("uris"), "ldaps://b");
    QCOMPARE(page->findChild<QListWidget*>("entries")->currentItem()->text(), "Zweig");
    page->findChild<QPushButton*>("test")->click();
    QCOMPARE(page->Outcome(), "reached Zweig");
    page->findChild<QPushButton*>("remove")->click();
    QCOMPARE(directories.keys(), QStringList{"Firma"});
    QCOMPARE(page->findChild<QListWidget*>("entries")->count(), 1);
}

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
