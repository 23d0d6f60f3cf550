#pragma once

// Where the fax application's programs find their folders: the same settings store and the
// same rules as kalmosend, so that both sides agree on the program and data folders.

#include "faxapp/hylafax/HylafaxClient.h"

#include <QString>

class RegistryStore;

namespace faxapp {

// The per-user value (section "Fax") naming the vCard folder of the own address book.
inline const QString kValueContactsDir = QStringLiteral("KontakteDir");
// The values (section "Fax") naming the HylaFAX server that sends the jobs. Host and port are
// read machine-wide, then per user, the per-user value winning; the user and the password per
// user only. The password is kept in the keyring (HylafaxPasswordKey); HylafaxPassword in the
// user's store is its stand-in where no keyring runs.
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

// The keyring entry of an account's password: "hylafax://[USER@]HOST:PORT", USER being
// HylafaxUser where it is set, an IPv6 address in brackets.
QString HylafaxPasswordKey(const HylafaxAccount& account);

// The account's password: from the keyring when one runs and has it, else the user store's
// HylafaxPassword. A keyring that cannot be read is reported on standard error.
QString ReadHylafaxPassword(const HylafaxAccount& account, RegistryStore& user);

// ${XDG_DATA_HOME:-~/.local/share}/kalmo/contacts
QString DefaultContactsDir();

} // namespace faxapp
