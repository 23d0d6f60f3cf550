#include "faxapp/Commands.h"
#include "faxapp/StubCommand.h"

namespace faxapp {

std::unique_ptr<Command> MakeRunCommand() {
    return std::make_unique<StubCommand>(QStringLiteral("run"));
}

} // namespace faxapp
