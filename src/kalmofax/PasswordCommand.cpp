#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "faxapp/sending/FaxSettings.h"
#include "kalmofax/Commands.h"
#include "platform/RegistryStore.h"
#include "platform/secrets/SecretInput.h"
#include "platform/secrets/SecretStore.h"

#include <QCoreApplication>
#include <cstdio>

namespace faxapp {

namespace {

void Say(const QString& text) {
    std::fputs((QStringLiteral("kalmofax password: ") + text + u'\n').toLocal8Bit().constData(),
               stderr);
}

// password [--delete]: the fax server's password, read from standard input (asked for without
// echo on a terminal) and kept in the keyring under the account's key; where no keyring runs,
// in the user's own store file (HylafaxPassword), which only its owner can read. Once the
// keyring has it, a password left in the store file is removed. --delete removes it from both.
class PasswordCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("password"); }
    QString Description() const override {
        return QStringLiteral("keeps the fax server's password in the keyring [--delete]");
    }

    int Execute(int argc, char* argv[], int first) override {
        bool remove = false;
        for (int i = first; i < argc; ++i) {
            if (QString::fromLocal8Bit(argv[i]) != u"--delete" || remove) {
                std::fprintf(stderr, "usage: kalmofax password [--delete]\n"
                                     "the password is read from standard input\n");
                return 2;
            }
            remove = true;
        }
        QCoreApplication app(argc, argv);
        const FaxSettings settings = LoadFaxSettings();
        if (!settings.error.isEmpty()) {
            Say(settings.error);
            return 1;
        }
        const QString key = ServerPasswordKey(settings.server);
        const QString value = ServerValueName(settings.server.kind, QStringLiteral("Password"));
        QString password;
        if (!remove) {
            const auto input = ReadSecretInput(QStringLiteral("Password for %1: ").arg(key));
            if (!input) {
                Say(QStringLiteral("no password read from standard input"));
                return 1;
            }
            password = *input;
        }

        const QString userFile = Registry::DefaultUserFile();
        Registry::CreateUserFile(userFile);
        RegistryStore user(userFile, RegistryStore::Access::ReadWrite);
        const QString section = fax::SectionKey(fax::kSectionFax);
        const bool keyring = secrets::KeyringAvailable();
        if (keyring) {
            const Result<void> done =
                remove ? secrets::DeleteSecret(key) : secrets::WriteSecret(key, password);
            if (!done) {
                Say(done.Error().Text());
                if (!remove)
                    Say(QStringLiteral("to keep it in your own store file instead: kalmoreg "
                                       "set --stdin '%1' %2")
                            .arg(section, value));
                return 1;
            }
        }
        if (remove || keyring) {
            // The keyring holds it now (or nothing should): no copy stays in the file.
            user.DeleteValue(section, value);
        } else {
            const bool ok = user.Transaction([&] {
                return user.CreateKey(section) &&
                       user.SetValue(section, value, RegValue::FromText(password));
            });
            if (!ok) {
                Say(QStringLiteral("cannot write %1").arg(userFile));
                return 1;
            }
            Say(QStringLiteral("no keyring runs: kept in %1, readable by you only").arg(userFile));
        }
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> MakePasswordCommand() {
    return std::make_unique<PasswordCommand>();
}

} // namespace faxapp
