#pragma once

// Where the fax application's programs find their folders: the same settings store and the
// same rules as kalmosend, so that both sides agree on the program and data folders.

#include "faxapp/sending/FaxServer.h"

#include <QString>

namespace faxapp {

// The per-user value (section "Fax") naming the vCard folder of the own address book.
inline const QString kValueContactsDir = QStringLiteral("KontakteDir");
// The per-user value (section "Fax") naming the kind of fax server that sends the jobs
// (kDefaultServerKind when it is not set).
inline const QString kValueServerKind = QStringLiteral("FaxServerKind");
// The per-user values (section "Fax") of the server's account are named after its kind:
// "<Kind>Host", "<Kind>Port", "<Kind>User", "<Kind>Password" with the kind's first letter in
// capitals.
QString ServerValueName(const QString& kind, const QString& part);

// The fax server that sends the jobs and the account used there. The defaults are those of
// the default kind.
struct ServerAccount {
    QString kind = kDefaultServerKind;
    QString host = QStringLiteral("localhost");
    quint16 port = 4559;
    QString user;     // empty: the login name of the process
    QString password; // sent only when the server asks for one
};

struct FaxSettings {
    QString systemDir;   // program folder (SystemDir)
    QString dataDir;     // data folder with its spool folders, created when missing
    QString contactsDir; // vCard folder, not created here
    ServerAccount server;
    QString error; // why the store could not be read; the folders are then empty
};

// Reads the settings store (Registry::OpenDefault) and makes sure the data folder and its
// spool folders exist. Problems are reported on standard error.
FaxSettings LoadFaxSettings();

// ${XDG_DATA_HOME:-~/.local/share}/kalmo/contacts
QString DefaultContactsDir();

} // namespace faxapp
