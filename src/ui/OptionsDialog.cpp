#include "ui/OptionsDialog.h"

#include "app/AppBase.h"
#include "app/SendApp.h"
#include "fax/FaxContract.h"
#include "platform/ProcessLauncher.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "ui_OptionsDialog.h"

#include <QButtonGroup>
#include <QShortcut>
#include <cerrno>
#include <ctime>

namespace {

// The button of id in group, -1 unchecking all (an exclusive group cannot do that by itself).
void CheckRadio(QButtonGroup* group, int id) {
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(group->id(button) == id);
    group->setExclusive(true);
}

} // namespace

OptionsDialog::OptionsDialog(QWidget* parent, AppBase* app)
    : QDialog(parent), m_ui(std::make_unique<Ui::OptionsDialog>()),
      m_sendGroup(new QButtonGroup(this)), m_sourceGroup(new QButtonGroup(this)), m_app(app) {
    m_ui->setupUi(this);
    m_sendGroup->addButton(m_ui->radioSendNow, 0);
    m_sendGroup->addButton(m_ui->radioSendLater, 1);
    m_sourceGroup->addButton(m_ui->radioOutlookNone, 0);
    m_sourceGroup->addButton(m_ui->radioOutlookAddressBook, 1);
    m_sourceGroup->addButton(m_ui->radioOutlookContacts, 2);

    connect(m_ui->radioSendNow, &QAbstractButton::clicked, this, &OptionsDialog::OnSendNow);
    connect(m_ui->radioSendLater, &QAbstractButton::clicked, this, &OptionsDialog::OnSendLater);
    connect(m_ui->radioOutlookNone, &QAbstractButton::clicked, this, &OptionsDialog::OnOutlookNone);
    connect(m_ui->radioOutlookAddressBook, &QAbstractButton::clicked, this,
            &OptionsDialog::OnOutlookAddressBook);
    connect(m_ui->radioOutlookContacts, &QAbstractButton::clicked, this,
            &OptionsDialog::OnOutlookContacts);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &OptionsDialog::OnOK);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->btnHelp, &QPushButton::clicked, this, &OptionsDialog::OnHelp);
    connect(m_ui->btnFaxSettings, &QPushButton::clicked, this, &OptionsDialog::OnFaxSettings);
    ShowSourceUse(0);
    // F1 asks for the dialog's help, as the "Hilfe" button does.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &OptionsDialog::OnHelp);
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::SetAddressSources(const AddressSources& sources, ProcessLauncher* processes) {
    m_sources = sources;
    m_processes = processes;
    m_checkSources = true;
}

int OptionsDialog::DoModal() {
    OnInitDialog();
    return exec();
}

void OptionsDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_nSendMode = m_sendGroup->checkedId();
        m_strAddressBook = m_ui->editAddressBook->text();
        m_strProfile = m_ui->editProfile->text();
        m_strContacts = m_ui->editContacts->text();
        m_nOutlookSource = m_sourceGroup->checkedId();
    } else {
        CheckRadio(m_sendGroup, m_nSendMode);
        m_ui->editAddressBook->setText(m_strAddressBook);
        m_ui->editProfile->setText(m_strProfile);
        m_ui->editContacts->setText(m_strContacts);
        CheckRadio(m_sourceGroup, m_nOutlookSource);
    }
}

bool OptionsDialog::OnInitDialog() {
    UpdateData(false);
    m_ui->m_timeCtrl->setDisplayFormat(QStringLiteral("HH:mm"));
    m_ui->m_dateCtrl->setDate(m_timeSend.date());
    m_ui->m_timeCtrl->setTime(m_timeSend.time());
    EnableSendTime(m_nSendMode != 0);
    switch (m_nOutlookSource) {
    case 0:
        OnOutlookNone();
        break;
    case 1:
        OnOutlookAddressBook();
        break;
    case 2:
        OnOutlookContacts();
        break;
    default:
        break; // all six fields stay visible
    }
    return true;
}

