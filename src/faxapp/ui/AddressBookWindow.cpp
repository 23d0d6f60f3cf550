#include "faxapp/ui/AddressBookWindow.h"

#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/contacts/ContactImport.h"
#include "faxapp/contacts/ContactWriter.h"
#include "faxapp/ui/ContactDialog.h"
#include "faxapp/ui/HelpMenu.h"
#include "platform/ManualHelp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace faxapp {

namespace {

QString Folded(const QString& text) {
    return text.normalized(QString::NormalizationForm_C).toCaseFolded();
}

QString DigitsOf(const QString& text) {
    QString digits;
    for (QChar c : text)
        if (c.isDigit())
            digits += c;
    return digits;
}

bool IsNumberSearch(const QString& search) {
    bool digit = false;
    for (QChar c : search) {
        if (c.isDigit())
            digit = true;
        else if (!QStringView(u"+-()/ ").contains(c))
            return false;
    }
    return digit;
}

// "1 Kontakt", "2 Kontakte".
QString ContactCount(int count) {
    return QCoreApplication::translate("faxapp::AddressBookWindow", "%n Kontakte", nullptr, count);
}

// The first 20 problems, each on a line of its own, after a line break; empty for none.
QString Listed(const QStringList& problems) {
    if (problems.isEmpty())
        return {};
    QString text = u'\n' + problems.mid(0, 20).join(u'\n');
    if (const int more = int(problems.size()) - 20; more > 0)
        text += u'\n' + QCoreApplication::translate("faxapp::AddressBookWindow",
                                                    "… und %n weitere.", nullptr, more);
    return text;
}

QPushButton* Button(const QString& text, const QString& name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

} // namespace

bool ContactMatches(const Contact& contact, const QString& search) {
    const QString wanted = Folded(search.trimmed());
    if (wanted.isEmpty() || Folded(contact.name).contains(wanted))
        return true;
    const bool digits = IsNumberSearch(wanted);
    for (const QString& number : contact.faxNumbers)
        if (Folded(number).contains(wanted) ||
            (digits && DigitsOf(number).contains(DigitsOf(wanted))))
            return true;
    return false;
}

AddressBookWindow::AddressBookWindow(QString folder, QWidget* parent)
    : QWidget(parent), m_folder(std::move(folder)), m_search(new QLineEdit),
      m_list(new QTreeWidget), m_edit(Button(tr("&Bearbeiten…"), QStringLiteral("edit"))),
      m_delete(Button(tr("&Löschen"), QStringLiteral("delete"))), m_status(new QLabel) {
    setObjectName(QStringLiteral("addressBook"));
    setWindowTitle(tr("Adressbuch"));
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(tr("Suchen (Name oder Nummer)"));
    m_search->setClearButtonEnabled(true);
    m_list->setObjectName(QStringLiteral("contacts"));
    m_list->setHeaderLabels({tr("Name"), tr("Faxnummern")});
    m_list->setRootIsDecorated(false);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(0, Qt::AscendingOrder);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);

    QPushButton* add = Button(tr("&Neu…"), QStringLiteral("add"));
    QPushButton* import = Button(tr("&Importieren…"), QStringLiteral("import"));
    connect(add, &QPushButton::clicked, this, &AddressBookWindow::Add);
    connect(m_edit, &QPushButton::clicked, this, &AddressBookWindow::Edit);
    connect(m_delete, &QPushButton::clicked, this, &AddressBookWindow::Delete);
    connect(import, &QPushButton::clicked, this, &AddressBookWindow::Import);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &AddressBookWindow::Edit);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &AddressBookWindow::UpdateButtons);
    connect(m_search, &QLineEdit::textChanged, this, &AddressBookWindow::ApplyFilter);

    // A sync program writes many files in a row; one reload after it has settled.
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(300);
    connect(&m_reloadTimer, &QTimer::timeout, this, &AddressBookWindow::Reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_reloadTimer,
            qOverload<>(&QTimer::start));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {add, m_edit, m_delete, import})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    AddHelpMenu(*this, manual::kAddressBook);
    resize(560, 420);
    Reload();
}

void AddressBookWindow::Reload() {
    if (const Contact* selected = Selected(); selected && m_selectFile.isEmpty())
        m_selectFile = selected->fileName;
    // A folder made by the first save is watched from then on.
    if (m_watcher.directories().isEmpty() && QDir(m_folder).exists())
        m_watcher.addPath(m_folder);
    const ContactListing listing = ContactFolder(m_folder).ReadAll();
    m_contacts = listing.contacts;
    m_cardsPerFile.clear();
    for (const Contact& contact : std::as_const(m_contacts))
        ++m_cardsPerFile[contact.fileName];
    m_list->setSortingEnabled(false);
    m_list->clear();
    for (qsizetype i = 0; i < m_contacts.size(); ++i) {
        auto* item = new QTreeWidgetItem(
            m_list, {m_contacts[i].name, m_contacts[i].faxNumbers.join(QStringLiteral(", "))});
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        if (!m_selectFile.isEmpty() && m_contacts[i].fileName == m_selectFile)
            m_list->setCurrentItem(item);
    }
    m_list->setSortingEnabled(true);
    m_selectFile.clear();
    m_status->setText(listing.problems.isEmpty() ? QString()
                                                 : tr("%n Einträge konnten nicht gelesen werden.",
                                                      nullptr, int(listing.problems.size())));
    m_status->setToolTip(listing.problems.join(u'\n'));
    ApplyFilter();
}

