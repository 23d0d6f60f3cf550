#pragma once

#include "app/PrintFile.h"

#include <QString>
#include <QStringList>
#include <optional>

// The parsed command line. Each option is one argument: "/" or "-", a letter (any case),
// and the value glued to it.
class SendCommandLineInfo {
public:
    QString m_strLanguage;     // /l
    QString m_strTitle;        // /t
    PrintFile m_printFile;     // /c, /d, /f
    QString m_strNumber;       // /n
    QString m_strSendTime;     // /s
    qint32 m_nResolution = 98; // /r, only 98 or 196
    qint32 m_bFileButton = 0;  // /x
    qint32 m_bPoll = 0;        // /a

    // Arguments that are not options and options with unknown letters land here; nothing
    // reads them.
    QStringList m_ignored;

    // param is the argument without its leading "/" or "-" when isFlag is true.
    void ParseParam(const QString& param, bool isFlag, bool isLast);
    // Parses every argument after the program name.
    void ParseCommandLine(const QStringList& arguments);

private:
    std::optional<QString> m_ownFile; // the file of the last /c or /d
};
