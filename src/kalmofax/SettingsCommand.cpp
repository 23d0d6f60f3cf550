#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "faxapp/carddav/CardDavAccounts.h"
#include "faxapp/carddav/CardDavClient.h"
#include "faxapp/directory/DirectorySettings.h"
#include "faxapp/directory/LdapDirectory.h"
#include "faxapp/sending/FaxSettings.h"
#include "faxapp/sending/ServerFactory.h"
#include "faxapp/ui/SettingsWindow.h"
#include "faxapp/ui/WindowLanguage.h"
#include "kalmofax/Commands.h"
#include "platform/RegistryStore.h"
#include "platform/secrets/SecretStore.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>

namespace faxapp {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("faxapp::SettingsWindow", text);
}

// A password typed is kept in the keyring, never in a file from this window.
Result<void> KeepPassword(const QString& key, const QString& password) {
    if (password.isEmpty())
        return {};
    if (!secrets::KeyringAvailable())
        return Problem{
            0, key,
            Tr(QT_TRANSLATE_NOOP("faxapp::SettingsWindow",
                                 "kein Schlüsselbund läuft; das Passwort ist nicht gespeichert"))};
    return secrets::WriteSecret(key, password);
}

SettingsPageServices ServerServices() {
    SettingsPageServices services;
    services.read = [](const QString&) -> Result<SettingValues> {
        const FaxSettings settings = LoadFaxSettings();
        if (!settings.error.isEmpty())
            return Problem{0, {}, settings.error};
        return SettingValues{{QStringLiteral("host"), settings.server.host},
                             {QStringLiteral("port"), QString::number(settings.server.port)},
                             {QStringLiteral("user"), settings.server.user},
                             {QStringLiteral("keepDays"), QString::number(settings.keepSentDays)}};
    };
    services.write = [](const SettingValues& values) -> Result<void> {
        ServerAccount account = LoadFaxSettings().server;
        bool ok = false;
        const int port = values.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || port <= 0 || port > 65535)
            return Problem{0, values.value(QStringLiteral("port")),
                           Tr(QT_TRANSLATE_NOOP("faxapp::SettingsWindow", "das ist kein Port"))};
        const QString host = values.value(QStringLiteral("host"));
        if (host.isEmpty() || host.contains(u' ') || host.contains(u'/'))
            return Problem{
                0, host,
                Tr(QT_TRANSLATE_NOOP("faxapp::SettingsWindow", "das ist kein Servername"))};
        const QString daysText = values.value(QStringLiteral("keepDays")).trimmed();
        const int days = daysText.isEmpty() ? KeptDocuments::kDefaultSentDays : daysText.toInt(&ok);
        if (!ok || days < 0 || days > 3650)
            return Problem{0, daysText,
                           Tr(QT_TRANSLATE_NOOP("faxapp::SettingsWindow",
                                                "das ist keine Zahl von Tagen (0 bis 3650)"))};
        account.host = host;
        account.port = quint16(port);
        account.user = values.value(QStringLiteral("user"));
        const auto store = OpenSettingsForWriting(false);
        const QString section = fax::SectionKey(fax::kSectionFax);
        const auto name = [&](const char* part) {
            return ServerValueName(account.kind, QString::fromLatin1(part));
        };
        const bool written = store->Transaction([&] {
            return store->CreateKey(section) &&
                   store->SetValue(section, name("Host"), RegValue::FromText(account.host)) &&
                   store->SetValue(section, name("Port"), RegValue::FromInteger(account.port)) &&
                   store->SetValue(section, name("User"), RegValue::FromText(account.user)) &&
                   store->SetValue(section, kValueKeepSentDays,
                                   RegValue::FromText(QString::number(days)));
        });
        if (!written)
            return Problem{
                0, store->FileName(),
                Tr(QT_TRANSLATE_NOOP("faxapp::SettingsWindow",
                                     "die Einstellungen können nicht gespeichert werden"))};
        return KeepPassword(ServerPasswordKey(account), values.value(QStringLiteral("password")));
    };
    services.test = [](const QString&) -> Result<QString> {
        const FaxSettings settings = LoadFaxSettings(ServerPassword::Read);
        auto server = MakeFaxServer(settings.server);
        if (!server)
            return server.Error();
        const ServerResult<void> checked = (*server)->Check();
        if (!checked)
            return Problem{0, (*server)->Name(), checked.Error().reason};
        return Tr(QT_TRANSLATE_NOOP("faxapp::SettingsWindow", "Faxserver %1 erreicht, angemeldet."))
            .arg((*server)->Name());
    };
    return services;
}

