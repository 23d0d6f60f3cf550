#pragma once

#include <QDateTime>
#include <QDialog>
#include <memory>

class AppBase;
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

private:
    void EnableSendTime(bool enable);
    void ShowOutlookFields(bool profile, bool contacts);

    std::unique_ptr<Ui::OptionsDialog> m_ui;
    QButtonGroup* m_sendGroup;
    QButtonGroup* m_sourceGroup;
    AppBase* m_app;
};
