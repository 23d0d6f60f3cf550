#include "ui/OptionsDialog.h"

#include "app/AppBase.h"
#include "app/SendApp.h"
#include "ui_OptionsDialog.h"

#include <QButtonGroup>
#include <QShortcut>
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
    // F1 asks for the dialog's help, as the "Hilfe" button does.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &OptionsDialog::OnHelp);
}

OptionsDialog::~OptionsDialog() = default;

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
}

void OptionsDialog::OnOutlookAddressBook() {
    ShowOutlookFields(true, false);
}

void OptionsDialog::OnOutlookContacts() {
    ShowOutlookFields(false, true);
}

void OptionsDialog::OnOK() {
    UpdateData(true);
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
