#include "ui/SendDialog.h"

#include "addressbook/OutlookContacts.h"
#include "addressbook/RecipientFill.h"
#include "app/AddressSources.h"
#include "app/AppBase.h"
#include "app/SendApp.h"
#include "app/SendTime.h"
#include "fax/FaxContract.h"
#include "fax/OemFile.h"
#include "fax/PrintFileInfo.h"
#include "platform/Presence.h"
#include "platform/ProcessLauncher.h"
#include "support/CInternational.h"
#include "support/Clock.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/NumberFormat.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"
#include "ui/AboutDialog.h"
#include "ui/CZebComboBox.h"
#include "ui/FileDialogs.h"
#include "ui/OptionsDialog.h"
#include "ui_SendDialog.h"

#include <QBitmap>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTreeWidget>
#include <cerrno>

namespace {

constexpr int kNumberRole = Qt::UserRole;
// The columns of the list: the name, and the number the row dials, so that two numbers of one
// contact are told apart at a glance.
constexpr int kNameColumn = 0;
constexpr int kNumberColumn = 1;

// The two 16x15 row pictures side by side, magenta where the list shows through.
QList<QIcon> LoadRowImages() {
    QPixmap strip(QStringLiteral(":/images/rows.xpm"));
    QList<QIcon> icons;
    if (strip.isNull())
        return icons;
    strip.setMask(strip.createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor));
    for (int i = 0; i * 16 + 16 <= strip.width(); ++i)
        icons.append(QIcon(strip.copy(i * 16, 0, 16, 15)));
    return icons;
}

} // namespace

SendDialog::SendDialog(const SendServices& services, const SendDialogState& state, QWidget* parent)
    : QDialog(parent), m_services(services), m_ui(std::make_unique<Ui::SendDialog>()),
      m_order(state.m_printFile, services.app.m_strDataDir, services.app.GetMessenger(),
              services.automation, services.clock) {
    m_ui->setupUi(this);
    m_listRecipients = m_ui->m_listRecipients;
    m_comboNumber = m_ui->m_comboNumber;
    m_checkRedirect = m_ui->m_checkRedirect;
    m_editRemark = m_ui->m_editRemark;
    m_btnRefresh = m_ui->m_btnRefresh;
    m_btnAddressBook = m_ui->m_btnAddressBook;
    m_btnFileName = m_ui->m_btnFileName;

    m_strRemark = state.m_strRemark;
    m_strCaption = state.m_strCaption;
    m_bFileButton = state.m_bFileButton;
    m_bPoll = state.m_bPoll;
    m_strPresetNumber = state.m_strPresetNumber;
    m_strPresetSendTime = state.m_strPresetSendTime;
    m_bSerialLetter = state.m_bSerialLetter;
    m_timeSend = m_services.clock.Now();
    m_hIcon = QIcon(QStringLiteral(":/images/kalmosend.xpm"));

    // The selection stays visible while the list has no focus.
    QPalette palette = m_listRecipients->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_listRecipients->setPalette(palette);
    m_listRecipients->sortByColumn(0, Qt::AscendingOrder);

    // The remark reaches the journal; what is typed is kept to what the OEM code page holds.
    connect(m_editRemark, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString oem = COemFile::ThroughOem(text);
        if (oem == text)
            return;
        const int cursor = m_editRemark->cursorPosition();
        m_editRemark->setText(oem);
        m_editRemark->setCursorPosition(std::min(cursor, static_cast<int>(oem.size())));
    });
    // A double click anywhere in the list sends, as on a row.
    m_listRecipients->viewport()->installEventFilter(this);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &SendDialog::OnOK);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &SendDialog::reject);
    connect(m_ui->btnHelp, &QPushButton::clicked, this, &SendDialog::OnHelp);
    // F1 asks for the dialog's help, as the "Hilfe" button does.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &SendDialog::OnHelp);
    connect(m_btnRefresh, &QPushButton::clicked, this, &SendDialog::OnRefresh);
    connect(m_btnAddressBook, &QPushButton::clicked, this, &SendDialog::OnAddressBook);
    connect(m_btnFileName, &QPushButton::clicked, this, &SendDialog::OnFileName);
    connect(m_ui->btnPreview, &QPushButton::clicked, this, &SendDialog::OnPreview);
    connect(m_ui->btnOptions, &QPushButton::clicked, this, &SendDialog::OnOptions);
    connect(m_listRecipients, &QTreeWidget::itemSelectionChanged, this,
            &SendDialog::OnRecipientChanged);

    m_listRecipients->setColumnCount(2);
    m_fill = new RecipientFill(services.automation, services.busy, this);
    connect(m_fill, &RecipientFill::Rows, this, &SendDialog::InsertRecipients);
    connect(m_fill, &RecipientFill::Message, this,
            [this](int id, const QString& text, MessageKind kind) {
                m_services.app.GetMessenger().Show(id, text, kind);
            });
    connect(m_fill, &RecipientFill::Ended, this, [this] { ShowFilling(false); });
}

