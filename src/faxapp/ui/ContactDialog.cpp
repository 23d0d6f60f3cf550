#include "faxapp/ui/ContactDialog.h"

#include "faxapp/contacts/ContactWriter.h"
#include "faxapp/ui/HelpMenu.h"
#include "platform/ManualHelp.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace faxapp {

ContactDialog::ContactDialog(const Contact& contact, QWidget* parent)
    : QDialog(parent), m_contact(contact), m_name(new QLineEdit(contact.name)),
      m_numbers(new QListWidget), m_newNumber(new QLineEdit) {
    setObjectName(QStringLiteral("contactDialog"));
    setWindowTitle(contact.fileName.isEmpty() ? tr("Neuer Kontakt") : tr("Kontakt bearbeiten"));
    m_name->setObjectName(QStringLiteral("name"));
    m_numbers->setObjectName(QStringLiteral("numbers"));
    m_newNumber->setObjectName(QStringLiteral("newNumber"));
    m_newNumber->setPlaceholderText(QStringLiteral("+49 30 1234567"));
    for (const QString& number : contact.faxNumbers) {
        auto* item = new QListWidgetItem(number, m_numbers);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }

    auto* add = new QPushButton(tr("Hinzufügen"));
    add->setObjectName(QStringLiteral("addNumber"));
    add->setAutoDefault(false);
    auto* remove = new QPushButton(tr("Entfernen"));
    remove->setObjectName(QStringLiteral("removeNumber"));
    remove->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &ContactDialog::AddNumber);
    m_newNumber->installEventFilter(this);
    connect(remove, &QPushButton::clicked, this, &ContactDialog::RemoveNumber);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ContactDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ContactDialog::reject);

    auto* newRow = new QHBoxLayout;
    newRow->addWidget(m_newNumber);
    newRow->addWidget(add);
    newRow->addWidget(remove);
    auto* form = new QFormLayout;
    form->addRow(tr("&Name:"), m_name);
    form->addRow(tr("&Faxnummern:"), m_numbers);
    // A row of a layout gets no buddy from the form: the label is given its field by hand.
    auto* newLabel = new QLabel(tr("N&eue Nummer:"));
    newLabel->setBuddy(m_newNumber);
    form->addRow(newLabel, newRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    AddHelpKey(*this, manual::kAddressBook);
}

void ContactDialog::AddNumber() {
    const QString number = m_newNumber->text().trimmed();
    if (number.isEmpty())
        return;
    auto* item = new QListWidgetItem(number, m_numbers);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_newNumber->clear();
}

bool ContactDialog::eventFilter(QObject* watched, QEvent* event) {
    // An empty field lets Enter through to OK.
    if (watched == m_newNumber && event->type() == QEvent::KeyPress &&
        !m_newNumber->text().trimmed().isEmpty()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            AddNumber();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ContactDialog::RemoveNumber() {
    delete m_numbers->currentItem();
}

Contact ContactDialog::Result() const {
    Contact contact = m_contact;
    contact.name = m_name->text().trimmed();
    contact.faxNumbers.clear();
    for (int row = 0; row < m_numbers->count(); ++row)
        if (const QString number = m_numbers->item(row)->text().trimmed(); !number.isEmpty())
            contact.faxNumbers.append(number);
    return contact;
}

void ContactDialog::accept() {
    AddNumber(); // a number typed but not added yet is meant to be kept
    QString error;
    if (!CheckContact(Result(), error)) {
        QMessageBox::warning(this, windowTitle(), error);
        return;
    }
    QDialog::accept();
}

} // namespace faxapp
