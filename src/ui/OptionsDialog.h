#pragma once

#include "app/AddressSources.h"

#include <QDateTime>
#include <QDialog>
#include <memory>

class AppBase;
class ProcessLauncher;
class QButtonGroup;
namespace Ui {
class OptionsDialog;
}

// When to send, and which Outlook source feeds the recipients list.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(QWidget* parent = nullptr, AppBase* app = nullptr);
    ~OptionsDialog() override;

    // Set before DoModal, read after OK. -1: no radio button chosen.
    int m_nSendMode = -1;      // 0 at once, 1 later
    int m_nOutlookSource = -1; // 0 none, 1 personal address book, 2 contacts folder
    QString m_strAddressBook;
    QString m_strProfile;
    QString m_strContacts;
    QDateTime m_timeSend;

    // Makes the Outlook choices say what they read, and refuses a choice that has nothing set
    // up in kalmofax, offering kalmofax's settings (started through processes) instead. Without
    // this call any choice is taken as it is.
    void SetAddressSources(const AddressSources& sources, ProcessLauncher* processes);

    int DoModal();
    bool OnInitDialog();
    void UpdateData(bool saveAndValidate);

    void OnSendNow();
    void OnSendLater();
    void OnOutlookNone();
    void OnOutlookAddressBook();
    void OnOutlookContacts();
    void OnOK();
    void OnHelp();
    void OnFaxSettings();

private:
    void EnableSendTime(bool enable);
    void ShowOutlookFields(bool profile, bool contacts);
    // The line under the Outlook choices for the chosen source.
    void ShowSourceUse(int choice);

    std::unique_ptr<Ui::OptionsDialog> m_ui;
    QButtonGroup* m_sendGroup;
    QButtonGroup* m_sourceGroup;
    AppBase* m_app;
    AddressSources m_sources;
    ProcessLauncher* m_processes = nullptr;
    bool m_checkSources = false;
};
