#include "faxapp/Commands.h"
#include "faxapp/StubCommand.h"

namespace faxapp {

std::unique_ptr<Command> MakeVersionCommand() {
    return std::make_unique<StubCommand>(QStringLiteral("version"));
}

} // namespace faxapp
