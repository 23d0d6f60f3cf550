#include "fax/FaxContract.h"
#include "faxapp/carddav/BookService.h"
#include "faxapp/carddav/CardDavClient.h"
#include "faxapp/sending/FaxSettings.h"
#include "faxapp/served/ServedClasses.h"
#include "faxapp/ui/WindowLanguage.h"
#include "kalmofax/Commands.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <cstdio>

namespace faxapp {

namespace {

// serve <ProgID>: one automation class on the session bus until the bus goes away; the bus
// starts it by D-Bus activation when kalmosend first asks for the class.
class ServeCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("serve"); }
    QString Description() const override {
        return QStringLiteral("serve KalmoJournal.Document, KalmoAdr.Document, MAPI.Session or "
                              "Outlook.Application on the session bus (started by D-Bus "
                              "activation)");
    }

    int Execute(int argc, char* argv[], int first) override {
        if (argc != first + 1) {
            std::fprintf(stderr, "usage: kalmofax serve <ProgID>\n");
            return 2;
        }
        QCoreApplication app(argc, argv);
        // The words of the errors a caller shows, in the language the fax programs share.
        const WindowLanguage language;
        const QString progId = QString::fromLocal8Bit(argv[first]);
        // The company directory needs no folders: its profiles are read at each log-on.
        if (progId == fax::kProgIdMapiSession)
            return dbusauto::ServeOnSessionBus(app, DirectorySessionClass(), "kalmofax");
        if (progId != fax::kProgIdJournal && progId != fax::kProgIdAddressBook &&
            progId != fax::kProgIdOutlook) {
            std::fprintf(stderr, "kalmofax: no class %s\n", argv[first]);
            return 2;
        }
        const FaxSettings settings = LoadFaxSettings();
        if (!settings.error.isEmpty()) {
            std::fprintf(stderr, "kalmofax: the settings cannot be read: %s\n",
                         qPrintable(settings.error));
            return 1;
        }
        if (progId == fax::kProgIdOutlook) {
            // The accounts are read anew at every listing, so that a change of the settings
            // shows without a restart of the server.
            const auto books = std::make_shared<carddav::BookService>(
                settings.dataDir,
                [] {
                    const auto registry = Registry::OpenDefault();
                    return carddav::ListAccounts(*registry);
                },
                carddav::ReadPassword, carddav::BookService::Options{});
            return dbusauto::ServeOnSessionBus(app, OutlookApplicationClass(books), "kalmofax");
        }
        const dbusauto::ServedClass served = progId == fax::kProgIdJournal
                                                 ? JournalClass(settings.dataDir)
                                                 : AddressBookClass(settings.contactsDir);
        return dbusauto::ServeOnSessionBus(app, served, "kalmofax");
    }
};

} // namespace

std::unique_ptr<Command> MakeServeCommand() {
    return std::make_unique<ServeCommand>();
}

} // namespace faxapp