SettingsPageServices DirectoryServices() {
    using namespace directory;
    SettingsPageServices services;
    services.list = [] { return ListProfiles(*Registry::OpenDefault()); };
    services.read = [](const QString& name) -> Result<SettingValues> {
        const auto profile = ReadProfile(*Registry::OpenDefault(), name);
        if (!profile)
            return profile.Error();
        return SettingValues{{QStringLiteral("name"), profile->name},
                             {QStringLiteral("uris"), profile->uris.join(u' ')},
                             {QStringLiteral("base"), profile->base},
                             {QStringLiteral("bind"), BindMethodName(profile->bind)},
                             {QStringLiteral("bindDn"), profile->bindDn},
                             {QStringLiteral("caFile"), profile->caFile}};
    };
    services.write = [](const SettingValues& values) -> Result<void> {
        const QString name = values.value(QStringLiteral("name"));
        auto read = ReadProfile(*Registry::OpenDefault(), name);
        DirectoryProfile profile = read ? *read : DefaultProfile(name);
        profile.uris = values.value(QStringLiteral("uris")).split(u' ', Qt::SkipEmptyParts);
        profile.base = values.value(QStringLiteral("base"));
        profile.bind =
            ParseBindMethod(values.value(QStringLiteral("bind"))).value_or(BindMethod::Anonymous);
        profile.bindDn = values.value(QStringLiteral("bindDn"));
        profile.caFile = values.value(QStringLiteral("caFile"));
        if (const Result<void> checked = CheckProfile(profile); !checked)
            return checked;
        if (const Result<void> written = WriteProfile(*OpenSettingsForWriting(false), profile);
            !written)
            return written;
        return KeepPassword(DirectoryPasswordKey(profile),
                            values.value(QStringLiteral("password")));
    };
    services.remove = [](const QString& name) {
        return RemoveProfile(*OpenSettingsForWriting(false), name);
    };
    services.test = [](const QString& name) {
        return TestDirectory(*Registry::OpenDefault(), name);
    };
    return services;
}

SettingsPageServices CardDavServices() {
    using namespace carddav;
    SettingsPageServices services;
    services.list = [] {
        QStringList names;
        for (const Account& account : ListAccounts(*Registry::OpenDefault()))
            names << account.name;
        return names;
    };
    services.read = [](const QString& name) -> Result<SettingValues> {
        const auto account = ReadAccount(*Registry::OpenDefault(), name);
        if (!account)
            return account.Error();
        return SettingValues{{QStringLiteral("name"), account->name},
                             {QStringLiteral("url"), account->url.toString()},
                             {QStringLiteral("user"), account->user},
                             {QStringLiteral("caFile"), account->caFile}};
    };
    services.write = [](const SettingValues& values) -> Result<void> {
        const QString name = values.value(QStringLiteral("name"));
        auto read = ReadAccount(*Registry::OpenDefault(), name);
        Account account = read ? *read : Account{};
        account.name = name;
        account.url = QUrl(values.value(QStringLiteral("url")));
        account.user = values.value(QStringLiteral("user"));
        account.caFile = values.value(QStringLiteral("caFile"));
        for (const QString& fault : {CheckAccountName(account.name), CheckServerUrl(account.url),
                                     CheckUser(account.user)}) {
            if (!fault.isEmpty())
                return Problem{0, account.name, fault};
        }
        if (const Result<void> written = WriteAccount(*OpenSettingsForWriting(false), account);
            !written)
            return written;
        return KeepPassword(PasswordKey(account), values.value(QStringLiteral("password")));
    };
    services.remove = [](const QString& name) {
        return RemoveAccount(*OpenSettingsForWriting(false), name);
    };
    services.test = [](const QString& name) { return TestCardDavAccount(name); };
    return services;
}

// settings: the window where a user sets the fax server, the company directories and the
// CardDAV accounts up, each with a connection test.
class SettingsCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("settings"); }
    QString Description() const override {
        return QStringLiteral("the settings window: fax server, directories, CardDAV accounts");
    }

    int Execute(int argc, char* argv[], int first) override {
        if (first < argc) {
            std::fprintf(stderr, "usage: kalmofax settings\n");
            return 2;
        }
        QApplication app(argc, argv);
        const WindowLanguage language;
        SettingsWindow window({ServerServices(), DirectoryServices(), CardDavServices()});
        window.show();
        return QApplication::exec();
    }
};

} // namespace

std::unique_ptr<Command> MakeSettingsCommand() {
    return std::make_unique<SettingsCommand>();
}

} // namespace faxapp
