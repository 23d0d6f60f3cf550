#include "app/SendApp.h"
#include "platform/HelpViewer.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/RegistryStore.h"
#include "ui/QtMessenger.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Message boxes are titled with the program's file name.
    QApplication::setApplicationName(QStringLiteral("kalmosend"));

    const bool nonInteractive = qEnvironmentVariable("KALMOSEND_NONINTERACTIVE") == u"1";
    std::unique_ptr<Messenger> messenger;
    if (nonInteractive)
        messenger = std::make_unique<NonInteractiveMessenger>();
    else
        messenger = std::make_unique<QtMessenger>();

    auto registry = Registry::OpenDefault();
    DesktopHelpViewer help;
    SendApp sendApp(*registry, *messenger, help, [](SendApp&, SendDialogState&) {
        // The send dialog runs here.
    });
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    sendApp.InitInstance(arguments);
    return sendApp.ExitInstance();
}
