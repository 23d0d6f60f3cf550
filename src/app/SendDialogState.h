#pragma once

#include "app/PrintFile.h"

#include <QString>
#include <QtGlobal>

class SendCommandLineInfo;

// The caller's data that start-up hands to the send dialog.
struct SendDialogState {
    QString m_strRemark;         // preset with the print job's title
    QString m_strCaption;        // caption suffix: the title, or "Fax-Abruf" for a poll
    PrintFile m_printFile;       // from /c, /d, /f
    qint32 m_bFileButton = 0;    // /x: the "Dateiname..." button is shown
    qint32 m_bPoll = 0;          // /a
    QString m_strPresetNumber;   // number handed over: the dialog submits at once
    QString m_strPresetSendTime; // DD.MM.YYYY HH:MM
    quint8 m_bSerialLetter = 0;  // one letter of a serial-letter run: no offer to start KALMO!fax
};
