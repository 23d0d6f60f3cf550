#pragma once

// The small dialog that edits one contact of the address book: its name and its fax numbers.

#include "faxapp/contacts/Contact.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace faxapp {

class ContactDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ContactDialog(const Contact& contact, QWidget* parent = nullptr);

    // The contact as edited (its uid and file name as given).
    Contact Result() const;

    // Checks the entries first; a mistake is shown and the dialog stays open.
    void accept() override;

protected:
    // Enter in the new number's field adds the number and keeps the dialog open.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddNumber();
    void RemoveNumber();

    Contact m_contact;
    QLineEdit* m_name;
    QListWidget* m_numbers;
    QLineEdit* m_newNumber;
};

} // namespace faxapp
