#include "faxapp/carddav/CardDavAccounts.h"
#include "faxapp/carddav/CardDavCache.h"
#include "faxapp/carddav/CardDavClient.h"
#include "faxapp/sending/FaxSettings.h"
#include "kalmofax/Commands.h"
#include "platform/RegistryStore.h"
#include "platform/secrets/SecretInput.h"
#include "platform/secrets/SecretStore.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstdio>

namespace faxapp {

namespace {

using namespace carddav;

QString Tr(const char* text) {
    return QCoreApplication::translate("CardDavCommand", text);
}

void Out(const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stdout);
}

void Say(const QString& text) {
    std::fputs((QStringLiteral("kalmofax carddav: ") + text + u'\n').toLocal8Bit().constData(),
               stderr);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kalmofax carddav add NAME URL [--user USER] [--ca-file FILE]\n"
                 "                            [--time-limit SECONDS] [--machine]\n"
                 "       kalmofax carddav password NAME\n"
                 "       kalmofax carddav list\n"
                 "       kalmofax carddav test NAME\n"
                 "       kalmofax carddav sync [NAME]\n"
                 "       kalmofax carddav remove NAME [--machine]\n"
                 "passwords are read from standard input (asked for on a terminal), never taken\n"
                 "as arguments, and kept in your keyring\n");
    return 2;
}

int StorePassword(const Account& account) {
    if (account.user.isEmpty())
        return 0;
    if (!secrets::KeyringAvailable()) {
        Say(Tr("no keyring runs: the password cannot be kept"));
        return 1;
    }
    const QString key = PasswordKey(account);
    const auto input = ReadSecretInput(Tr("Password for %1: ").arg(key));
    if (!input) {
        Say(Tr("no password read from standard input"));
        return 1;
    }
    if (const auto written = secrets::WriteSecret(key, *input); !written) {
        Say(written.Error().Text());
        return 1;
    }
    return 0;
}

class CardDavCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("carddav"); }
    QString Description() const override {
        return QStringLiteral("sets up, lists, tests, syncs and removes CardDAV address books");
    }

    int Execute(int argc, char* argv[], int first) override {
        QStringList args;
        for (int i = first; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        if (args.isEmpty())
            return Usage();
        const QString verb = args.takeFirst();
        bool machine = false;
        QString user, caFile, timeLimit;
        bool userGiven = false;
        QStringList plain;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& arg = args.at(i);
            const bool hasValue = i + 1 < args.size();
            if (arg == u"--machine") {
                machine = true;
            } else if (arg == u"--user" && hasValue) {
                user = args.at(++i);
                userGiven = true;
            } else if (arg == u"--ca-file" && hasValue) {
                caFile = args.at(++i);
            } else if (arg == u"--time-limit" && hasValue) {
                timeLimit = args.at(++i);
            } else if (arg.startsWith(u"--")) {
                return Usage();
            } else {
                plain.append(arg);
            }
        }
        QCoreApplication app(argc, argv);
        const FaxSettings settings = LoadFaxSettings();
        if (!settings.error.isEmpty()) {
            Say(settings.error);
            return 1;
        }
        m_dataDir = settings.dataDir;
        if (verb == u"add" && plain.size() == 2)
            return Add(plain.at(0), plain.at(1), userGiven ? user : QString(), caFile, timeLimit,
                       machine);
        if (verb == u"password" && plain.size() == 1 && !machine)
            return Password(plain.at(0));
        if (verb == u"list" && plain.isEmpty() && !machine)
            return List();
        if (verb == u"test" && plain.size() == 1 && !machine)
            return Test(plain.at(0));
        if (verb == u"sync" && plain.size() <= 1 && !machine)
            return Sync(plain.value(0));
        if (verb == u"remove" && plain.size() == 1)
            return Remove(plain.at(0), machine);
        return Usage();
    }