SendDialog::~SendDialog() {
    SendDialog::ClearRecipients();
}

int SendDialog::DoModal() {
    if (!OnInitDialog())
        return result();
    return exec();
}

void SendDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_strRemark = m_editRemark->text();
        m_bRedirect = m_checkRedirect->isChecked() ? 1 : 0;
        m_strNumber = m_comboNumber->currentText();
        m_strStatus = m_ui->labelStatus->text();
    } else {
        m_editRemark->setText(m_strRemark);
        m_checkRedirect->setChecked(m_bRedirect != 0);
        m_comboNumber->setEditText(m_strNumber);
        m_ui->labelStatus->setText(m_strStatus);
    }
}

bool SendDialog::OnInitDialog() {
    AppBase& app = m_services.app;
    UpdateData(false);

    setWindowIcon(m_hIcon);
    if (!m_strCaption.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" - ") + m_strCaption);

    m_rowImages = LoadRowImages();
    m_comboNumber->SetImages(m_rowImages);
    m_listRecipients->setSelectionBehavior(QAbstractItemView::SelectRows);
    const int width = m_listRecipients->viewport()->width() -
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_listRecipients);
    m_listRecipients->setColumnWidth(kNameColumn, width * 3 / 5);
    m_listRecipients->setColumnWidth(kNumberColumn, width - width * 3 / 5);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (!m_strPresetSendTime.isEmpty()) {
        // A fax meant for later never goes at once: a preset that cannot be used keeps the
        // send-later choice and waits for the user.
        m_bSendLater = 1;
        m_bSendTimeUnusable = !ParseSendTime(m_strPresetSendTime);
    }

    m_bUseOutlook =
        static_cast<qint32>(app.GetProfileInt(fax::kSectionFax, QStringLiteral("UseOutlook"), 0));
    m_strOutlookProfile = app.GetProfileString(fax::kSectionFax, QStringLiteral("OutlookProfil"));
    m_strOutlookAddressBook =
        app.GetProfileString(fax::kSectionFax, QStringLiteral("OutlookAdressbuch"));
    m_strOutlookContacts =
        app.GetProfileString(fax::kSectionFax, QStringLiteral("OutlookKontakte"));

    m_strNumber = app.GetProfileString(fax::kSectionFax, QStringLiteral("Rufnummer"));
    const QStringList history = app.LoadNumberHistory();
    for (qsizetype i = 0; i < history.size(); ++i)
        m_comboNumber->InsertEntry(static_cast<int>(i), history.at(i));
    UpdateData(false);

    RefreshRecipients();

    m_comboNumber->setFocus();
    m_comboNumber->lineEdit()->selectAll();

    if (!m_bFileButton) {
        m_btnFileName->hide();
        m_btnFileName->setEnabled(false);
    }
    if (m_bPoll)
        m_checkRedirect->setEnabled(false);
    m_order.Prepare(app.m_strSystemDir, m_services.processes);
    UpdateStatus();

    if (m_bSendTimeUnusable) {
        // Nothing is sent before the user has seen why.
        MessageWarning1(app.GetMessenger(), IDS_ERR_SEND_TIME, m_strPresetSendTime);
        if (!m_strPresetNumber.isEmpty()) {
            m_strNumber = m_strPresetNumber;
            UpdateData(false);
        }
    } else if (!m_strPresetNumber.isEmpty()) {
        // The number field shows whom the caller named, also when the submit stops at a
        // check and the dialog stays open.
        m_strNumber = m_strPresetNumber;
        UpdateData(false);
        OnOK();
    }
    return !m_bClosed;
}

bool SendDialog::ParseSendTime(const QString& text) {
    const auto time = ParseSendTimeText(text);
    if (!time)
        return false;
    m_timeSend = *time;
    return true;
}

