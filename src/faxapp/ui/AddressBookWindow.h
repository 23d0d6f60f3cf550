#pragma once

// The address book program's window: the contacts of the vCard folder with their fax numbers,
// a search field, and commands to add, edit, delete and import contacts. The folder is
// watched, so that a sync program's changes show at once.

#include "faxapp/contacts/Contact.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace faxapp {

class AddressBookWindow final : public QWidget {
    Q_OBJECT
public:
    explicit AddressBookWindow(QString folder, QWidget* parent = nullptr);

    // Asks for the file to import; empty: cancelled. A file dialog unless a test sets it.
    void SetImportFileQuestion(std::function<QString(QWidget*)> ask) {
        m_askImportFile = std::move(ask);
    }

    // Reads the folder again, keeping the selection and the search.
    void Reload();

private:
    void ApplyFilter();
    void UpdateButtons();
    // The selected contact, or null.
    const Contact* Selected() const;
    // Refuses (with a message) a file that holds several contacts.
    bool IsSingleContactFile(const Contact& contact);
    void Add();
    void Edit();
    void Delete();
    void Import();
    void OpenDialog(const Contact& contact);
    void Store(Contact contact);
    void ShowError(const QString& text);
    // The text in a message box, with the problems below it (a warning then).
    void ShowReport(const QString& text, const QStringList& problems);

    QString m_folder;
    QList<Contact> m_contacts;
    QHash<QString, int> m_cardsPerFile;
    QString m_selectFile; // the file to select after the next reload
    QLineEdit* m_search;
    QTreeWidget* m_list;
    QPushButton* m_edit;
    QPushButton* m_delete;
    QLabel* m_status;
    QFileSystemWatcher m_watcher;
    QTimer m_reloadTimer;
    std::function<QString(QWidget*)> m_askImportFile;
};

// Does the contact match the search text: in its name or a number, ignoring case (umlauts
// included) and, for a search of digits, the blanks and dashes of a number.
bool ContactMatches(const Contact& contact, const QString& search);

} // namespace faxapp
