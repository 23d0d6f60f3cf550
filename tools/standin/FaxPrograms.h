#pragma once

namespace standin {

// KalFax32.exe: owns the fax application's presence name on the session bus while it runs.
int RunFaxApplication(int argc, char* argv[]);
// KalAdr32.exe, Kalvw32.exe, KalVer32.exe: note the start and end.
int RunNoteAndExit(int argc, char* argv[]);

} // namespace standin