void SendDialog::UpdateStatus() {
    UpdateData(true);
    const PrintFileInfo& printFile = m_order.Examined();
    int formatId = IDS_FORMAT_ASCII;
    switch (printFile.m_nFormat) {
    case kFormatPcx:
        formatId = IDS_FORMAT_PCX;
        break;
    case kFormatSff:
        formatId = IDS_FORMAT_SFF;
        break;
    case kFormatColour:
        formatId = IDS_FORMAT_COLOUR;
        break;
    default:
        break;
    }
    const QString resolution =
        LoadString(printFile.m_nResolution == 196 ? IDS_RES_FINE : IDS_RES_NORMAL);
    FormatString3(m_strStatus, IDS_STATUS, LoadString(formatId), FormatByteCount(printFile.m_nSize),
                  resolution);
    m_strStatus += u'\n';
    if (m_bSendLater)
        m_strStatus += FormatString2(IDS_SEND_AT, GetDateText(m_timeSend.toSecsSinceEpoch()),
                                     GetTimeText(m_timeSend.toSecsSinceEpoch()));
    else
        m_strStatus += LoadString(IDS_SEND_NOW);
    UpdateData(false);
}

void SendDialog::RefreshRecipients() {
    // A fill still running is overtaken: none of its rows arrive after this.
    m_fill->Cancel();
    ClearRecipients();
    ShowFilling(true);
    m_fill->Start(OutlookSettings{m_bUseOutlook, m_strOutlookProfile, m_strOutlookAddressBook,
                                  m_strOutlookContacts});
    if (!m_fill->IsFilling())
        ShowFilling(false);
}

bool SendDialog::IsFilling() const {
    return m_fill->IsFilling();
}

void SendDialog::ShowFilling(bool filling) {
    m_ui->labelRecipients->setText(filling ? tr("Empfänger (werden gelesen …)")
                                           : LoadString(IDS_RECIPIENTS));
}

void SendDialog::OnRefresh() {
    RefreshRecipients();
}

QTreeWidgetItem* SendDialog::MakeRow(const RecipientEntry& entry) const {
    auto* item = new QTreeWidgetItem;
    item->setText(kNameColumn, entry.name);
    item->setText(kNumberColumn, entry.number);
    if (entry.image >= 0 && entry.image < m_rowImages.size())
        item->setIcon(kNameColumn, m_rowImages.at(entry.image));
    item->setData(kNameColumn, kNumberRole, entry.number);
    return item;
}

void SendDialog::InsertRecipient(int index, const RecipientEntry& entry) {
    // The list sorts its rows by name, so the index only orders rows of equal names.
    (void)index;
    InsertRecipients({entry});
}

void SendDialog::InsertRecipients(const QList<RecipientEntry>& rows) {
    if (m_bClosed)
        return;
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const RecipientEntry& entry : rows)
        items.append(MakeRow(entry));
    // Appended in the order read, then one stable sort for the batch: rows of equal names keep
    // the order they were read in, as when they were added one at a time.
    const QSignalBlocker block(m_listRecipients);
    m_listRecipients->setSortingEnabled(false);
    m_listRecipients->addTopLevelItems(items);
    m_listRecipients->setSortingEnabled(true);
}

void SendDialog::ClearRecipients() {
    if (!m_listRecipients)
        return;
    const QSignalBlocker block(m_listRecipients);
    m_listRecipients->clear();
}

QString SendDialog::RowNumber(const QTreeWidgetItem* item) {
    return item ? item->data(0, kNumberRole).toString() : QString();
}

void SendDialog::OnRecipientChanged() {
    const QList<QTreeWidgetItem*> selected = m_listRecipients->selectedItems();
    const qsizetype n = selected.size();
    if (n == 0)
        return;
    UpdateData(true);
    if (n == 1)
        m_strNumber = RowNumber(selected.first());
    else
        m_strNumber = FormatString1(IDS_RECIPIENT_COUNT, QString::number(n));
    UpdateData(false);
}

void SendDialog::OnRecipientDoubleClick() {
    OnOK();
}

void SendDialog::OnCancel() {
    // The program's own print file goes; a file the user picked stays where it is.
    m_order.Cancel();
    EndDialog(QDialog::Rejected);
}

void SendDialog::reject() {
    OnCancel();
}

void SendDialog::EndDialog(int result) {
    m_bClosed = true;
    done(result);
}

