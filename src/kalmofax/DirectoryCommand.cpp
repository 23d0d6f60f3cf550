#include "faxapp/directory/LdapDirectory.h"
#include "kalmofax/Commands.h"
#include "platform/RegistryStore.h"
#include "platform/secrets/SecretInput.h"
#include "platform/secrets/SecretStore.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cstdio>

namespace faxapp {

namespace {

using namespace faxapp::directory;

void Say(const QString& text) {
    std::fputs((QStringLiteral("kalmofax directory: ") + text + u'\n').toLocal8Bit().constData(),
               stderr);
}

void Print(const QString& text) {
    std::fputs((text + u'\n').toLocal8Bit().constData(), stdout);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kalmofax directory list\n"
                 "       kalmofax directory add <profile> --uri <ldap[s]://host[:port]>... "
                 "[--base <dn>]\n"
                 "             [--bind anonymous|simple|gssapi] [--bind-dn <dn>] "
                 "[--ca-file <file>]\n"
                 "             [--no-starttls] [--time-limit <seconds>] [--follow-referrals] "
                 "[--machine]\n"
                 "       kalmofax directory password <profile>\n"
                 "       kalmofax directory test [<profile>]\n"
                 "       kalmofax directory remove <profile> [--machine]\n"
                 "a bind password is read from standard input and kept in the keyring\n");
    return 2;
}

// Asks for the bind password and keeps it in the user's keyring.
int StorePassword(const DirectoryProfile& profile) {
    const QString key = DirectoryPasswordKey(profile);
    if (!secrets::KeyringAvailable()) {
        Say(QStringLiteral("no keyring runs: the bind password of %1 cannot be kept").arg(key));
        return 1;
    }
    const auto password = ReadSecretInput(QStringLiteral("Password for %1: ").arg(key));
    if (!password) {
        Say(QStringLiteral("no password read from standard input"));
        return 1;
    }
    if (const Result<void> written = secrets::WriteSecret(key, *password); !written) {
        Say(written.Error().Text());
        return 1;
    }
    return 0;
}

int Add(const QStringList& args) {
    if (args.isEmpty() || args.constFirst().startsWith(u'-'))
        return Usage();
    DirectoryProfile profile = DefaultProfile(args.constFirst());
    bool machine = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& option = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args.at(++i);
        };
        if (option == u"--machine") {
            machine = true;
        } else if (option == u"--no-starttls") {
            profile.startTls = false;
        } else if (option == u"--follow-referrals") {
            profile.followReferrals = true;
        } else if (const auto text = value()) {
            if (option == u"--uri") {
                profile.uris << text->split(QRegularExpression(QStringLiteral("\\s+")),
                                            Qt::SkipEmptyParts);
            } else if (option == u"--base") {
                profile.base = *text;
            } else if (option == u"--bind-dn") {
                profile.bindDn = *text;
            } else if (option == u"--ca-file") {
                profile.caFile = *text;
            } else if (option == u"--bind") {
                const auto method = ParseBindMethod(*text);
                if (!method)
                    return Usage();
                profile.bind = *method;
            } else if (option == u"--time-limit") {
                bool ok = false;
                profile.timeLimit = text->toInt(&ok);
                if (!ok)
                    return Usage();
            } else {
                return Usage();
            }
        } else {
            return Usage();
        }
    }
    QCoreApplication::setApplicationName(QStringLiteral("kalmofax"));
    const auto store = OpenSettingsForWriting(machine);
    if (const Result<void> written = WriteProfile(*store, profile); !written) {
        Say(written.Error().Text());
        return 1;
    }
    if (profile.bind != BindMethod::Simple)
        return 0;
    // The password is each user's own: a machine-wide profile leaves it to them.
    if (machine) {
        Say(QStringLiteral("each user keeps the bind password with: kalmofax directory "
                           "password '%1'")
                .arg(profile.name));
        return 0;
    }
    return StorePassword(profile);
}

int List() {
    auto registry = Registry::OpenDefault();
    const QString chosen = DefaultProfileName(*registry);
    for (const QString& name : ListProfiles(*registry)) {
        const Result<DirectoryProfile> profile = ReadProfile(*registry, name);
        if (!profile) {
            Print(QStringLiteral("%1\t(%2)").arg(name, profile.Error().reason));
            continue;
        }
        QStringList lists;
        for (const AddressListSettings& list : profile->lists)
            lists << list.name;
        Print(QStringLiteral("%1%2\t%3\t%4%5\t%6")
                  .arg(name, name == chosen ? QStringLiteral(" (default)") : QString(),
                       profile->uris.join(u' '), BindMethodName(profile->bind),
                       profile->bindDn.isEmpty() ? QString() : u' ' + profile->bindDn,
                       lists.join(QStringLiteral(", "))));
    }
    return 0;
}

// directory: the company directories (LDAP) that MAPI.Session serves.
class DirectoryCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("directory"); }
    QString Description() const override {
        return QStringLiteral("sets up the company directories (LDAP): add, list, password, "
                              "test, remove");
    }

    int Execute(int argc, char* argv[], int first) override {
        if (argc <= first)
            return Usage();
        QCoreApplication app(argc, argv);
        QStringList args;
        for (int i = first + 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        const QString action = QString::fromLocal8Bit(argv[first]);
        if (action == u"add")
            return Add(args);
        if (action == u"list" && args.isEmpty())
            return List();
        if (action == u"password" && args.size() == 1) {
            auto registry = Registry::OpenDefault();
            const Result<DirectoryProfile> profile = ReadProfile(*registry, args.constFirst());
            if (!profile) {
                Say(profile.Error().Text());
                return 1;
            }
            return StorePassword(*profile);
        }
        if (action == u"test" && args.size() <= 1) {
            auto registry = Registry::OpenDefault();
            const QString name = args.isEmpty() ? DefaultProfileName(*registry) : args.first();
            const Result<QString> summary = TestDirectory(*registry, name);
            if (!summary) {
                Say(summary.Error().Text());
                return 1;
            }
            Print(*summary);
            return 0;
        }
        if (action == u"remove" && !args.isEmpty() && args.size() <= 2) {
            const bool machine = args.size() == 2 && args.at(1) == u"--machine";
            if (args.size() == 2 && !machine)
                return Usage();
            auto registry = Registry::OpenDefault();
            const Result<DirectoryProfile> profile = ReadProfile(*registry, args.constFirst());
            const auto store = OpenSettingsForWriting(machine);
            if (const Result<void> removed = RemoveProfile(*store, args.constFirst()); !removed) {
                Say(removed.Error().Text());
                return 1;
            }
            // The user's own password goes with the user's profile.
            if (!machine && profile && profile->bind == BindMethod::Simple &&
                secrets::KeyringAvailable())
                (void)secrets::DeleteSecret(DirectoryPasswordKey(*profile));
            return 0;
        }
        return Usage();
    }
};

} // namespace

std::unique_ptr<Command> MakeDirectoryCommand() {
    return std::make_unique<DirectoryCommand>();
}

} // namespace faxapp
