#include "Roles.h"

#include "PageConverter.h"

#include <cstdio>

namespace standin {

// Each role adds its entry here as it arrives.
QList<ProgramRole> ProgramRoles() {
    return {
        {QStringLiteral("R3ozav.exe"), &RunPageConverter},
    };
}

int Serve(int /*argc*/, char* /*argv*/[], const QString& progId) {
    std::fprintf(stderr, "kalmo-standin: no class %s\n", qPrintable(progId));
    return 1;
}

} // namespace standin