void SendDialog::done(int result) {
    // The window goes: the filling stops, the rows and their numbers go with it.
    m_fill->Cancel();
    ShowFilling(false);
    ClearRecipients();
    QDialog::done(result);
}

QStringList SendDialog::CollectRecipients(bool selection) const {
    if (!selection)
        return {m_strNumber};
    // In the order the list shows them.
    QStringList numbers;
    for (int i = 0; i < m_listRecipients->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_listRecipients->topLevelItem(i);
        if (item->isSelected())
            numbers.append(RowNumber(item));
    }
    return numbers;
}

void SendDialog::ShowProblem(const Problem& problem) {
    Messenger& messenger = m_services.app.GetMessenger();
    if (problem.messageId == IDS_ERR_JOB_NOT_WRITTEN)
        MessageWarning2(messenger, problem.messageId, problem.what, problem.reason);
    else
        MessageWarning1(messenger, problem.messageId,
                        problem.what.isEmpty() ? problem.reason : problem.what);
}

void SendDialog::SaveNumber() {
    AppBase& app = m_services.app;
    app.WriteProfileString(fax::kSectionFax, QStringLiteral("Rufnummer"), m_strNumber);
    m_comboNumber->AddToHistory(m_strNumber);
    app.SaveNumberHistory(m_comboNumber->Entries());
}

void SendDialog::OnOK() {
    AppBase& app = m_services.app;
    Messenger& messenger = app.GetMessenger();
    UpdateData(true);

    if (!m_bPoll && m_order.File().path.isEmpty()) {
        MessageWarning(messenger, IDS_ERR_NO_FILENAME);
        return;
    }

    if (m_bRedirect) {
        // A documents folder that does not exist would be taken for the file's name: the
        // home folder and the document's title are proposed instead.
        QString start = app.GetShellFolder(AppBase::kFolderPersonal);
        if (!IsDirectory(start))
            start = m_strCaption.isEmpty()
                        ? QDir::homePath()
                        : JoinPath(QDir::homePath(), QString(m_strCaption).replace(u'/', u'-'));
        const auto target = m_services.fileDialogs.GetSaveFileName(
            this, LoadString(IDS_FILTER_SAVE), QStringLiteral(".sff"), start);
        if (!target)
            return;
        if (const Result<void> copied = m_order.Redirect(*target); !copied) {
            ShowProblem(copied.Error());
            return;
        }
        EndDialog(QDialog::Accepted);
        return;
    }

    if (m_bSendTimeUnusable) {
        MessageWarning1(messenger, IDS_ERR_SEND_TIME, m_strPresetSendTime);
        return;
    }
    if (!m_strPresetNumber.isEmpty())
        m_strNumber = m_strPresetNumber;
    const bool selection = IsRecipientSelectionText(m_strNumber);
    // A count of recipients with no row selected any more names nobody: say so before the
    // print file is moved, instead of closing without a job.
    if (m_strNumber.isEmpty() || (selection && m_listRecipients->selectedItems().isEmpty())) {
        MessageWarning(messenger, IDS_ERR_NO_NUMBER);
        return;
    }

    SendRequest request;
    request.numbers = CollectRecipients(selection);
    request.remark = m_strRemark;
    request.poll = m_bPoll != 0;
    if (m_bSendLater)
        request.sendAt = m_timeSend;
    const SendOutcome outcome = m_order.Send(request);
    if (outcome.tried) {
        m_numbers = request.numbers;
        if (!selection)
            SaveNumber();
    }
    if (outcome.problem)
        ShowProblem(*outcome.problem);
    // Without any job the print stays and the user may correct the number or cancel.
    if (outcome.placed == 0)
        return;
    m_nJobsNotPlaced = outcome.notPlaced;
    OfferToStartFaxApplication();
    EndDialog(QDialog::Accepted);
}

void SendDialog::OfferToStartFaxApplication() {
    AppBase& app = m_services.app;
    Messenger& messenger = app.GetMessenger();
    if (m_bSerialLetter || m_services.presence.IsRunning(fax::kWindowClass))
        return;
    if (MessageQuestion(messenger, IDS_ASK_START_FAX) != MessageAnswer::Yes)
        return;
    ProcessStart start;
    start.program = JoinPath(app.m_strSystemDir, fax::kProgramFax);
    start.show = ProcessStart::Show::Minimised;
    if (!m_services.processes.Start(start))
        MessageWarning1(messenger, IDS_ERR_START_FAX, GetLastErrorText());
}

