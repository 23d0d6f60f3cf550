#pragma once

// A connection to a company directory over LDAP (OpenLDAP's client library): the servers of a
// profile tried in order, StartTLS with the server's certificate checked, a bind (anonymous,
// simple or SASL GSSAPI), and searches read page by page (the simple paged results control)
// so that a server's size limit does not cut a list. Problems carry the directory's own words
// (the library's text for the result code and the server's diagnostic message).

#include "faxapp/directory/DirectorySettings.h"
#include "support/Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

typedef struct ldap LDAP; // NOLINT(modernize-use-using): as <ldap.h> declares it

namespace faxapp::directory {

// One person of a list: the display name and the three fax numbers.
struct DirectoryEntry {
    QString name;
    QString primaryFax;
    QString businessFax;
    QString homeFax;
};

// Entries per page: below the size limit of common servers (Active Directory's MaxPageSize is
// 1000, OpenLDAP's default 500).
inline constexpr int kPageSize = 500;

class LdapDirectory {
public:
    ~LdapDirectory();
    LdapDirectory(const LdapDirectory&) = delete;
    LdapDirectory& operator=(const LdapDirectory&) = delete;

    // Connects to the first server of the profile that answers and binds there; password is
    // used by a simple bind only.
    static Result<std::unique_ptr<LdapDirectory>> Connect(const DirectoryProfile& profile,
                                                          const QString& password);

    const DirectoryProfile& Profile() const { return m_profile; }
    // The server reached.
    const QString& Uri() const { return m_uri; }
    // Who the server says the connection is bound as ("anonymous" when it is not).
    QString BoundAs();

    // The entries of the list of that name, every page of them, sorted by name as the user's
    // language sorts; an empty name is the default list (people with a fax number in the
    // profile's base, else in the server's naming contexts).
    Result<QList<DirectoryEntry>> ReadList(const QString& listName);

private:
    LdapDirectory(LDAP* ld, DirectoryProfile profile, QString uri);
    Result<QStringList> DefaultBases();
    Result<void> Search(const QString& base, const QString& filter, QList<DirectoryEntry>& out);

    LDAP* m_ld;
    DirectoryProfile m_profile;
    QString m_uri;
};

// Stable, by name as the user's language sorts.
void SortEntries(QList<DirectoryEntry>& entries);

// The bind password of a profile with a simple bind, from the keyring; empty for the others.
Result<QString> ReadDirectoryPassword(const DirectoryProfile& profile);

// Connects with the profile of that name as the served class does and says in words what it
// reached: the server, the identity bound as, the number of entries with a fax number.
Result<QString> TestDirectory(Registry& registry, const QString& profileName);

} // namespace faxapp::directory
