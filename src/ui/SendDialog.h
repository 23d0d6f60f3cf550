#pragma once

#include "addressbook/RecipientList.h"
#include "app/SendDialogState.h"
#include "job/SendOrder.h"
#include "ui/SendServices.h"

#include <QDateTime>
#include <QDialog>
#include <QIcon>
#include <QStringList>
#include <memory>

class CZebComboBox;
class RecipientFill;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
namespace Ui {
class SendDialog;
}

// The send dialog: the user picks the recipients of one fax, a remark and a send time; OK hands
// the fax to the fax application.
class SendDialog : public QDialog, private RecipientList {
    Q_OBJECT
public:
    SendDialog(const SendServices& services, const SendDialogState& state,
               QWidget* parent = nullptr);
    ~SendDialog() override;

    // Fills the dialog, then runs it modally unless it has closed during its initialisation
    // (a preset number submits at once). Returns Accepted or Rejected.
    int DoModal();
    // Fills the dialog; true when it is still open afterwards.
    bool OnInitDialog();
    bool IsClosed() const { return m_bClosed; }
    // Recipients of the closing OK whose job was not placed (the loop stops at the first).
    qsizetype JobsNotPlaced() const { return m_nJobsNotPlaced; }
    // The print file and the way of an OK with it.
    const SendOrder& Order() const { return m_order; }
    // The dialog would wait for a person who is not there: the print stays for another try.
    void Abandon() { m_order.Abandon(); }

    // Moves control contents into the members (true) or the members into the controls.
    void UpdateData(bool saveAndValidate);

    // The dialog's operations.
    void OnOK();
    void OnCancel();
    void OnRefresh();
    // Empties the list and starts filling it anew; the rows arrive while the dialog is in use.
    void RefreshRecipients();
    // True while the rows of the last refresh are still being read.
    bool IsFilling() const;
    void ClearRecipients() override;
    void UpdateStatus();
    bool ParseSendTime(const QString& text);
    void OnRecipientChanged();
    void OnRecipientDoubleClick();
    void OnOptions();
    void OnAddressBook();
    void OnFileName();
    void OnPreview();
    void OnAbout();
    void OnHelp();
    bool StoreOutlookProfile(const QString& text);
    bool StoreOutlookAddressBook(const QString& text);
    bool StoreOutlookContacts(const QString& text);

    // Members of the dialog's state.
    QString m_strRemark;
    qint32 m_bRedirect = 0;
    QString m_strNumber;
    QString m_strStatus;
    QString m_strCaption;
    qint32 m_bSendLater = 0;
    QStringList m_numbers;
    QDateTime m_timeSend;
    qint32 m_bFileButton = 0;
    qint32 m_bPoll = 0;
    QString m_strPresetNumber;
    QString m_strPresetSendTime;
    // The preset send time does not parse or does not exist: the fax goes neither now nor at
    // a guessed time until the user has chosen the send time in the options.
    bool m_bSendTimeUnusable = false;
    quint8 m_bSerialLetter = 0;
    qint32 m_bUseOutlook = 0;
    QString m_strOutlookProfile;
    QString m_strOutlookAddressBook;
    QString m_strOutlookContacts;

    // Controls.
    QTreeWidget* m_listRecipients = nullptr;
    CZebComboBox* m_comboNumber = nullptr;
    QCheckBox* m_checkRedirect = nullptr;
    QLineEdit* m_editRemark = nullptr;
    QPushButton* m_btnRefresh = nullptr;
    QPushButton* m_btnAddressBook = nullptr;
    QPushButton* m_btnFileName = nullptr;

    // The fax number held by a row of the list.
    static QString RowNumber(const QTreeWidgetItem* item);

protected:
    void reject() override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void InsertRecipient(int index, const RecipientEntry& entry) override;
    void InsertRecipients(const QList<RecipientEntry>& rows);
    QTreeWidgetItem* MakeRow(const RecipientEntry& entry) const;
    // The label over the list says whether rows are still coming.
    void ShowFilling(bool filling);
    void EndDialog(int result);
    // The numbers an OK sends to: the typed one, or those of the selected rows.
    QStringList CollectRecipients(bool selection) const;
    // Shows what stopped a step of the send order.
    void ShowProblem(const Problem& problem);
    // The typed number becomes the last one used and the newest of the history.
    void SaveNumber();
    void OfferToStartFaxApplication();
    bool StoreOutlookText(QString& member, const QString& entry, const QString& text);
    bool StartProgram(const QString& name, const QStringList& arguments);

    SendServices m_services;
    std::unique_ptr<Ui::SendDialog> m_ui;
    RecipientFill* m_fill = nullptr; // reads the address sources; holds the CDO session
    QList<QIcon> m_rowImages;
    QIcon m_hIcon;
    SendOrder m_order;
    qsizetype m_nJobsNotPlaced = 0;
    bool m_bClosed = false;
    bool m_bDestroyed = false;
};