void OptionsDialog::EnableSendTime(bool enable) {
    m_ui->labelTime->setEnabled(enable);
    m_ui->labelDate->setEnabled(enable);
    m_ui->m_timeCtrl->setEnabled(enable);
    m_ui->m_dateCtrl->setEnabled(enable);
}

void OptionsDialog::ShowOutlookFields(bool profile, bool contacts) {
    m_ui->labelContacts->setVisible(contacts);
    m_ui->editContacts->setVisible(contacts);
    m_ui->labelProfile->setVisible(profile);
    m_ui->editProfile->setVisible(profile);
    m_ui->labelAddressBook->setVisible(profile);
    m_ui->editAddressBook->setVisible(profile);
}

void OptionsDialog::OnHelp() {
    if (m_app)
        m_app->WinHelp(0x20000 + 303, SendApp::kHelpContext);
}

void OptionsDialog::OnSendNow() {
    EnableSendTime(false);
}

void OptionsDialog::OnSendLater() {
    EnableSendTime(true);
}

void OptionsDialog::OnOutlookNone() {
    ShowOutlookFields(false, false);
    ShowSourceUse(0);
}

void OptionsDialog::OnOutlookAddressBook() {
    ShowOutlookFields(true, false);
    ShowSourceUse(1);
}

void OptionsDialog::OnOutlookContacts() {
    ShowOutlookFields(false, true);
    ShowSourceUse(2);
}

void OptionsDialog::ShowSourceUse(int choice) {
    const bool shown = m_checkSources && choice > 0;
    m_ui->labelSourceUse->setVisible(shown);
    m_ui->btnFaxSettings->setVisible(shown && m_processes);
    if (!shown)
        return;
    const QString names = (choice == 1 ? m_sources.directories : m_sources.cardDavAccounts)
                              .join(QStringLiteral(", "));
    QString text;
    if (choice == 1)
        text = names.isEmpty() ? tr("In kalmofax ist kein Verzeichnis eingerichtet: diese "
                                    "Wahl liest nichts.")
                               : tr("Liest ein Verzeichnis aus kalmofax (eingerichtet: %1).");
    else
        text = names.isEmpty() ? tr("In kalmofax ist kein CardDAV-Konto eingerichtet: diese "
                                    "Wahl liest nichts.")
                               : tr("Liest ein CardDAV-Konto aus kalmofax (eingerichtet: %1).");
    m_ui->labelSourceUse->setText(names.isEmpty() ? text : text.arg(names));
}

void OptionsDialog::OnFaxSettings() {
    if (!m_processes)
        return;
    ProcessStart start;
    start.program = m_app ? JoinPath(m_app->m_strSystemDir, fax::kProgramFaxApplication)
                          : fax::kProgramFaxApplication;
    start.arguments = {QStringLiteral("settings")};
    if (!m_processes->Start(start) && m_app)
        MessageWarning1(m_app->GetMessenger(), IDS_ERR_START_FAX_SETTINGS, GetErrorText(errno));
}

void OptionsDialog::OnOK() {
    UpdateData(true);
    // A source with nothing to read would fail at every start of the dialog ("Invalid class
    // string"): the choice is not taken; kalmofax's settings are offered instead.
    if (m_checkSources && !m_sources.HasSourceFor(m_nOutlookSource)) {
        if (m_app &&
            MessageQuestion(m_app->GetMessenger(), IDS_ASK_SOURCE_NOT_SET_UP) == MessageAnswer::Yes)
            OnFaxSettings();
        return;
    }
    if (m_nSendMode != 0) {
        const QDate date = m_ui->m_dateCtrl->date();
        const QTime time = m_ui->m_timeCtrl->time();
        std::tm tm{};
        tm.tm_year = date.year() - 1900;
        tm.tm_mon = date.month() - 1;
        tm.tm_mday = date.day();
        tm.tm_hour = time.hour();
        tm.tm_min = time.minute();
        tm.tm_isdst = -1; // daylight saving time as the library finds it
        const std::time_t t = std::mktime(&tm);
        if (t != static_cast<std::time_t>(-1))
            m_timeSend = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t));
    }
    accept();
}
