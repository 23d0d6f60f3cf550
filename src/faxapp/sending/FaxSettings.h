#pragma once

// Where the fax application's programs find their folders: the same settings store and the
// same rules as kalmosend, so that both sides agree on the program and data folders.

#include "faxapp/hylafax/HylafaxClient.h"

#include <QString>

namespace faxapp {

// The per-user value (section "Fax") naming the vCard folder of the own address book.
inline const QString kValueContactsDir = QStringLiteral("KontakteDir");
// The per-user values (section "Fax") naming the HylaFAX server that sends the jobs.
inline const QString kValueHylafaxHost = QStringLiteral("HylafaxHost");
inline const QString kValueHylafaxPort = QStringLiteral("HylafaxPort");
inline const QString kValueHylafaxUser = QStringLiteral("HylafaxUser");
inline const QString kValueHylafaxPassword = QStringLiteral("HylafaxPassword");

struct FaxSettings {
    QString systemDir;   // program folder (SystemDir)
    QString dataDir;     // data folder with its spool folders, created when missing
    QString contactsDir; // vCard folder, not created here
    HylafaxAccount server;
    QString error; // why the store could not be read; the folders are then empty
};

// Reads the settings store (Registry::OpenDefault) and makes sure the data folder and its
// spool folders exist. Problems are reported on standard error.
FaxSettings LoadFaxSettings();

// ${XDG_DATA_HOME:-~/.local/share}/kalmo/contacts
QString DefaultContactsDir();

} // namespace faxapp
