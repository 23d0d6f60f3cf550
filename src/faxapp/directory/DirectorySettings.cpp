#include "faxapp/directory/DirectorySettings.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <ldap.h>

namespace faxapp::directory {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::Directory", text);
}

QString DirectoriesKey() {
    return fax::SectionKey(fax::kSectionFax) + u'\\' + kKeyDirectories;
}

QString ProfileKey(const QString& name) {
    return DirectoriesKey() + u'\\' + name;
}

QString ListsKey(const QString& profile) {
    return ProfileKey(profile) + u'\\' + kKeyLists;
}

QStringList Words(const QString& text) {
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// A value of key: machine-wide, then per user, the per-user value winning; nullopt when
// neither root has it.
std::optional<QString> MachineThenUser(Registry& registry, const QString& key,
                                       const QString& name) {
    std::optional<QString> text;
    for (RegistryStore* store : {&registry.Machine(), &registry.User()}) {
        if (const auto value = store->QueryValue(key, name))
            text = fax::UpToNul(value->ToText());
    }
    return text;
}

QStringList SubKeysOfBoth(Registry& registry, const QString& key) {
    QStringList names;
    for (RegistryStore* store : {&registry.Machine(), &registry.User()}) {
        for (const QString& name : store->SubKeys(key)) {
            const bool known = std::any_of(names.cbegin(), names.cend(), [&](const QString& n) {
                return n.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (!known)
                names.append(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

bool ParseFlag(const std::optional<QString>& text, bool fallback) {
    if (!text || text->trimmed().isEmpty())
        return fallback;
    return text->trimmed() != u"0";
}

// A name of a key below Directories: no separator, no control characters.
bool UsableName(const QString& name) {
    if (name.trimmed().isEmpty() || name.size() > 128 || name.trimmed() != name)
        return false;
    return std::none_of(name.cbegin(), name.cend(),
                        [](QChar c) { return c == u'\\' || c.category() == QChar::Other_Control; });
}

bool HasControl(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool UsableDn(const QString& dn) {
    if (dn.isEmpty())
        return true;
    if (HasControl(dn))
        return false;
    LDAPDN parsed = nullptr;
    const bool ok =
        ldap_str2dn(dn.toUtf8().constData(), &parsed, LDAP_DN_FORMAT_LDAPV3) == LDAP_SUCCESS;
    ldap_dnfree(parsed);
    return ok;
}

bool UsableUri(const QString& uri) {
    if (HasControl(uri) || uri.contains(u' '))
        return false;
    LDAPURLDesc* desc = nullptr;
    if (ldap_url_parse(uri.toUtf8().constData(), &desc) != LDAP_URL_SUCCESS)
        return false;
    const QString scheme = QString::fromUtf8(desc->lud_scheme).toLower();
    const bool ok = (scheme == u"ldap" || scheme == u"ldaps") && desc->lud_host != nullptr &&
                    *desc->lud_host != '\0';
    ldap_free_urldesc(desc);
    return ok;
}

// A search filter in parentheses, balanced, without control characters; the server judges
// the rest and says so in its own words.
bool UsableFilter(const QString& filter) {
    if (filter.isEmpty())
        return true;
    if (HasControl(filter) || !filter.startsWith(u'(') || !filter.endsWith(u')'))
        return false;
    int depth = 0;
    for (qsizetype i = 0; i < filter.size(); ++i) {
        const QChar c = filter.at(i);
        if (c == u'\\') {
            ++i; // an escaped character
            continue;
        }
        if (c == u'(')
            ++depth;
        else if (c == u')' && --depth < 0)
            return false;
        if (depth == 0 && i + 1 < filter.size())
            return false; // two filters side by side
    }
    return depth == 0;
}

bool UsableAttributes(const QStringList& attributes) {
    static const QRegularExpression kAttribute(
        QStringLiteral("^(?:[A-Za-z][A-Za-z0-9-]*|[0-9]+(?:\\.[0-9]+)+)(?:;[A-Za-z0-9-]+)*$"));
    return !attributes.isEmpty() &&
           std::all_of(attributes.cbegin(), attributes.cend(),
                       [](const QString& a) { return kAttribute.match(a).hasMatch(); });
}

Problem Bad(const QString& profile, const QString& field, const QString& value) {
    return {0, profile,
            Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "der Wert %1 \"%2\" ist nicht verwendbar"))
                .arg(field, QString(value).left(200))};
}

} // namespace

QString BindMethodName(BindMethod method) {
    switch (method) {
    case BindMethod::Simple:
        return QStringLiteral("simple");
    case BindMethod::Gssapi:
        return QStringLiteral("gssapi");
    case BindMethod::Anonymous:
        break;
    }
    return QStringLiteral("anonymous");
}

std::optional<BindMethod> ParseBindMethod(const QString& text) {
    const QString word = text.trimmed().toLower();
    if (word.isEmpty() || word == u"anonymous")
        return BindMethod::Anonymous;
    if (word == u"simple")
        return BindMethod::Simple;
    if (word == u"gssapi")
        return BindMethod::Gssapi;
    return std::nullopt;
}

QString DirectoryProfile::DefaultFilter() const {
    QString numbers;
    for (const QStringList* attributes :
         {&primaryFaxAttributes, &businessFaxAttributes, &homeFaxAttributes}) {
        for (const QString& attribute : *attributes)
            numbers += u'(' + attribute + QStringLiteral("=*)");
    }
    return QStringLiteral("(&(|(objectClass=person)(objectClass=inetOrgPerson))(|%1))")
        .arg(numbers);
}

std::optional<AddressListSettings> DirectoryProfile::List(const QString& listName) const {
    for (const AddressListSettings& list : lists) {
        if (list.name.compare(listName, Qt::CaseInsensitive) == 0)
            return list;
    }
    return std::nullopt;
}

DirectoryProfile DefaultProfile(const QString& name) {
    DirectoryProfile profile;
    profile.name = name;
    profile.nameAttributes = Words(kDefaultNameAttributes);
    profile.primaryFaxAttributes = Words(kDefaultPrimaryFaxAttributes);
    profile.businessFaxAttributes = Words(kDefaultBusinessFaxAttributes);
    profile.homeFaxAttributes = Words(kDefaultHomeFaxAttributes);
    return profile;
}

QStringList ListProfiles(Registry& registry) {
    return SubKeysOfBoth(registry, DirectoriesKey());
}

QString DefaultProfileName(Registry& registry) {
    const QStringList profiles = ListProfiles(registry);
    const QString chosen =
        MachineThenUser(registry, fax::SectionKey(fax::kSectionFax), kValueDefaultDirectory)
            .value_or(QString())
            .trimmed();
    for (const QString& profile : profiles) {
        if (profile.compare(chosen, Qt::CaseInsensitive) == 0)
            return profile;
    }
    return profiles.value(0);
}

Result<DirectoryProfile> ReadProfile(Registry& registry, const QString& name) {
    const QStringList profiles = ListProfiles(registry);
    const auto found = std::find_if(profiles.cbegin(), profiles.cend(), [&](const QString& p) {
        return p.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (!UsableName(name) || found == profiles.cend())
        return Problem{
            0, name,
            Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "dieses Verzeichnis gibt es nicht"))};
    DirectoryProfile profile = DefaultProfile(*found);
    const QString key = ProfileKey(profile.name);
    const auto value = [&](const QString& valueName) {
        return MachineThenUser(registry, key, valueName);
    };
    profile.uris = Words(value(kValueUris).value_or(QString()));
    profile.startTls = ParseFlag(value(kValueStartTls), true);
    profile.caFile = value(kValueCaFile).value_or(QString()).trimmed();
    const QString bindText = value(kValueBind).value_or(QString());
    const auto bind = ParseBindMethod(bindText);
    if (!bind)
        return Bad(profile.name, kValueBind, bindText);
    profile.bind = *bind;
    profile.bindDn = value(kValueBindDn).value_or(QString()).trimmed();
    if (const auto limit = value(kValueTimeLimit); limit && !limit->trimmed().isEmpty()) {
        bool ok = false;
        profile.timeLimit = limit->trimmed().toInt(&ok);
        if (!ok)
            return Bad(profile.name, kValueTimeLimit, *limit);
    }
    profile.followReferrals = ParseFlag(value(kValueFollowReferrals), false);
    profile.base = value(kValueBase).value_or(QString()).trimmed();
    const auto attributes = [&](const QString& valueName, QStringList& target) {
        const QStringList words = Words(value(valueName).value_or(QString()));
        if (!words.isEmpty())
            target = words;
    };
    attributes(kValueNameAttributes, profile.nameAttributes);
    attributes(kValuePrimaryFaxAttributes, profile.primaryFaxAttributes);
    attributes(kValueBusinessFaxAttributes, profile.businessFaxAttributes);
    attributes(kValueHomeFaxAttributes, profile.homeFaxAttributes);
    for (const QString& listName : SubKeysOfBoth(registry, ListsKey(profile.name))) {
        const QString listKey = ListsKey(profile.name) + u'\\' + listName;
        profile.lists.append(
            {listName, MachineThenUser(registry, listKey, kValueBase).value_or(QString()).trimmed(),
             MachineThenUser(registry, listKey, kValueFilter).value_or(QString()).trimmed()});
    }
    if (Result<void> checked = CheckProfile(profile); !checked)
        return checked.Error();
    return profile;
}

Result<void> CheckProfile(const DirectoryProfile& profile) {
    if (!UsableName(profile.name))
        return Problem{0, profile.name,
                       Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                            "ein Verzeichnis braucht einen Namen ohne \\"))};
    if (profile.uris.isEmpty())
        return Problem{0, profile.name,
                       Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                            "das Verzeichnis hat keine Serveradresse (Uris)"))};
    for (const QString& uri : profile.uris) {
        if (!UsableUri(uri))
            return Bad(profile.name, kValueUris, uri);
    }
    if (HasControl(profile.caFile))
        return Bad(profile.name, kValueCaFile, profile.caFile);
    if (!UsableDn(profile.bindDn))
        return Bad(profile.name, kValueBindDn, profile.bindDn);
    if (profile.bind == BindMethod::Simple && profile.bindDn.isEmpty())
        return Problem{0, profile.name,
                       Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                            "eine einfache Anmeldung braucht einen BindDn"))};
    if (profile.timeLimit < 1 || profile.timeLimit > 3600)
        return Bad(profile.name, kValueTimeLimit, QString::number(profile.timeLimit));
    if (!UsableDn(profile.base))
        return Bad(profile.name, kValueBase, profile.base);
    const std::pair<const QStringList*, QString> maps[] = {
        {&profile.nameAttributes, kValueNameAttributes},
        {&profile.primaryFaxAttributes, kValuePrimaryFaxAttributes},
        {&profile.businessFaxAttributes, kValueBusinessFaxAttributes},
        {&profile.homeFaxAttributes, kValueHomeFaxAttributes}};
    for (const auto& [attributes, valueName] : maps) {
        if (!UsableAttributes(*attributes))
            return Bad(profile.name, valueName, attributes->join(u' '));
    }
    for (const AddressListSettings& list : profile.lists) {
        if (!UsableName(list.name))
            return Bad(profile.name, kKeyLists, list.name);
        if (!UsableDn(list.base))
            return Bad(profile.name, list.name + u'\\' + kValueBase, list.base);
        if (!UsableFilter(list.filter))
            return Bad(profile.name, list.name + u'\\' + kValueFilter, list.filter);
    }
    return Success();
}

