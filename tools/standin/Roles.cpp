#include "Roles.h"

namespace standin {

// Each role adds its entry here as it arrives.
QList<ProgramRole> ProgramRoles() {
    return {};
}

} // namespace standin
