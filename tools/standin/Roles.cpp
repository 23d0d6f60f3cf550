#include "Roles.h"

#include "FaxPrograms.h"

#include <cstdio>

namespace standin {

// Each role adds its entry here as it arrives.
QList<ProgramRole> ProgramRoles() {
    return {
        {QStringLiteral("KalFax32.exe"), &RunFaxApplication},
        {QStringLiteral("KalAdr32.exe"), &RunNoteAndExit},
        {QStringLiteral("Kalvw32.exe"), &RunNoteAndExit},
        {QStringLiteral("KalVer32.exe"), &RunNoteAndExit},
    };
}

int Serve(int /*argc*/, char* /*argv*/[], const QString& progId) {
    std::fprintf(stderr, "kalmo-standin: no class %s\n", qPrintable(progId));
    return 1;
}

} // namespace standin
