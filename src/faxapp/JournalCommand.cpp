#include "faxapp/Commands.h"
#include "faxapp/StubCommand.h"

namespace faxapp {

std::unique_ptr<Command> MakeJournalCommand() {
    return std::make_unique<StubCommand>(QStringLiteral("journal"));
}

} // namespace faxapp
