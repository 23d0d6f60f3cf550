#include "app/SendApp.h"
#include "platform/DBusAutomation.h"
#include "platform/HelpViewer.h"
#include "platform/ManualHelp.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/PosixProcessLauncher.h"
#include "platform/Presence.h"
#include "platform/RegistryStore.h"
#include "support/Clock.h"
#include "ui/FileDialogs.h"
#include "ui/QtMessenger.h"
#include "ui/SendDialog.h"
#include "ui/WaitCursor.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

// Exit statuses, for print pipelines: 0 when every recipient's job was placed (or the print
// was copied to the chosen file).
constexpr int kExitWaitsForUser = 1;     // non-interactive: the dialog would wait for a person
constexpr int kExitSettingsUnusable = 2; // a store unreadable, or the data folder unusable
constexpr int kExitSomeNotPlaced = 3;    // the dialog closed with some recipient's job not placed
constexpr int kExitCancelled = 4;        // interactive: the user cancelled, no job was placed

// KALMOSEND_BENCH_EXIT=1 (bench/bench_startup): once the dialog has been shown, print the
// monotonic clock in microseconds and end at once, leaving everything as it is.
class BenchExit final : public QObject {
public:
    BenchExit() {
        m_exit.setSingleShot(true);
        connect(&m_exit, &QTimer::timeout, this, [] {
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("shown %lld\n",
                        static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
            std::fflush(stdout);
            ::_exit(0);
        });
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Show)
            m_exit.start(0);
        return false;
    }

private:
    QTimer m_exit;
};

} // namespace

int main(int argc, char* argv[]) {
    // A run without a person needs no display either: print pipelines run it on machines
    // without a desktop.
    const bool nonInteractive = qEnvironmentVariable("KALMOSEND_NONINTERACTIVE") == u"1";
    if (nonInteractive && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The command line is the printer driver's: Qt sees none of it, so no argument is taken
    // for one of its own options ("-title", "-display", ...). Message boxes are titled with
    // the program's file name, Qt's default application name.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    // Without a person at the desktop no window may wait: messages go to standard error,
    // questions take No, file dialogs are cancelled, and a dialog that would wait ends the
    // program with status 1, leaving the print file where it is.
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
    DesktopUrlOpener browser;
    DBusAutomationClient automation;
    PosixProcessLauncher processes;
    DBusPresence presence;
    WaitCursor busy;
    SystemClock clock;
    int exitCode = 0;
    BenchExit benchExit;
    const bool bench = qEnvironmentVariable("KALMOSEND_BENCH_EXIT") == u"1";

    const SendApp::DialogRunner runDialog = [&](SendApp& app, SendDialogState& state) {
        const SendServices services{app,          automation, processes, presence,
                                    *fileDialogs, busy,       clock};
        SendDialog dialog(services, state);
        if (bench)
            dialog.installEventFilter(&benchExit);
        if (!nonInteractive) {
            if (dialog.DoModal() != QDialog::Accepted)
                exitCode = kExitCancelled;
        } else if (dialog.OnInitDialog()) {
            dialog.Abandon();
            exitCode = kExitWaitsForUser;
        }
        if (exitCode == 0 && dialog.JobsNotPlaced() > 0)
            exitCode = kExitSomeNotPlaced;
    };
    SendApp sendApp(*registry, *messenger, help, browser, runDialog);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    sendApp.InitInstance(arguments);
    if (sendApp.StoreUnreadable() || sendApp.DataFolderUnusable())
        exitCode = kExitSettingsUnusable;
    sendApp.ExitInstance();
    return exitCode;
}