private:
    int Add(const QString& name, const QString& url, const QString& user, const QString& caFile,
            const QString& timeLimit, bool machine) {
        Account account;
        account.name = name;
        account.url = QUrl(url, QUrl::StrictMode);
        account.user = user;
        account.caFile = caFile;
        if (!timeLimit.isEmpty()) {
            bool ok = false;
            account.timeLimit = timeLimit.toInt(&ok);
            if (!ok)
                account.timeLimit = 0; // refused below, with the reason
        }
        const auto store = OpenSettingsForWriting(machine);
        if (const auto written = WriteAccount(*store, account); !written) {
            Say(written.Error().Text());
            return 1;
        }
        return StorePassword(account);
    }

    int Password(const QString& name) {
        const auto registry = Registry::OpenDefault();
        const auto account = ReadAccount(*registry, name);
        if (!account) {
            Say(account.Error().Text());
            return 1;
        }
        if (account->user.isEmpty()) {
            Say(Tr("%1 has no user: no password is sent").arg(account->name));
            return 1;
        }
        return StorePassword(*account);
    }

    int List() {
        const auto registry = Registry::OpenDefault();
        for (const Account& account : ListAccounts(*registry)) {
            const QString where = account.machineWide && account.userOwn ? Tr("machine, user")
                                  : account.machineWide                  ? Tr("machine")
                                                                         : Tr("user");
            Out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(account.name, account.url.toDisplayString(), account.user, where));
            const auto cache = LoadCache(CacheFolder(m_dataDir, account.name));
            if (!cache) {
                Out(QStringLiteral("\t") + cache.Error().Text());
                continue;
            }
            if (!cache->syncedAt.isValid()) {
                Out(QStringLiteral("\t") + Tr("not synced yet"));
                continue;
            }
            for (const CachedBook& book : cache->books)
                Out(QStringLiteral("\t%1\t").arg(book.displayName) +
                    Tr("contacts with a fax number: %1").arg(FaxCards(book).size()));
            Out(QStringLiteral("\t") +
                Tr("synced %1")
                    .arg(QLocale().toString(cache->syncedAt.toLocalTime(), QLocale::ShortFormat)));
        }
        return 0;
    }

    int Test(const QString& name) {
        const auto summary = TestCardDavAccount(name);
        if (!summary) {
            Say(summary.Error().Text());
            return 1;
        }
        Out(*summary);
        return 0;
    }

    int Sync(const QString& only) {
        const auto registry = Registry::OpenDefault();
        int status = 0;
        bool found = false;
        for (const Account& listed : ListAccounts(*registry)) {
            if (!only.isEmpty() &&
                RegistryStore::FoldName(listed.name) != RegistryStore::FoldName(only))
                continue;
            found = true;
            const auto account = ReadAccount(*registry, listed.name);
            const auto password =
                account ? ReadPassword(*account) : Result<QString>(account.Error());
            const QString folder = CacheFolder(m_dataDir, listed.name);
            const auto before = LoadCache(folder);
            const auto after =
                password ? SyncAccount(*account, *password, before ? *before : AccountCache{})
                         : Result<AccountCache>(password.Error());
            const auto saved = after ? SaveCache(folder, *after) : Result<void>(after.Error());
            if (!saved) {
                Say(listed.name + QStringLiteral(": ") + saved.Error().Text());
                status = 1;
                continue;
            }
            int withFax = 0;
            for (const CachedBook& book : after->books)
                withFax += int(FaxCards(book).size());
            Out(listed.name + QStringLiteral(": ") +
                Tr("address books: %1; contacts with a fax number: %2")
                    .arg(after->books.size())
                    .arg(withFax));
        }
        if (!only.isEmpty() && !found) {
            Say(Tr("there is no CardDAV account %1").arg(only));
            return 1;
        }
        return status;
    }

    int Remove(const QString& name, bool machine) {
        if (const QString why = CheckAccountName(name); !why.isEmpty()) {
            Say(why);
            return 1;
        }
        const auto registry = Registry::OpenDefault();
        const auto account = ReadAccount(*registry, name);
        const auto store = OpenSettingsForWriting(machine);
        if (const auto removed = RemoveAccount(*store, name); !removed) {
            Say(removed.Error().Text());
            return 1;
        }
        // The password and the cache go with the user's last setting of the account.
        const auto left = Registry::OpenDefault();
        if (!ReadAccount(*left, name)) {
            if (account && !account->user.isEmpty() && secrets::KeyringAvailable())
                if (const auto deleted = secrets::DeleteSecret(PasswordKey(*account)); !deleted)
                    Say(deleted.Error().Text());
            RemoveCache(CacheFolder(m_dataDir, name));
        }
        return 0;
    }

    QString m_dataDir;
};

} // namespace

std::unique_ptr<Command> MakeCardDavCommand() {
    return std::make_unique<CardDavCommand>();
}

} // namespace faxapp
