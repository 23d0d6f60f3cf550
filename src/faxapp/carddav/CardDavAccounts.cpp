#include "faxapp/carddav/CardDavAccounts.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/RegistryStore.h"

#include <QCollator>
#include <QCoreApplication>
#include <QMap>
#include <algorithm>

namespace faxapp::carddav {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::CardDav", text);
}

std::optional<QString> Text(RegistryStore& store, const QString& key, const QString& name) {
    if (const auto value = store.QueryValue(key, name))
        return fax::UpToNul(value->ToText()).trimmed();
    return std::nullopt;
}

// The account's values from one store over those read before.
void ReadInto(RegistryStore& store, Account& account) {
    const QString key = AccountKey(account.name);
    if (const auto url = Text(store, key, kValueUrl))
        account.url = QUrl(*url, QUrl::StrictMode);
    if (const auto user = Text(store, key, kValueUser))
        account.user = *user;
    if (const auto ca = Text(store, key, kValueCaFile))
        account.caFile = *ca;
    if (const auto limit = store.QueryValue(key, kValueTimeLimit)) {
        const auto seconds = limit->ToInteger();
        if (seconds && *seconds > 0)
            account.timeLimit = int(std::min<qint64>(*seconds, kMaxTimeLimit));
    }
}

} // namespace

QString AccountKey(const QString& name) {
    const QString accounts = fax::SectionKey(fax::kSectionFax) + u'\\' + kKeyAccounts;
    return name.isEmpty() ? accounts : accounts + u'\\' + name;
}

QString CheckAccountName(const QString& name) {
    if (name.isEmpty() || name.size() > 64)
        return Tr(
            QT_TRANSLATE_NOOP("faxapp::CardDav", "der Name eines Kontos hat 1 bis 64 Zeichen"));
    if (name.startsWith(u'.') || name.startsWith(u' ') || name.endsWith(u' '))
        return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                    "der Name eines Kontos beginnt nicht mit einem Punkt und "
                                    "beginnt und endet nicht mit einem Leerzeichen"));
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != u' ' && c != u'.' && c != u'_' && c != u'-')
            return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                        "der Name eines Kontos hat nur Buchstaben, "
                                        "Ziffern, Leerzeichen, '.', '_' und '-'"));
    }
    return {};
}

QString CheckServerUrl(const QUrl& url) {
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http"))
        return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                    "die Adresse des Servers ist keine http- oder https-Adresse"));
    if (url.host().isEmpty())
        return Tr(
            QT_TRANSLATE_NOOP("faxapp::CardDav", "die Adresse des Servers nennt keinen Rechner"));
    if (!url.userInfo().isEmpty())
        return Tr(QT_TRANSLATE_NOOP(
            "faxapp::CardDav",
            "die Adresse des Servers darf keinen Benutzer und kein Passwort enthalten"));
    if (url.hasFragment())
        return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                    "die Adresse des Servers darf keinen Anker (#...) enthalten"));
    return {};
}

QList<Account> ListAccounts(Registry& registry) {
    QMap<QString, Account> byFolded;
    const QString key = AccountKey({});
    for (const bool machine : {true, false}) {
        RegistryStore& store = machine ? registry.Machine() : registry.User();
        for (const QString& name : store.SubKeys(key)) {
            if (!CheckAccountName(name).isEmpty())
                continue;
            Account& account = byFolded[RegistryStore::FoldName(name)];
            if (account.name.isEmpty())
                account.name = name;
            (machine ? account.machineWide : account.userOwn) = true;
            ReadInto(store, account);
        }
    }
    QList<Account> accounts = byFolded.values();
    QCollator collator;
    std::stable_sort(accounts.begin(), accounts.end(), [&](const Account& a, const Account& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return accounts;
}

QString CheckUser(const QString& user) {
    for (const QChar c : user)
        if (c == u':' || c.category() == QChar::Other_Control)
            return Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                        "ein Benutzername enthält weder ':' noch Steuerzeichen"));
    return {};
}

Result<Account> ReadAccount(Registry& registry, const QString& name) {
    for (Account& account : ListAccounts(registry)) {
        if (RegistryStore::FoldName(account.name) != RegistryStore::FoldName(name))
            continue;
        QString why = CheckServerUrl(account.url);
        if (why.isEmpty())
            why = CheckUser(account.user);
        if (!why.isEmpty())
            return Problem{0, account.name, why};
        return std::move(account);
    }
    return Problem{
        0, name,
        Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "es gibt kein CardDAV-Konto dieses Namens"))};
}

Result<void> WriteAccount(RegistryStore& store, const Account& account) {
    QString why = CheckAccountName(account.name);
    if (why.isEmpty())
        why = CheckServerUrl(account.url);
    if (why.isEmpty())
        why = CheckUser(account.user);
    if (why.isEmpty() && (account.timeLimit <= 0 || account.timeLimit > kMaxTimeLimit))
        why = Tr(QT_TRANSLATE_NOOP("faxapp::CardDav", "das Zeitlimit ist 1 bis %1 Sekunden"))
                  .arg(kMaxTimeLimit);
    for (const QString& text : {account.user, account.caFile})
        if (why.isEmpty() && (text.contains(QChar(0)) || text.contains(u'\n')))
            why = Tr(QT_TRANSLATE_NOOP(
                "faxapp::CardDav", "ein Wert enthält einen Zeilenumbruch oder ein NUL-Zeichen"));
    if (!why.isEmpty())
        return Problem{0, account.name, why};
    const QString key = AccountKey(account.name);
    const auto setOrRemove = [&](const QString& name, const QString& text) {
        if (text.isEmpty()) {
            store.DeleteValue(key, name);
            return true;
        }
        return store.SetValue(key, name, RegValue::FromText(text));
    };
    const bool ok = store.Transaction([&] {
        return store.CreateKey(key) &&
               store.SetValue(key, kValueUrl,
                              RegValue::FromText(account.url.toString(QUrl::FullyEncoded))) &&
               setOrRemove(kValueUser, account.user) && setOrRemove(kValueCaFile, account.caFile) &&
               store.SetValue(key, kValueTimeLimit, RegValue::FromInteger(account.timeLimit));
    });
    if (!ok)
        return Problem{0, store.FileName(),
                       Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                            "die Einstellungen können nicht geschrieben werden"))};
    return Success();
}

Result<void> RemoveAccount(RegistryStore& store, const QString& name) {
    const QString key = AccountKey(name);
    if (!CheckAccountName(name).isEmpty() || !store.KeyExists(key))
        return Success();
    if (!store.DeleteKey(key))
        return Problem{0, store.FileName(),
                       Tr(QT_TRANSLATE_NOOP("faxapp::CardDav",
                                            "die Einstellungen können nicht geschrieben werden"))};
    return Success();
}

QString PasswordKey(const Account& account) {
    const QString host = account.url.host();
    const QString bracketed = host.contains(u':') ? u'[' + host + u']' : host;
    const int port = account.url.port(account.url.scheme() == u"https" ? 443 : 80);
    const QString user = account.user.isEmpty() ? QString() : account.user + u'@';
    return QStringLiteral("carddav://%1%2:%3").arg(user, bracketed).arg(port);
}

} // namespace faxapp::carddav
