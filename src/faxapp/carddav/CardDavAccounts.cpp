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
    return QCoreApplication::translate("CardDav", text);
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
        return Tr("an account's name has 1 to 64 characters");
    if (name.startsWith(u'.') || name.startsWith(u' ') || name.endsWith(u' '))
        return Tr("an account's name neither starts with a dot nor starts or ends with a blank");
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != u' ' && c != u'.' && c != u'_' && c != u'-')
            return Tr("an account's name has letters, digits, blanks, '.', '_' and '-' only");
    }
    return {};
}

QString CheckServerUrl(const QUrl& url) {
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http"))
        return Tr("the server's address is no http or https address");
    if (url.host().isEmpty())
        return Tr("the server's address has no host");
    if (!url.userInfo().isEmpty())
        return Tr("the server's address must not hold a user or password");
    if (url.hasFragment())
        return Tr("the server's address must not hold a fragment (#...)");
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
            return Tr("a user name holds neither ':' nor control characters");
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
    return Problem{0, name, Tr("there is no CardDAV account of that name")};
}

Result<void> WriteAccount(RegistryStore& store, const Account& account) {
    QString why = CheckAccountName(account.name);
    if (why.isEmpty())
        why = CheckServerUrl(account.url);
    if (why.isEmpty())
        why = CheckUser(account.user);
    if (why.isEmpty() && (account.timeLimit <= 0 || account.timeLimit > kMaxTimeLimit))
        why = Tr("the time limit is 1 to %1 seconds").arg(kMaxTimeLimit);
    for (const QString& text : {account.user, account.caFile})
        if (why.isEmpty() && (text.contains(QChar(0)) || text.contains(u'\n')))
            why = Tr("a value holds a line break or a NUL character");
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
        return Problem{0, store.FileName(), Tr("the settings cannot be written")};
    return Success();
}

Result<void> RemoveAccount(RegistryStore& store, const QString& name) {
    const QString key = AccountKey(name);
    if (!CheckAccountName(name).isEmpty() || !store.KeyExists(key))
        return Success();
    if (!store.DeleteKey(key))
        return Problem{0, store.FileName(), Tr("the settings cannot be written")};
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
