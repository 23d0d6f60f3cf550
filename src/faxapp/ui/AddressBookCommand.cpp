#include "faxapp/Commands.h"
#include "faxapp/StubCommand.h"

namespace faxapp {

std::unique_ptr<Command> MakeAddressBookCommand() {
    return std::make_unique<StubCommand>(QStringLiteral("addressbook"));
}

} // namespace faxapp
