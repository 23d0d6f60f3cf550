#include "faxapp/directory/LdapDirectory.h"

#include "platform/secrets/SecretStore.h"

#include <QCollator>
#include <QCoreApplication>
#include <algorithm>
#include <ldap.h>
#include <sys/time.h>
#include <vector>

namespace faxapp::directory {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::Directory", text);
}

QString FromLdap(const char* text) {
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

// The library's text for a result code, with the diagnostic message of the connection (the
// server's words, or the TLS layer's reason) when there is one.
QString Words(LDAP* ld, int rc, const char* serverMessage = nullptr) {
    QString text = FromLdap(ldap_err2string(rc));
    QString detail = FromLdap(serverMessage);
    if (detail.isEmpty() && ld != nullptr) {
        char* diagnostic = nullptr;
        if (ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS) {
            detail = FromLdap(diagnostic);
            ldap_memfree(diagnostic);
        }
    }
    detail = detail.trimmed();
    if (!detail.isEmpty() && detail != text)
        text += QStringLiteral(" (") + detail + u')';
    return text;
}

bool TryNextServer(int rc) {
    return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT ||
           rc == LDAP_UNAVAILABLE || rc == LDAP_BUSY;
}

struct LdapFree {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using LdapHandle = std::unique_ptr<LDAP, LdapFree>;

struct MessageFree {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using MessageHandle = std::unique_ptr<LDAPMessage, MessageFree>;

struct ControlsFree {
    void operator()(LDAPControl** controls) const { ldap_controls_free(controls); }
};
using ControlsHandle = std::unique_ptr<LDAPControl*, ControlsFree>;

// A NULL-terminated array of attribute names for the library, kept alive with its bytes.
class AttributeArray {
public:
    explicit AttributeArray(const QStringList& names) {
        for (const QString& name : names)
            m_bytes.push_back(name.toUtf8());
        for (QByteArray& bytes : m_bytes)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }
    char** Get() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_pointers;
};

// The first value of the first of the attributes that the entry has.
QString FirstValue(LDAP* ld, LDAPMessage* entry, const QStringList& attributes) {
    for (const QString& attribute : attributes) {
        berval** values = ldap_get_values_len(ld, entry, attribute.toUtf8().constData());
        if (values == nullptr)
            continue;
        QString text;
        for (berval** value = values; *value != nullptr && text.isEmpty(); ++value)
            text = QString::fromUtf8((*value)->bv_val, qsizetype((*value)->bv_len)).trimmed();
        ldap_value_free_len(values);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// The value of the entry's first name component (the "cn" of "cn=Anna,ou=people"), for an
// entry without a name attribute.
QString FirstRdnValue(LDAP* ld, LDAPMessage* entry) {
    char* dn = ldap_get_dn(ld, entry);
    if (dn == nullptr)
        return {};
    QString text;
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(dn, &parsed, LDAP_DN_FORMAT_LDAPV3) == LDAP_SUCCESS && parsed != nullptr &&
        parsed[0] != nullptr && parsed[0][0] != nullptr) {
        const berval& value = parsed[0][0]->la_value;
        text = QString::fromUtf8(value.bv_val, qsizetype(value.bv_len)).trimmed();
    }
    ldap_dnfree(parsed);
    ldap_memfree(dn);
    return text;
}

int QuietSasl(LDAP* /*ld*/, unsigned /*flags*/, void* /*defaults*/, void* /*interact*/) {
    return LDAP_SUCCESS; // GSSAPI takes the ticket of the user's Kerberos cache
}

int Bind(LDAP* ld, const DirectoryProfile& profile, const QString& password) {
    switch (profile.bind) {
    case BindMethod::Gssapi:
        return ldap_sasl_interactive_bind_s(ld, nullptr, "GSSAPI", nullptr, nullptr,
                                            LDAP_SASL_QUIET, QuietSasl, nullptr);
    case BindMethod::Simple: {
        QByteArray secret = password.toUtf8();
        berval credentials{static_cast<ber_len_t>(secret.size()), secret.data()};
        const int rc = ldap_sasl_bind_s(ld, profile.bindDn.toUtf8().constData(), LDAP_SASL_SIMPLE,
                                        &credentials, nullptr, nullptr, nullptr);
        secret.fill('\0');
        return rc;
    }
    case BindMethod::Anonymous:
        break;
    }
    berval none{0, nullptr};
    return ldap_sasl_bind_s(ld, nullptr, LDAP_SASL_SIMPLE, &none, nullptr, nullptr, nullptr);
}

bool IsLdaps(const QString& uri) {
    return uri.startsWith(QStringLiteral("ldaps://"), Qt::CaseInsensitive);
}

// Does TLS work with the server when its certificate is not checked? Then the check is what
// failed. Nothing goes over this connection but the handshake.
bool TlsWithoutCheck(const DirectoryProfile& profile, const QString& uri) {
    LDAP* raw = nullptr;
    if (ldap_initialize(&raw, uri.toUtf8().constData()) != LDAP_SUCCESS)
        return false;
    LdapHandle ld(raw);
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    const timeval limit{profile.timeLimit, 0};
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &limit);
    const int never = LDAP_OPT_X_TLS_NEVER;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &never);
    const int server = 0;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &server);
    if (IsLdaps(uri))
        return ldap_connect(ld.get()) == LDAP_SUCCESS;
    return ldap_start_tls_s(ld.get(), nullptr, nullptr) == LDAP_SUCCESS;
}

// A failed TLS handshake in words: the library's (which often has none of its own for a
// certificate), and whether the certificate is the reason.
QString TlsFailure(const DirectoryProfile& profile, const QString& uri, const QString& words) {
    if (!TlsWithoutCheck(profile, uri))
        return Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "TLS gescheitert: %1")).arg(words);
    const QString authorities =
        profile.caFile.isEmpty()
            ? Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "die Zertifizierungsstellen des Systems"))
            : profile.caFile;
    return Tr(QT_TRANSLATE_NOOP(
                  "faxapp::Directory",
                  "dem Zertifikat des Servers wird nicht vertraut: es ist nicht von %1 "
                  "unterschrieben oder nicht auf den Namen des Servers ausgestellt (%2)"))
        .arg(authorities, words);
}

