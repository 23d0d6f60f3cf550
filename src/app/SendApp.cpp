#include "app/SendApp.h"

#include "fax/FaxContract.h"
#include "fax/OemFile.h"
#include "platform/HelpViewer.h"
#include "platform/LanguageCatalog.h"
#include "platform/ManualHelp.h"
#include "platform/RegistryStore.h"
#include "platform/StoreIntlSource.h"
#include "support/CInternational.h"
#include "support/FileUtil.h"
#include "support/LocaleIntlSource.h"
#include "support/Messenger.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <QCoreApplication>
#include <QTranslator>
#include <sys/stat.h>

SendApp::SendApp(Registry& registry, Messenger& messenger, HelpViewer& help, UrlOpener& browser,
                 DialogRunner runner)
    : AppBase(registry, messenger), m_help(help), m_browser(browser), m_runner(std::move(runner)) {}

SendApp::~SendApp() {
    ExitInstance();
}

bool SendApp::InitInstance(const QStringList& arguments) {
    if (!InitAutomation())
        return false;

    m_cmdInfo = SendCommandLineInfo();
    m_cmdInfo.ParseCommandLine(arguments);

    SetRegistryKey(fax::kRegistryCompany);
    SetProfileName(fax::kProfileName);
    m_strTitlePrefix = fax::kTitlePrefix;
    // Regional formats: the user's settings in the store, then the user's locale.
    theInternational.SetSource(MakeRegionalSettingsSource(GetRegistry().User()));

    LoadLanguage();

    // Without its settings the program would guess a spool folder that the fax application
    // does not watch: a store that exists but cannot be read ends the start-up.
    if (!CheckStores())
        return false;

    ResolveFaxFolders();
    // Every job names its document in the data folder's Faxsend in CP850: a data folder whose
    // path CP850 cannot hold is named in no job the fax application can use.
    m_bDataFolderUnusable = !COemFile::HoldsAll(m_strDataDir);
    if (m_bDataFolderUnusable) {
        MessageWarning1(GetMessenger(), IDS_ERR_DATA_FOLDER, m_strDataDir);
        return false;
    }

    m_strHelpFile = JoinPath(m_strSystemDir, fax::kHelpFile);

    SendDialogState state;
    HandOver(m_cmdInfo, state);
    if (m_runner)
        m_runner(*this, state);
    return false;
}

bool SendApp::CheckStores() {
    m_bStoreUnreadable = false;
    for (RegistryStore* store : {&GetRegistry().Machine(), &GetRegistry().User()}) {
        if (store->OpenError().isEmpty())
            continue;
        MessageWarning2(GetMessenger(), IDS_ERR_STORE_UNREADABLE, store->FileName(),
                        store->OpenError());
        m_bStoreUnreadable = true;
    }
    return !m_bStoreUnreadable;
}

void SendApp::LoadLanguage() {
    QString language = m_cmdInfo.m_strLanguage;
    if (language.isEmpty())
        language = GetMachineThenUserString(fax::kValueLanguage);
    if (!language.isEmpty())
        m_hLanguageDll = LoadLanguageCatalog(language);
    // Qt's own texts (Yes, No, the file dialog) in the dialogs' language: the catalog's, else
    // the German of the program's own texts.
    m_qtCatalog = LoadQtCatalog(m_hLanguageDll ? language : QStringLiteral("de"));
    if (QCoreApplication::instance() && m_qtCatalog)
        QCoreApplication::installTranslator(m_qtCatalog.get());
    if (!m_hLanguageDll)
        return;
    SetStringCatalog(m_hLanguageDll.get());
    if (QCoreApplication::instance())
        QCoreApplication::installTranslator(m_hLanguageDll.get());
}

void SendApp::HandOver(const SendCommandLineInfo& info, SendDialogState& state) {
    if (info.m_bPoll) {
        state.m_strCaption = LoadString(IDS_POLL);
    } else {
        state.m_strCaption = info.m_strTitle;
        state.m_strPresetNumber = TakeHandoffString(fax::kHandoffPrint, info.m_strTitle);
        state.m_bSerialLetter = TakeSerialLetterFlag(info.m_strTitle) ? 1 : 0;
        state.m_strPresetSendTime = TakeHandoffString(fax::kHandoffSendTime, info.m_strTitle);
    }
    state.m_strRemark = info.m_strTitle;
    state.m_printFile = info.m_printFile;
    state.m_bFileButton = info.m_bFileButton;
    state.m_bPoll = info.m_bPoll;
    if (!info.m_strNumber.isEmpty())
        state.m_strPresetNumber = info.m_strNumber;
    if (!info.m_strSendTime.isEmpty())
        state.m_strPresetSendTime = info.m_strSendTime;
}

int SendApp::ExitInstance() {
    // The store source must not outlive the registry it reads.
    theInternational.SetSource(std::make_shared<LocaleIntlSource>());
    if (m_qtCatalog && QCoreApplication::instance())
        QCoreApplication::removeTranslator(m_qtCatalog.get());
    m_qtCatalog.reset();
    if (m_hLanguageDll) {
        if (QCoreApplication::instance())
            QCoreApplication::removeTranslator(m_hLanguageDll.get());
        SetStringCatalog(nullptr);
        m_hLanguageDll.reset();
    }
    return 0;
}

void SendApp::WinHelp(quint32 data, unsigned command) {
    // The manual's page follows the caller's context; its language is the dialogs' own.
    HelpRequest request{m_strHelpFile, HelpViewer::DisplayTopic, data, manual::PageForContext(data),
                        m_hLanguageDll ? m_hLanguageDll->language() : QString()};
    switch (command) {
    case kHelpContext:
        request.command = HelpViewer::HelpContext;
        request.data = fax::kHelpContextId;
        break;
    case kHelpContents:
        request.command = HelpViewer::DisplayIndex;
        request.page = manual::kIndex;
        break;
    default:
        break;
    }
    const Result<void> shown = ShowHelp(m_help, m_browser, manual::Folders(), request);
    if (!shown)
        MessageWarning1(GetMessenger(), IDS_ERR_NO_HELP, shown.Error().what);
}
