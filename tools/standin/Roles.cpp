#include "Roles.h"

#include "FaxPrograms.h"
#include "PageConverter.h"

namespace standin {

QList<ProgramRole> ProgramRoles() {
    return {
        {QStringLiteral("KalFax32.exe"), &RunFaxApplication},
        {QStringLiteral("KalAdr32.exe"), &RunNoteAndExit},
        {QStringLiteral("Kalvw32.exe"), &RunNoteAndExit},
        {QStringLiteral("KalVer32.exe"), &RunNoteAndExit},
        {QStringLiteral("R3ozav.exe"), &RunPageConverter},
    };
}

} // namespace standin