// One server: options, StartTLS, bind. The problem's reason holds the directory's words.
Result<LdapHandle> ConnectOne(const DirectoryProfile& profile, const QString& uri,
                              const QString& password, int& rcOut) {
    LDAP* raw = nullptr;
    rcOut = ldap_initialize(&raw, uri.toUtf8().constData());
    LdapHandle ld(raw);
    if (rcOut != LDAP_SUCCESS)
        return Problem{0, uri, Words(nullptr, rcOut)};
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS,
                    profile.followReferrals ? LDAP_OPT_ON : LDAP_OPT_OFF);
    const timeval limit{profile.timeLimit, 0};
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &limit);
    // The server's certificate is checked, against the profile's CA file or the system's.
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    if (!profile.caFile.isEmpty())
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CACERTFILE, profile.caFile.toUtf8().constData());
    const int server = 0;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &server);

    if (profile.startTls && !IsLdaps(uri)) {
        rcOut = ldap_start_tls_s(ld.get(), nullptr, nullptr);
        if (rcOut == LDAP_CONNECT_ERROR)
            return Problem{0, uri, TlsFailure(profile, uri, Words(ld.get(), rcOut))};
        if (rcOut != LDAP_SUCCESS)
            return Problem{0, uri,
                           Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "StartTLS gescheitert: %1"))
                               .arg(Words(ld.get(), rcOut))};
    } else if (IsLdaps(uri)) {
        // The handshake before the bind: the password goes only to a server that was checked.
        rcOut = ldap_connect(ld.get());
        // A failed handshake reads as a server that cannot be reached.
        if ((rcOut == LDAP_CONNECT_ERROR || rcOut == LDAP_SERVER_DOWN) &&
            TlsWithoutCheck(profile, uri))
            return Problem{0, uri, TlsFailure(profile, uri, Words(ld.get(), rcOut))};
        if (rcOut != LDAP_SUCCESS)
            return Problem{0, uri, Words(ld.get(), rcOut)};
    }
    rcOut = Bind(ld.get(), profile, password);
    if (rcOut != LDAP_SUCCESS)
        return Problem{0, uri, Words(ld.get(), rcOut)};
    return ld;
}

} // namespace

LdapDirectory::LdapDirectory(LDAP* ld, DirectoryProfile profile, QString uri)
    : m_ld(ld), m_profile(std::move(profile)), m_uri(std::move(uri)) {}

LdapDirectory::~LdapDirectory() {
    LdapFree()(m_ld);
}

Result<std::unique_ptr<LdapDirectory>> LdapDirectory::Connect(const DirectoryProfile& profile,
                                                              const QString& password) {
    if (Result<void> checked = CheckProfile(profile); !checked)
        return checked.Error();
    QStringList failures;
    for (const QString& uri : profile.uris) {
        int rc = LDAP_SUCCESS;
        Result<LdapHandle> connected = ConnectOne(profile, uri, password, rc);
        if (connected)
            return std::unique_ptr<LdapDirectory>(
                new LdapDirectory(connected->release(), profile, uri));
        failures.append(connected.Error().Text());
        // A refused bind or a server that will not speak TLS is the answer; another server of
        // the same directory would give the same.
        if (!TryNextServer(rc))
            break;
    }
    return Problem{0, profile.name, failures.join(QStringLiteral("; "))};
}

