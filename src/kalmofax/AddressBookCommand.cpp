#include "faxapp/sending/FaxSettings.h"
#include "faxapp/ui/AddressBookWindow.h"
#include "faxapp/ui/WindowLanguage.h"
#include "kalmofax/Commands.h"

#include <QApplication>
#include <cstdio>

namespace faxapp {

namespace {

class AddressBookCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("addressbook"); }
    QString Description() const override {
        return QStringLiteral("the address book window: the vCard folder's contacts and their "
                              "fax numbers");
    }
    int Execute(int argc, char* argv[], int) override {
        QApplication app(argc, argv);
        const WindowLanguage language;
        const FaxSettings settings = LoadFaxSettings();
        if (!settings.error.isEmpty())
            std::fprintf(stderr, "kalmofax: %s\n", qPrintable(settings.error));
        // Without the settings store the user's own folder is still the right one.
        const QString folder =
            settings.contactsDir.isEmpty() ? DefaultContactsDir() : settings.contactsDir;
        AddressBookWindow window(folder);
        window.show();
        return app.exec();
    }
};

} // namespace

std::unique_ptr<Command> MakeAddressBookCommand() {
    return std::make_unique<AddressBookCommand>();
}

} // namespace faxapp
