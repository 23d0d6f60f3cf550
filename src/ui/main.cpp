#include "app/SendApp.h"
#include "platform/Clock.h"
#include "platform/DBusAutomation.h"
#include "platform/HelpViewer.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/PosixProcessLauncher.h"
#include "platform/Presence.h"
#include "platform/RegistryStore.h"
#include "ui/FileDialogs.h"
#include "ui/QtMessenger.h"
#include "ui/SendDialog.h"
#include "ui/WaitCursor.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Message boxes are titled with the program's file name.
    QApplication::setApplicationName(QStringLiteral("kalmosend"));

    // Without a person at the desktop no window may wait: messages go to standard error,
    // questions take No, file dialogs are cancelled, and a dialog that would wait ends the
    // program with status 1, leaving the print file where it is.
    const bool nonInteractive = qEnvironmentVariable("KALMOSEND_NONINTERACTIVE") == u"1";
    std::unique_ptr<Messenger> messenger;
    std::unique_ptr<FileDialogs> fileDialogs;
    if (nonInteractive) {
        messenger = std::make_unique<NonInteractiveMessenger>();
        fileDialogs = std::make_unique<CancellingFileDialogs>();
    } else {
        messenger = std::make_unique<QtMessenger>();
        fileDialogs = std::make_unique<QtFileDialogs>();
    }

    auto registry = Registry::OpenDefault();
    DesktopHelpViewer help;
    DBusAutomationClient automation;
    PosixProcessLauncher processes;
    DBusPresence presence;
    WaitCursor busy;
    SystemClock clock;
    int exitCode = 0;

    SendApp sendApp(*registry, *messenger, help, [&](SendApp& app, SendDialogState& state) {
        const SendServices services{app,          automation, processes, presence,
                                    *fileDialogs, busy,       clock};
        SendDialog dialog(services, state);
        if (!nonInteractive)
            dialog.DoModal();
        else if (dialog.OnInitDialog())
            exitCode = 1;
    });
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    sendApp.InitInstance(arguments);
    sendApp.ExitInstance();
    return exitCode;
}