QString LdapDirectory::BoundAs() {
    berval* identity = nullptr;
    QString who;
    if (ldap_whoami_s(m_ld, &identity, nullptr, nullptr) == LDAP_SUCCESS && identity != nullptr)
        who = QString::fromUtf8(identity->bv_val, qsizetype(identity->bv_len));
    ber_bvfree(identity);
    if (who.startsWith(QStringLiteral("dn:")))
        who = who.mid(3);
    if (who.isEmpty())
        who = m_profile.bind == BindMethod::Simple
                  ? m_profile.bindDn
                  : Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "anonym"));
    return who;
}

Result<QStringList> LdapDirectory::DefaultBases() {
    if (!m_profile.base.isEmpty())
        return QStringList{m_profile.base};
    AttributeArray attributes(
        {QStringLiteral("defaultNamingContext"), QStringLiteral("namingContexts")});
    timeval limit{m_profile.timeLimit, 0};
    LDAPMessage* raw = nullptr;
    const int rc = ldap_search_ext_s(m_ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attributes.Get(),
                                     0, nullptr, nullptr, &limit, 1, &raw);
    MessageHandle result(raw);
    if (rc != LDAP_SUCCESS)
        return Problem{0, m_uri, Words(m_ld, rc)};
    QStringList bases;
    if (LDAPMessage* root = ldap_first_entry(m_ld, result.get())) {
        // Active Directory names its domain; other servers list every context they hold.
        for (const char* attribute : {"defaultNamingContext", "namingContexts"}) {
            berval** values = ldap_get_values_len(m_ld, root, attribute);
            for (berval** value = values; value != nullptr && *value != nullptr; ++value)
                bases.append(QString::fromUtf8((*value)->bv_val, qsizetype((*value)->bv_len)));
            ldap_value_free_len(values);
            if (!bases.isEmpty())
                break;
        }
    }
    if (bases.isEmpty())
        return Problem{0, m_uri,
                       Tr(QT_TRANSLATE_NOOP(
                           "faxapp::Directory",
                           "der Server nennt keinen Namenskontext; bitte den Wert Base setzen"))};
    return bases;
}

Result<void> LdapDirectory::Search(const QString& base, const QString& filter,
                                   QList<DirectoryEntry>& out) {
    QStringList wanted = m_profile.nameAttributes;
    wanted << m_profile.primaryFaxAttributes << m_profile.businessFaxAttributes
           << m_profile.homeFaxAttributes;
    AttributeArray attributes(wanted);
    const QByteArray baseBytes = base.toUtf8();
    const QByteArray filterBytes = filter.toUtf8();
    berval cookie{0, nullptr};
    const auto freeCookie = [&cookie] {
        ber_memfree(cookie.bv_val);
        cookie = {0, nullptr};
    };
    do {
        LDAPControl* page = nullptr;
        int rc = ldap_create_page_control(m_ld, kPageSize, &cookie, 0, &page);
        freeCookie();
        if (rc != LDAP_SUCCESS)
            return Problem{0, m_uri, Words(m_ld, rc)};
        LDAPControl* controls[] = {page, nullptr};
        timeval limit{m_profile.timeLimit, 0};
        LDAPMessage* raw = nullptr;
        rc = ldap_search_ext_s(m_ld, baseBytes.constData(), LDAP_SCOPE_SUBTREE,
                               filterBytes.constData(), attributes.Get(), 0, controls, nullptr,
                               &limit, 0, &raw);
        ldap_control_free(page);
        MessageHandle result(raw);
        if (!result)
            return Problem{0, m_uri, Words(m_ld, rc)};

        for (LDAPMessage* entry = ldap_first_entry(m_ld, result.get()); entry != nullptr;
             entry = ldap_next_entry(m_ld, entry)) {
            DirectoryEntry one;
            one.name = FirstValue(m_ld, entry, m_profile.nameAttributes);
            if (one.name.isEmpty())
                one.name = FirstRdnValue(m_ld, entry);
            one.primaryFax = FirstValue(m_ld, entry, m_profile.primaryFaxAttributes);
            one.businessFax = FirstValue(m_ld, entry, m_profile.businessFaxAttributes);
            one.homeFax = FirstValue(m_ld, entry, m_profile.homeFaxAttributes);
            // A nameless entry would end the send dialog's walk of the list.
            if (!one.name.isEmpty())
                out.append(std::move(one));
        }

        int code = LDAP_SUCCESS;
        char* message = nullptr;
        char** referrals = nullptr;
        LDAPControl** rawControls = nullptr;
        rc = ldap_parse_result(m_ld, result.get(), &code, nullptr, &message, &referrals,
                               &rawControls, 0);
        ControlsHandle returned(rawControls);
        QString referralText;
        for (char** referral = referrals; referral != nullptr && *referral != nullptr; ++referral)
            referralText += u' ' + FromLdap(*referral);
        ldap_memvfree(reinterpret_cast<void**>(referrals));
        const QString words = Words(m_ld, rc != LDAP_SUCCESS ? rc : code, message);
        ldap_memfree(message);
        if (rc != LDAP_SUCCESS)
            return Problem{0, m_uri, words};
        if (code == LDAP_REFERRAL)
            return Problem{
                0, m_uri,
                Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                     "%1: der Server verweist auf%2 (FollowReferrals ist aus)"))
                    .arg(words, referralText)};
        if (code != LDAP_SUCCESS)
            return Problem{0, m_uri,
                           Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "%1 in %2")).arg(words, base)};
        if (LDAPControl* answer =
                ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned.get(), nullptr)) {
            ber_int_t estimate = 0;
            if (ldap_parse_pageresponse_control(m_ld, answer, &estimate, &cookie) != LDAP_SUCCESS)
                freeCookie();
        }
    } while (cookie.bv_len > 0);
    freeCookie();
    return Success();
}

