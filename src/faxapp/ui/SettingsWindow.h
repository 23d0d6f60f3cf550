#pragma once

// kalmofax's settings: the fax server, the company directories and the CardDAV accounts, each
// on a page of its own with a connection test that says what happened in words. A page shows
// its entries (the fax server has one, unnamed), the fields of the chosen one, and saves,
// removes and tests through the services it is given; a password typed is handed over with
// the values and never shown again.

#include "support/Result.h"

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;

namespace faxapp {

using SettingValues = QMap<QString, QString>;

// One field of a page: a text, a password (written only when typed) or a choice of values.
struct SettingField {
    QString key;
    QString label;
    enum class Kind { Text, Password, Choice } kind = Kind::Text;
    QStringList choices; // values of a choice
    QString placeholder;
};

// What a page does outside the window. The name field (key "name") names the entry; a page
// without list has none.
struct SettingsPageServices {
    std::function<QStringList()> list; // empty for a page of one entry
    std::function<Result<SettingValues>(const QString& name)> read;
    std::function<Result<void>(const SettingValues& values)> write;
    std::function<Result<void>(const QString& name)> remove;
    // The entry as saved, checked against its server: what happened, in words.
    std::function<Result<QString>(const QString& name)> test;
};

class SettingsPage final : public QWidget {
    Q_OBJECT
public:
    SettingsPage(QList<SettingField> fields, SettingsPageServices services,
                 QWidget* parent = nullptr);

    QLineEdit* Field(const QString& key) const;
    QComboBox* Choice(const QString& key) const;
    // What the last save, removal or test said.
    QString Outcome() const;

public Q_SLOTS:
    void Save();
    void Remove();
    void Test();
    void New();

private:
    void Reload(const QString& select = {});
    void Show(const QString& name);
    SettingValues Values() const;
    void Tell(const QString& text, bool failed);
    QString Current() const;

    QList<SettingField> m_fields;
    SettingsPageServices m_services;
    QListWidget* m_list = nullptr;
    QMap<QString, QWidget*> m_editors;
    QLabel* m_outcome = nullptr;
};

class SettingsWindow final : public QDialog {
    Q_OBJECT
public:
    struct Pages {
        SettingsPageServices server;
        SettingsPageServices directories;
        SettingsPageServices carddav;
    };
    explicit SettingsWindow(Pages pages, QWidget* parent = nullptr);

    SettingsPage* ServerPage() const { return m_server; }
    SettingsPage* DirectoryPage() const { return m_directories; }
    SettingsPage* CardDavPage() const { return m_carddav; }

private:
    QTabWidget* m_tabs = nullptr;
    SettingsPage* m_server = nullptr;
    SettingsPage* m_directories = nullptr;
    SettingsPage* m_carddav = nullptr;
};

} // namespace faxapp