void SendDialog::contextMenuEvent(QContextMenuEvent* event) {
    // The desktop gives no window menu to add to, so the about item lives here.
    const QString text = LoadString(IDS_ABOUTBOX);
    if (text.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(text, this, &SendDialog::OnAbout);
    menu.exec(event->globalPos());
}

void SendDialog::OnHelp() {
    m_services.app.WinHelp(0x20000 + 301, SendApp::kHelpContext);
}

void SendDialog::OnAbout() {
    AboutDialog about(m_services.app, m_services.processes, this);
    about.DoModal();
}

bool SendDialog::StoreOutlookText(QString& member, const QString& entry, const QString& text) {
    if (text == member)
        return false;
    member = text;
    m_services.app.WriteProfileString(fax::kSectionFax, entry, text);
    return true;
}

bool SendDialog::StoreOutlookProfile(const QString& text) {
    return StoreOutlookText(m_strOutlookProfile, QStringLiteral("OutlookProfil"), text);
}

bool SendDialog::StoreOutlookAddressBook(const QString& text) {
    return StoreOutlookText(m_strOutlookAddressBook, QStringLiteral("OutlookAdressbuch"), text);
}

bool SendDialog::StoreOutlookContacts(const QString& text) {
    return StoreOutlookText(m_strOutlookContacts, QStringLiteral("OutlookKontakte"), text);
}

void SendDialog::OnOptions() {
    OptionsDialog options(this, &m_services.app);
    options.SetAddressSources(ReadAddressSources(m_services.app), &m_services.processes);
    options.m_nSendMode = m_bSendLater;
    options.m_timeSend = m_timeSend;
    options.m_nOutlookSource = m_bUseOutlook;
    options.m_strProfile = m_strOutlookProfile;
    options.m_strAddressBook = m_strOutlookAddressBook;
    options.m_strContacts = m_strOutlookContacts;
    if (options.DoModal() != QDialog::Accepted)
        return;
    m_bSendLater = options.m_nSendMode;
    if (m_bSendLater)
        m_timeSend = options.m_timeSend;
    // The user has chosen the send time: the unusable preset is replaced.
    m_bSendTimeUnusable = false;
    // All three run, whatever the first found.
    bool changed = StoreOutlookProfile(options.m_strProfile);
    changed = StoreOutlookAddressBook(options.m_strAddressBook) || changed;
    changed = StoreOutlookContacts(options.m_strContacts) || changed;
    if (options.m_nOutlookSource != m_bUseOutlook) {
        m_bUseOutlook = options.m_nOutlookSource;
        m_services.app.WriteProfileInt(fax::kSectionFax, QStringLiteral("UseOutlook"),
                                       m_bUseOutlook);
        changed = true;
    }
    if (changed)
        RefreshRecipients();
    UpdateStatus();
}

bool SendDialog::StartProgram(const QString& name, const QStringList& arguments) {
    ProcessStart start;
    start.program = JoinPath(m_services.app.m_strSystemDir, name);
    start.arguments = arguments;
    return m_services.processes.Start(start);
}

void SendDialog::OnAddressBook() {
    if (!StartProgram(fax::kProgramAddressBook, {}))
        MessageInfo(m_services.app.GetMessenger(), IDS_ERR_START_ADDRESSBOOK);
}

void SendDialog::OnFileName() {
    const auto chosen = m_services.fileDialogs.GetOpenFileName(this, LoadString(IDS_FILTER_OPEN),
                                                               m_order.File().path);
    if (!chosen)
        return;
    // A picked file is the user's: referenced where it lies, never moved or deleted. The
    // program's own print file is still discarded on Cancel and once a job is placed.
    m_order.Pick(*chosen);
    UpdateStatus();
}

void SendDialog::OnPreview() {
    const QString& printFile = m_order.File().path;
    if (printFile.isEmpty())
        return;
    if (StartProgram(fax::kProgramViewer, {printFile}))
        return;
    const int error = errno;
    Messenger& messenger = m_services.app.GetMessenger();
    if (error == ENOENT)
        MessageWarning(messenger, IDS_ERR_VIEWER_MISSING);
    else
        MessageWarning1(messenger, IDS_ERR_START_VIEWER, GetErrorText(error));
}

bool SendDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_listRecipients->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        OnRecipientDoubleClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