Result<QList<DirectoryEntry>> LdapDirectory::ReadList(const QString& listName) {
    QStringList bases;
    QString filter = m_profile.DefaultFilter();
    if (!listName.isEmpty()) {
        const auto list = m_profile.List(listName);
        if (!list)
            return Problem{0, listName,
                           Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                                "das Verzeichnis hat diese Adressliste nicht"))};
        if (!list->base.isEmpty())
            bases.append(list->base);
        if (!list->filter.isEmpty())
            filter = list->filter;
    }
    if (bases.isEmpty()) {
        Result<QStringList> found = DefaultBases();
        if (!found)
            return found.Error();
        bases = *found;
    }
    QList<DirectoryEntry> entries;
    for (const QString& base : bases) {
        if (Result<void> searched = Search(base, filter, entries); !searched)
            return searched.Error();
    }
    SortEntries(entries);
    return entries;
}

void SortEntries(QList<DirectoryEntry>& entries) {
    QCollator collator;
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i)
        keys.emplace_back(collator.sortKey(entries.at(i).name), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QList<DirectoryEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys)
        sorted.append(std::move(entries[key.second]));
    entries = std::move(sorted);
}

Result<QString> ReadDirectoryPassword(const DirectoryProfile& profile) {
    if (profile.bind != BindMethod::Simple)
        return QString();
    const QString key = DirectoryPasswordKey(profile);
    if (!secrets::KeyringAvailable())
        return Problem{
            0, key,
            Tr(QT_TRANSLATE_NOOP(
                "faxapp::Directory",
                "kein Schlüsselbund läuft, das Anmeldepasswort kann nicht gelesen werden"))};
    Result<std::optional<QString>> secret = secrets::ReadSecret(key);
    if (!secret)
        return secret.Error();
    if (!secret->has_value())
        return Problem{0, key,
                       Tr(QT_TRANSLATE_NOOP(
                           "faxapp::Directory",
                           "der Schlüsselbund hat kein Anmeldepasswort für das Verzeichnis"))};
    return **secret;
}

Result<QString> TestDirectory(Registry& registry, const QString& profileName) {
    Result<DirectoryProfile> profile = ReadProfile(registry, profileName);
    if (!profile)
        return profile.Error();
    Result<QString> password = ReadDirectoryPassword(*profile);
    if (!password)
        return password.Error();
    auto connected = LdapDirectory::Connect(*profile, *password);
    if (!connected)
        return connected.Error();
    LdapDirectory& directory = **connected;
    Result<QList<DirectoryEntry>> entries = directory.ReadList({});
    if (!entries)
        return entries.Error();
    const int count = int(entries->size());
    return QCoreApplication::translate("faxapp::Directory",
                                       "Server %1 erreicht, angemeldet als %2: %n Einträge "
                                       "mit Faxnummer.",
                                       nullptr, count)
        .arg(directory.Uri(), directory.BoundAs());
}

} // namespace faxapp::directory