Result<void> WriteProfile(RegistryStore& store, const DirectoryProfile& profile) {
    if (Result<void> checked = CheckProfile(profile); !checked)
        return checked;
    const QString key = ProfileKey(profile.name);
    const bool ok = store.Transaction([&] {
        if ((store.KeyExists(key) && !store.DeleteKey(key)) || !store.CreateKey(key))
            return false;
        const auto set = [&](const QString& k, const QString& name, const QString& text) {
            return store.SetValue(k, name, RegValue::FromText(text));
        };
        bool written =
            set(key, kValueUris, profile.uris.join(u' ')) &&
            set(key, kValueStartTls,
                profile.startTls ? QStringLiteral("1") : QStringLiteral("0")) &&
            set(key, kValueCaFile, profile.caFile) &&
            set(key, kValueBind, BindMethodName(profile.bind)) &&
            set(key, kValueBindDn, profile.bindDn) &&
            set(key, kValueTimeLimit, QString::number(profile.timeLimit)) &&
            set(key, kValueFollowReferrals,
                profile.followReferrals ? QStringLiteral("1") : QStringLiteral("0")) &&
            set(key, kValueBase, profile.base) &&
            set(key, kValueNameAttributes, profile.nameAttributes.join(u' ')) &&
            set(key, kValuePrimaryFaxAttributes, profile.primaryFaxAttributes.join(u' ')) &&
            set(key, kValueBusinessFaxAttributes, profile.businessFaxAttributes.join(u' ')) &&
            set(key, kValueHomeFaxAttributes, profile.homeFaxAttributes.join(u' '));
        for (const AddressListSettings& list : profile.lists) {
            const QString listKey = ListsKey(profile.name) + u'\\' + list.name;
            written = written && store.CreateKey(listKey) && set(listKey, kValueBase, list.base) &&
                      set(listKey, kValueFilter, list.filter);
        }
        return written;
    });
    if (!ok)
        return Problem{0, store.FileName(),
                       Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                            "das Verzeichnis kann nicht geschrieben werden"))};
    return Success();
}

