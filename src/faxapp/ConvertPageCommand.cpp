#include "faxapp/Commands.h"
#include "faxapp/StubCommand.h"

namespace faxapp {

std::unique_ptr<Command> MakeConvertPageCommand() {
    return std::make_unique<StubCommand>(QStringLiteral("convert-page"));
}

} // namespace faxapp
