#pragma once

// The company directories (LDAP) that kalmofax serves as MAPI.Session: one profile a key
// Fax\Directories\<profile> of the settings store, read machine-wide, then per user, value by
// value, the per-user value winning. The bind password is kept per user in the keyring only,
// under DirectoryPasswordKey. The names below are shared with the windows that edit them.

#include "support/Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Registry;
class RegistryStore;

namespace faxapp::directory {

// Below the section "Fax" of the application key.
inline const QString kKeyDirectories = QStringLiteral("Directories");
inline const QString kKeyLists = QStringLiteral("Lists");
// Section "Fax": the profile used when the log-on names none (else the first by name).
inline const QString kValueDefaultDirectory = QStringLiteral("DefaultDirectory");

inline const QString kValueUris = QStringLiteral("Uris"); // ldap:// ldaps://, fail-over in order
inline const QString kValueStartTls = QStringLiteral("StartTls"); // 1 (default) or 0
inline const QString kValueCaFile = QStringLiteral("CaFile");     // empty: the system's CAs
inline const QString kValueBind = QStringLiteral("Bind");         // anonymous | simple | gssapi
inline const QString kValueBindDn = QStringLiteral("BindDn");
inline const QString kValueTimeLimit = QStringLiteral("TimeLimit"); // seconds
inline const QString kValueFollowReferrals = QStringLiteral("FollowReferrals");
inline const QString kValueBase = QStringLiteral("Base");
inline const QString kValueFilter = QStringLiteral("Filter"); // of a list only
inline const QString kValueNameAttributes = QStringLiteral("NameAttributes");
inline const QString kValuePrimaryFaxAttributes = QStringLiteral("PrimaryFaxAttributes");
inline const QString kValueBusinessFaxAttributes = QStringLiteral("BusinessFaxAttributes");
inline const QString kValueHomeFaxAttributes = QStringLiteral("HomeFaxAttributes");

// Defaults that fit both Active Directory (user objects) and OpenLDAP's inetOrgPerson.
inline const QString kDefaultNameAttributes = QStringLiteral("displayName cn");
inline const QString kDefaultPrimaryFaxAttributes = QStringLiteral("facsimileTelephoneNumber");
inline const QString kDefaultBusinessFaxAttributes =
    QStringLiteral("otherFacsimileTelephoneNumber");
inline const QString kDefaultHomeFaxAttributes = QStringLiteral("homeFacsimileTelephoneNumber");
inline constexpr int kDefaultTimeLimit = 10;

enum class BindMethod { Anonymous, Simple, Gssapi };

// A named address list: a search below Base with Filter.
struct AddressListSettings {
    QString name;
    QString base;   // empty: the profile's base, else the server's naming contexts
    QString filter; // empty: the people with a fax number
};

struct DirectoryProfile {
    QString name;
    QStringList uris;
    bool startTls = true;
    QString caFile;
    BindMethod bind = BindMethod::Anonymous;
    QString bindDn;
    int timeLimit = kDefaultTimeLimit;
    bool followReferrals = false;
    QString base;
    QStringList nameAttributes;
    QStringList primaryFaxAttributes;
    QStringList businessFaxAttributes;
    QStringList homeFaxAttributes;
    QList<AddressListSettings> lists; // sorted by name

    // The filter of the default list: people with any of the fax attributes.
    QString DefaultFilter() const;
    // The list of that name (letter case ignored); nullopt for none.
    std::optional<AddressListSettings> List(const QString& listName) const;
};

// A profile with every value at its default.
DirectoryProfile DefaultProfile(const QString& name);

// The profiles of both roots, sorted by name, each once.
QStringList ListProfiles(Registry& registry);
// The profile used when the log-on names none: DefaultDirectory, else the first by name.
// Empty when there is none.
QString DefaultProfileName(Registry& registry);
// The profile, merged from both roots; a problem when neither has it or a value is unusable.
Result<DirectoryProfile> ReadProfile(Registry& registry, const QString& name);
// Writes every value of the profile (and its lists) into one root, replacing what was there.
Result<void> WriteProfile(RegistryStore& store, const DirectoryProfile& profile);
// Removes the profile from one root; a profile the root does not have is no problem.
Result<void> RemoveProfile(RegistryStore& store, const QString& name);

// Checks every field that reaches the LDAP library or the store: names, URIs, DNs, filters,
// attribute names, the time limit. A problem naming the first bad field.
Result<void> CheckProfile(const DirectoryProfile& profile);

// The keyring entry of the bind password: "ldap://<BindDn>@<host:port of the first URI>".
QString DirectoryPasswordKey(const DirectoryProfile& profile);

QString BindMethodName(BindMethod method);
std::optional<BindMethod> ParseBindMethod(const QString& text);

} // namespace faxapp::directory
