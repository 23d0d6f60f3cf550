#pragma once

#include <QList>
#include <QString>

namespace standin {

// Serves one automation class on the session bus until the bus goes away.
int Serve(int argc, char* argv[], const QString& progId);

// A program of the fax application's program folder.
struct ProgramRole {
    QString name; // e.g. "R3ozav.exe"
    int (*run)(int argc, char* argv[]);
};
QList<ProgramRole> ProgramRoles();

} // namespace standin
