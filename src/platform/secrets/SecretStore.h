#pragma once

// The desktop's keyring, where the programs keep passwords: the Secret Service on the session
// bus (gnome-keyring, KeePassXC, ...) or KWallet, through QtKeychain. The calls block: each
// runs a local event loop until the keyring answers or the time is up, so a command-line
// program with a QCoreApplication can use them. Entries are kept under the service
// kSecretService and a key that names the account (see faxapp::ServerPasswordKey).

#include "support/Result.h"

#include <QString>
#include <chrono>
#include <optional>

namespace secrets {

inline const QString kSecretService = QStringLiteral("kalmofax");
// Long enough for the keyring to ask the user to unlock it.
inline constexpr std::chrono::milliseconds kDefaultTimeout{30000};

// Is a keyring there: a service on the session bus that keeps secrets, running or startable
// by the bus. False without a session bus.
bool KeyringAvailable();

// The secret kept under key; nullopt when the keyring has no such entry. A problem when the
// keyring cannot be asked, refuses or does not answer in time.
Result<std::optional<QString>> ReadSecret(const QString& key,
                                          std::chrono::milliseconds timeout = kDefaultTimeout);
Result<void> WriteSecret(const QString& key, const QString& secret,
                         std::chrono::milliseconds timeout = kDefaultTimeout);
// Removes the entry; an entry that is not there is no problem.
Result<void> DeleteSecret(const QString& key, std::chrono::milliseconds timeout = kDefaultTimeout);

} // namespace secrets