void AddressBookWindow::ApplyFilter() {
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        const int index = item->data(0, Qt::UserRole).toInt();
        item->setHidden(!ContactMatches(m_contacts.at(index), m_search->text()));
    }
    UpdateButtons();
}

void AddressBookWindow::UpdateButtons() {
    const bool selected = Selected() != nullptr;
    m_edit->setEnabled(selected);
    m_delete->setEnabled(selected);
}

const Contact* AddressBookWindow::Selected() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item || item->isHidden() || !item->isSelected())
        return nullptr;
    const int index = item->data(0, Qt::UserRole).toInt();
    return index >= 0 && index < m_contacts.size() ? &m_contacts[index] : nullptr;
}

bool AddressBookWindow::IsSingleContactFile(const Contact& contact) {
    const int cards = m_cardsPerFile.value(contact.fileName);
    if (cards <= 1)
        return true;
    ShowError(tr("Die Datei %1 enthält %n Kontakte. Das Adressbuch ändert und löscht "
                 "sie nicht, damit die anderen Kontakte darin erhalten bleiben.",
                 nullptr, cards)
                  .arg(contact.fileName));
    return false;
}

void AddressBookWindow::Add() {
    OpenDialog(Contact{});
}

void AddressBookWindow::Edit() {
    if (const Contact* contact = Selected(); contact && IsSingleContactFile(*contact))
        OpenDialog(*contact);
}

void AddressBookWindow::OpenDialog(const Contact& contact) {
    auto* dialog = new ContactDialog(contact, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { Store(dialog->Result()); });
    dialog->open();
}

void AddressBookWindow::Store(Contact contact) {
    QString error;
    if (!SaveContact(m_folder, contact, error)) {
        ShowError(error);
        return;
    }
    m_selectFile = contact.fileName;
    Reload();
}

void AddressBookWindow::Delete() {
    const Contact* selected = Selected();
    if (!selected || !IsSingleContactFile(*selected))
        return;
    const Contact contact = *selected;
    const auto answer = QMessageBox::question(
        this, windowTitle(), tr("„%1“ aus dem Adressbuch löschen?").arg(contact.name),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    QString error;
    if (!RemoveContact(m_folder, contact, error))
        ShowError(error);
    Reload();
}

void AddressBookWindow::Import() {
    const QString path =
        m_askImportFile
            ? m_askImportFile(this)
            : QFileDialog::getOpenFileName(this, tr("Kontakte importieren"), QDir::homePath(),
                                           tr("Adressbücher (*.vcf *.csv);;Alle Dateien (*)"));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ContactImportPlan plan = PlanContactImport(m_folder, path);
    QApplication::restoreOverrideCursor();
    // Nothing is written before the user has seen how many contacts come.
    const QString counts =
        tr("%1 schon im Adressbuch, %2 übersprungen.").arg(plan.duplicates).arg(plan.skipped);
    if (plan.contacts.isEmpty()) {
        ShowReport(tr("Keine neuen Kontakte: ") + counts, plan.problems);
        return;
    }
    QMessageBox question(
        QMessageBox::Question, windowTitle(),
        tr("%1 hinzufügen?\n").arg(ContactCount(static_cast<int>(plan.contacts.size()))) + counts +
            Listed(plan.problems),
        QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(QStringLiteral("importQuestion"));
    question.button(QMessageBox::Yes)->setText(tr("&Importieren"));
    question.button(QMessageBox::No)->setText(tr("&Abbrechen"));
    question.setDefaultButton(QMessageBox::No);
    question.exec();
    if (question.clickedButton() != question.button(QMessageBox::Yes))
        return;
    // Every contact is its own durable file: a large import takes seconds.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ContactImportResult result = StoreContactImport(m_folder, std::move(plan));
    QApplication::restoreOverrideCursor();
    Reload();
    ShowReport(tr("%1 importiert, %2 schon im Adressbuch, %3 übersprungen.")
                   .arg(ContactCount(result.imported))
                   .arg(result.duplicates)
                   .arg(result.skipped),
               result.problems);
}

void AddressBookWindow::ShowReport(const QString& text, const QStringList& problems) {
    if (problems.isEmpty())
        QMessageBox::information(this, windowTitle(), text);
    else
        QMessageBox::warning(this, windowTitle(), text + Listed(problems));
}

void AddressBookWindow::ShowError(const QString& text) {
    QMessageBox::warning(this, windowTitle(), text);
}

} // namespace faxapp
