#pragma once

// A sub-command of kalmofax: one class each, listed by name in the program's command table.
// The program folder's names (KalFax32.exe, ...) are links to kalmofax that pick a command by
// the name they were started as.

#include <QString>
#include <QStringList>

namespace faxapp {

class Command {
public:
    virtual ~Command() = default;

    // "journal", "view", ...
    virtual QString Name() const = 0;
    // One line for the usage text.
    virtual QString Description() const = 0;
    // Runs the command; argv[0] is the program as started, the command's own arguments follow
    // from argv[first]. Each command makes its own application object (a widget command a
    // QApplication, the others a QCoreApplication). The exit status.
    virtual int Execute(int argc, char* argv[], int first) = 0;
};

} // namespace faxapp
