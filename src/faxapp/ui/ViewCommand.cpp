#include "faxapp/Commands.h"
#include "faxapp/StubCommand.h"

namespace faxapp {

std::unique_ptr<Command> MakeViewCommand() {
    return std::make_unique<StubCommand>(QStringLiteral("view"));
}

} // namespace faxapp
