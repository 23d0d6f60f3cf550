#pragma once

#include <QString>
#include <QStringList>

// Starting the fax application's programs.
struct ProcessStart {
    QString program;          // path of the executable
    QStringList arguments;    // each stays one argument, blanks and all
    QString workingDirectory; // empty: the current folder
    enum class Show { Normal, Minimised, Hidden } show = Show::Normal;
    bool wait = false; // wait for the program to end
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // True when the program was started (and, with wait, has ended). False with errno set to
    // the reason (ENOENT when the program does not exist), so that GetLastErrorText tells it.
    virtual bool Start(const ProcessStart& start) = 0;
};
