#pragma once

// Where the fax application's programs find their folders: the same settings store and the
// same rules as kalmosend, so that both sides agree on the program and data folders. And the
// fax server that sends the jobs, with the account used there.

#include "faxapp/journal/KeptDocuments.h"
#include "faxapp/sending/FaxServer.h"

#include <QString>

class RegistryStore;

namespace faxapp {

// The per-user value (section "Fax") naming the vCard folder of the own address book.
inline const QString kValueContactsDir = QStringLiteral("KontakteDir");
// The per-user value (section "Fax") naming the kind of fax server that sends the jobs
// (kDefaultServerKind when it is not set).
inline const QString kValueServerKind = QStringLiteral("FaxServerKind");
// The values (section "Fax") of the server's account are named after its kind: "<Kind>Host",
// "<Kind>Port", "<Kind>User", "<Kind>Password" with the kind's first letter in capitals. Host
// and port are read machine-wide, then per user, the per-user value winning; the user and the
// password per user only. The password is kept in the keyring (ServerPasswordKey); the
// "<Kind>Password" value of the user's store is its stand-in where no keyring runs.
QString ServerValueName(const QString& kind, const QString& part);

// Receiving (section "Fax", per user, 0/1): whether the faxes the server received are fetched
// into Faxrec (default 1), and whether the server's copy is removed once fetched (default 0:
// never removed at the server).
inline const QString kValueReceive = QStringLiteral("Empfangen");
inline const QString kValueDeleteReceived = QStringLiteral("EmpfangeneLoeschen");

// The fax server that sends the jobs and the account used there. The defaults are those of
// the default kind.
struct ServerAccount {
    QString kind = kDefaultServerKind;
    QString host = QStringLiteral("localhost");
    quint16 port = 4559;
    QString user;     // empty: the login name of the process
    QString password; // sent only when the server asks for one
};

// The per-user value (section "Fax"): the days a sent job's document is kept so that it can be
// sent again (KeptDocuments::kDefaultSentDays when not set).
inline const QString kValueKeepSentDays = QStringLiteral("DokumenteTage");

struct FaxSettings {
    QString systemDir;   // program folder (SystemDir)
    QString dataDir;     // data folder with its spool folders, created when missing
    QString contactsDir; // vCard folder, not created here
    ServerAccount server;
    bool receive = true;                                // fetch received faxes into Faxrec
    bool deleteReceived = false;                        // remove them at the server once fetched
    int keepSentDays = KeptDocuments::kDefaultSentDays; // days a sent job's document is kept
    QString error; // why the store could not be read; the folders are then empty
};

// The receiving values of the user's store into settings; values that are not 0 or 1 keep
// the defaults.
void ReadReceiveSettings(RegistryStore& user, FaxSettings& settings);

// Whether the server's password is read too: only the commands that send need it, and asking
// the keyring may wait for the user to unlock it.
enum class ServerPassword { Skip, Read };

// Reads the settings store (Registry::OpenDefault) and makes sure the data folder and its
// spool folders exist. Problems are reported on standard error.
FaxSettings LoadFaxSettings(ServerPassword password = ServerPassword::Skip);

// The keyring entry of an account's password: "<kind>://[USER@]HOST:PORT", USER being the
// account's user where it is set, an IPv6 address in brackets.
QString ServerPasswordKey(const ServerAccount& account);

// The account's password: from the keyring when one runs and has it, else the user store's
// "<Kind>Password". A keyring that cannot be read is reported on standard error.
QString ReadServerPassword(const ServerAccount& account, RegistryStore& user);

// ${XDG_DATA_HOME:-~/.local/share}/kalmo/contacts
QString DefaultContactsDir();

} // namespace faxapp
