#include "Roles.h"

#include "FaxPrograms.h"


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

} // namespace standin
