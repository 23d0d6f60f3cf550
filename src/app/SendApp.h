#pragma once

#include "app/AppBase.h"
#include "app/SendCommandLineInfo.h"
#include "app/SendDialogState.h"

#include <QStringList>
#include <functional>
#include <memory>

class HelpViewer;
class UrlOpener;
class QTranslator;

// The application: start-up resolves the language, the folders and the help file, hands the
// caller's data to the send dialog and runs it; the program ends when the dialog closes.
class SendApp : public AppBase {
public:
    // Runs the send dialog modally on the state handed over.
    using DialogRunner = std::function<void(SendApp&, SendDialogState&)>;

    // Help shows the CHM help file through `help`, else the manual's page through `browser`.
    SendApp(Registry& registry, Messenger& messenger, HelpViewer& help, UrlOpener& browser,
            DialogRunner runner);
    ~SendApp() override;

    // Always false: the program ends after the dialog.
    bool InitInstance(const QStringList& arguments);
    int ExitInstance();
    // command 1 (context help), 3 (contents) or another; data as the caller gives it, the
    // dialog's help context, which picks the manual's page. Where neither the help file nor the
    // manual can be shown, a message says where the manual is.
    void WinHelp(quint32 data, unsigned command) override;

    const SendCommandLineInfo& CommandLine() const { return m_cmdInfo; }
    // Start-up ended before the dialog because a settings store could not be read.
    bool StoreUnreadable() const { return m_bStoreUnreadable; }
    // Start-up ended before the dialog because no job could name the data folder.
    bool DataFolderUnusable() const { return m_bDataFolderUnusable; }
    const QTranslator* LanguageCatalog() const { return m_hLanguageDll.get(); }

    // Start-up's hand-over of the caller's data into the dialog's state.
    void HandOver(const SendCommandLineInfo& info, SendDialogState& state);

    // The framework's help command id, the id of every "Hilfe" button.
    static constexpr int kHelpCommandId = 57670;
    static constexpr unsigned kHelpContext = 1;
    static constexpr unsigned kHelpContents = 3;

protected:
    // Stands for initialising the automation libraries; the D-Bus layer connects lazily, so
    // this cannot fail today, but start-up keeps the exit for when it can.
    virtual bool InitAutomation() { return true; }

private:
    void LoadLanguage();
    // Reports every store that exists but cannot be read; false when there is one.
    bool CheckStores();

    HelpViewer& m_help;
    UrlOpener& m_browser;
    DialogRunner m_runner;
    SendCommandLineInfo m_cmdInfo;
    std::unique_ptr<QTranslator> m_hLanguageDll;
    std::unique_ptr<QTranslator> m_qtCatalog; // Qt's own texts
    bool m_bStoreUnreadable = false;
    bool m_bDataFolderUnusable = false;
};
