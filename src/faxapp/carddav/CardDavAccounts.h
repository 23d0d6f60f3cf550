#pragma once

// The CardDAV accounts of the settings store: one key an account under kKeyAccounts, named
// after the account, with the values kValueUrl, kValueUser, kValueCaFile and kValueTimeLimit.
// Accounts are read machine-wide, then per user, each value of the user's store winning. The
// password is never in the store: it is kept per user in the keyring under
// PasswordKey ("carddav://USER@HOST:PORT").

#include "support/Result.h"

#include <QList>
#include <QString>
#include <QUrl>

class Registry;
class RegistryStore;

namespace faxapp::carddav {

// Below the section "Fax" of the application key: ...\Fax\CardDav\<account>.
inline const QString kKeyAccounts = QStringLiteral("CardDav");
// The server's address (the address book home or any address below the server's root: it
// is discovered from there), http or https.
inline const QString kValueUrl = QStringLiteral("Url");
// The user name for Basic authentication; empty: none is sent.
inline const QString kValueUser = QStringLiteral("User");
// A file of PEM certificates trusted for this server besides the system's.
inline const QString kValueCaFile = QStringLiteral("CaFile");
// Seconds each request may take; kDefaultTimeLimit when not set.
inline const QString kValueTimeLimit = QStringLiteral("TimeLimit");
inline constexpr int kDefaultTimeLimit = 30;
inline constexpr int kMaxTimeLimit = 600;

struct Account {
    QString name; // the key's name; the contacts folder's name in the send dialog
    QUrl url;
    QString user;
    QString caFile;
    int timeLimit = kDefaultTimeLimit; // seconds
    bool machineWide = false;          // the machine's store has the key
    bool userOwn = false;              // the user's store has the key
};

// The full key of an account; that of kKeyAccounts itself for an empty name.
QString AccountKey(const QString& name);

// Why name cannot name an account (a key and a folder of the cache), empty when it can: 1 to
// 64 characters, letters, digits, blanks, '.', '_' and '-', not starting with '.' or a blank.
QString CheckAccountName(const QString& name);
// Why url cannot be a server's address (not http or https, no host, credentials or a fragment
// in it), empty when it can.
QString CheckServerUrl(const QUrl& url);

// Why user cannot be sent as a Basic authentication's user (a ':', a control character), empty
// when it can.
QString CheckUser(const QString& user);

// The accounts of both stores by name, sorted as the user's language sorts.
QList<Account> ListAccounts(Registry& registry);
// One account; a problem when no store has it or its address is unusable.
Result<Account> ReadAccount(Registry& registry, const QString& name);
// Writes the account's values into store (created when missing); an empty user or CA file
// removes the value.
Result<void> WriteAccount(RegistryStore& store, const Account& account);
// Removes the account's key from store; a key that is not there is no problem.
Result<void> RemoveAccount(RegistryStore& store, const QString& name);

// The keyring entry of the account's password: "carddav://[USER@]HOST:PORT" with the port the
// address implies, an IPv6 address in brackets.
QString PasswordKey(const Account& account);

} // namespace faxapp::carddav
