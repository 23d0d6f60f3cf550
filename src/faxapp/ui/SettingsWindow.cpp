#include "faxapp/ui/SettingsWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace faxapp {

namespace {

const QString kNameKey = QStringLiteral("name");

} // namespace

SettingsPage::SettingsPage(QList<SettingField> fields, SettingsPageServices services,
                           QWidget* parent)
    : QWidget(parent), m_fields(std::move(fields)), m_services(std::move(services)) {
    auto* layout = new QHBoxLayout(this);
    if (m_services.list) {
        auto* side = new QVBoxLayout;
        m_list = new QListWidget(this);
        m_list->setObjectName(QStringLiteral("entries"));
        side->addWidget(m_list);
        auto* add = new QPushButton(tr("&Neu"), this);
        add->setObjectName(QStringLiteral("new"));
        connect(add, &QPushButton::clicked, this, &SettingsPage::New);
        side->addWidget(add);
        layout->addLayout(side, 1);
        connect(m_list, &QListWidget::currentTextChanged, this, &SettingsPage::Show);
    }
    auto* right = new QVBoxLayout;
    auto* form = new QFormLayout;
    for (const SettingField& field : m_fields) {
        QWidget* editor = nullptr;
        if (field.kind == SettingField::Kind::Choice) {
            auto* box = new QComboBox(this);
            box->addItems(field.choices);
            editor = box;
        } else {
            auto* line = new QLineEdit(this);
            line->setPlaceholderText(field.placeholder);
            if (field.kind == SettingField::Kind::Password)
                line->setEchoMode(QLineEdit::Password);
            editor = line;
        }
        editor->setObjectName(field.key);
        m_editors.insert(field.key, editor);
        form->addRow(field.label, editor);
    }
    right->addLayout(form);
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const QString& text, const char* name, void (SettingsPage::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    button(tr("&Speichern"), "save", &SettingsPage::Save);
    if (m_services.remove)
        button(tr("&Entfernen"), "remove", &SettingsPage::Remove);
    button(tr("&Verbindung testen"), "test", &SettingsPage::Test);
    buttons->addStretch();
    right->addLayout(buttons);
    m_outcome = new QLabel(this);
    m_outcome->setObjectName(QStringLiteral("outcome"));
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(m_outcome);
    right->addStretch();
    layout->addLayout(right, 2);
    Reload();
}

QLineEdit* SettingsPage::Field(const QString& key) const {
    return qobject_cast<QLineEdit*>(m_editors.value(key));
}

QComboBox* SettingsPage::Choice(const QString& key) const {
    return qobject_cast<QComboBox*>(m_editors.value(key));
}

QString SettingsPage::Outcome() const {
    return m_outcome->text();
}

QString SettingsPage::Current() const {
    if (!m_list)
        return {};
    if (const QLineEdit* name = Field(kNameKey))
        return name->text().trimmed();
    return {};
}

void SettingsPage::Reload(const QString& select) {
    if (!m_list) {
        Show({});
        return;
    }
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_list->addItems(m_services.list());
    const auto found = m_list->findItems(select, Qt::MatchExactly);
    if (!found.isEmpty())
        m_list->setCurrentItem(found.constFirst());
    else if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    Show(m_list->currentItem() ? m_list->currentItem()->text() : QString());
}

void SettingsPage::Show(const QString& name) {
    SettingValues values;
    if ((!m_list || !name.isEmpty()) && m_services.read) {
        const auto read = m_services.read(name);
        if (read)
            values = *read;
        else
            Tell(read.Error().Text(), true);
    }
    for (const SettingField& field : m_fields) {
        const QString value = values.value(field.key);
        if (QComboBox* box = Choice(field.key))
            box->setCurrentIndex(std::max(0, int(field.choices.indexOf(value))));
        else if (QLineEdit* line = Field(field.key))
            line->setText(field.kind == SettingField::Kind::Password ? QString() : value);
    }
}

SettingValues SettingsPage::Values() const {
    SettingValues values;
    for (const SettingField& field : m_fields) {
        if (const QComboBox* box = Choice(field.key))
            values.insert(field.key, box->currentText());
        else if (const QLineEdit* line = Field(field.key))
            values.insert(field.key, field.kind == SettingField::Kind::Password
                                         ? line->text()
                                         : line->text().trimmed());
    }
    return values;
}

void SettingsPage::Tell(const QString& text, bool failed) {
    m_outcome->setText(text);
    m_outcome->setStyleSheet(failed ? QStringLiteral("color: #a00000") : QString());
}

void SettingsPage::New() {
    if (m_list)
        m_list->clearSelection();
    for (const SettingField& field : m_fields) {
        if (QLineEdit* line = Field(field.key))
            line->clear();
        else if (QComboBox* box = Choice(field.key))
            box->setCurrentIndex(0);
    }
    if (QLineEdit* name = Field(kNameKey))
        name->setFocus();
    Tell({}, false);
}

void SettingsPage::Save() {
    const SettingValues values = Values();
    const Result<void> written = m_services.write(values);
    if (!written) {
        Tell(tr("Nicht gespeichert: %1").arg(written.Error().Text()), true);
        return;
    }
    for (const SettingField& field : m_fields) {
        if (field.kind == SettingField::Kind::Password)
            Field(field.key)->clear();
    }
    Reload(values.value(kNameKey));
    Tell(tr("Gespeichert."), false);
}

void SettingsPage::Remove() {
    const QString name = Current();
    if (name.isEmpty() || !m_services.remove)
        return;
    const Result<void> removed = m_services.remove(name);
    if (!removed) {
        Tell(tr("Nicht entfernt: %1").arg(removed.Error().Text()), true);
        return;
    }
    Reload();
    Tell(tr("„%1“ ist entfernt.").arg(name), false);
}

void SettingsPage::Test() {
    Tell(tr("Die Verbindung wird geprüft …"), false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<QString> tested = m_services.test(Current());
    QApplication::restoreOverrideCursor();
    if (tested)
        Tell(*tested, false);
    else
        Tell(tr("Die Verbindung gelingt nicht: %1").arg(tested.Error().Text()), true);
}

SettingsWindow::SettingsWindow(Pages pages, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("KALMO!fax – Einstellungen"));
    setObjectName(QStringLiteral("settings"));
    resize(720, 420);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    using Kind = SettingField::Kind;
    m_server = new SettingsPage(
        {{QStringLiteral("host"), tr("&Server:"), Kind::Text, {}, QStringLiteral("localhost")},
         {QStringLiteral("port"), tr("&Port:"), Kind::Text, {}, QStringLiteral("4559")},
         {QStringLiteral("user"), tr("&Benutzer:"), Kind::Text, {}, tr("der Anmeldename")},
         {QStringLiteral("password"), tr("Pass&wort:"), Kind::Password, {}, tr("unverändert")},
         {QStringLiteral("keepDays"),
          tr("Dokumente gesendeter Faxe &aufbewahren (Tage):"),
          Kind::Text,
          {},
          QStringLiteral("30")}},
        std::move(pages.server), m_tabs);
    m_tabs->addTab(m_server, tr("&Faxserver"));
    m_directories = new SettingsPage(
        {{kNameKey, tr("&Name:"), Kind::Text, {}, {}},
         {QStringLiteral("uris"),
          tr("&Server:"),
          Kind::Text,
          {},
          QStringLiteral("ldaps://dc1.example.com ldaps://dc2.example.com")},
         {QStringLiteral("base"), tr("Such&basis:"), Kind::Text, {}, tr("aus dem Verzeichnis")},
         {QStringLiteral("bind"),
          tr("&Anmeldung:"),
          Kind::Choice,
          {QStringLiteral("anonymous"), QStringLiteral("simple"), QStringLiteral("gssapi")},
          {}},
         {QStringLiteral("bindDn"), tr("Anmelde-&DN:"), Kind::Text, {}, {}},
         {QStringLiteral("caFile"),
          tr("&CA-Datei:"),
          Kind::Text,
          {},
          tr("die Zertifizierungsstellen des Systems")},
         {QStringLiteral("password"), tr("Pass&wort:"), Kind::Password, {}, tr("unverändert")}},
        std::move(pages.directories), m_tabs);
    m_tabs->addTab(m_directories, tr("&Verzeichnisse"));
    m_carddav = new SettingsPage(
        {{kNameKey, tr("&Name:"), Kind::Text, {}, {}},
         {QStringLiteral("url"),
          tr("&Adresse:"),
          Kind::Text,
          {},
          QStringLiteral("https://cloud.example.com/remote.php/dav")},
         {QStringLiteral("user"), tr("&Benutzer:"), Kind::Text, {}, {}},
         {QStringLiteral("caFile"),
          tr("&CA-Datei:"),
          Kind::Text,
          {},
          tr("die Zertifizierungsstellen des Systems")},
         {QStringLiteral("password"), tr("Pass&wort:"), Kind::Password, {}, tr("unverändert")}},
        std::move(pages.carddav), m_tabs);
    m_tabs->addTab(m_carddav, tr("&CardDAV-Adressbücher"));
    layout->addWidget(m_tabs);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(close);
}

} // namespace faxapp