Result<void> RemoveProfile(RegistryStore& store, const QString& name) {
    if (!UsableName(name))
        return Problem{
            0, name,
            Tr(QT_TRANSLATE_NOOP("faxapp::Directory", "dieses Verzeichnis gibt es nicht"))};
    const QString key = ProfileKey(name);
    if (store.KeyExists(key) && !store.DeleteKey(key))
        return Problem{0, store.FileName(),
                       Tr(QT_TRANSLATE_NOOP("faxapp::Directory",
                                            "das Verzeichnis kann nicht entfernt werden"))};
    return Success();
}

QString DirectoryPasswordKey(const DirectoryProfile& profile) {
    QString hostPort;
    LDAPURLDesc* desc = nullptr;
    if (!profile.uris.isEmpty() &&
        ldap_url_parse(profile.uris.constFirst().toUtf8().constData(), &desc) == LDAP_URL_SUCCESS) {
        const QString host = QString::fromUtf8(desc->lud_host);
        const int port =
            desc->lud_port != 0
                ? desc->lud_port
                : (QString::fromUtf8(desc->lud_scheme).toLower() == u"ldaps" ? 636 : 389);
        hostPort = (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
        ldap_free_urldesc(desc);
    }
    return QStringLiteral("ldap://%1@%2").arg(profile.bindDn, hostPort);
}

} // namespace faxapp::directory
