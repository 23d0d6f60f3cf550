#include "faxapp/sending/FaxSettings.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/RegistryStore.h"
#include "platform/secrets/SecretStore.h"

#include <QDir>
#include <cstdio>

namespace faxapp {

QString DefaultContactsDir() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/kalmo/contacts");
}

namespace {

// A value of section "Fax": machine-wide, then per user, the per-user value winning.
QString MachineThenUser(Registry& registry, const QString& name) {
    const QString key = fax::SectionKey(fax::kSectionFax);
    QString text;
    for (RegistryStore* store : {&registry.Machine(), &registry.User()}) {
        if (const auto value = store->QueryValue(key, name))
            text = fax::UpToNul(value->ToText());
    }
    return text;
}

} // namespace

void ReadReceiveSettings(RegistryStore& user, FaxSettings& settings) {
    const auto flag = [&user](const QString& name) -> std::optional<bool> {
        const auto value = user.QueryValue(fax::SectionKey(fax::kSectionFax), name);
        const auto number = value ? value->ToInteger() : std::nullopt;
        if (!number || (*number != 0 && *number != 1))
            return std::nullopt;
        return *number == 1;
    };
    settings.receive = flag(kValueReceive).value_or(settings.receive);
    settings.deleteReceived = flag(kValueDeleteReceived).value_or(settings.deleteReceived);
}

QString ServerValueName(const QString& kind, const QString& part) {
    return kind.left(1).toUpper() + kind.mid(1) + part;
}

QString ServerPasswordKey(const ServerAccount& account) {
    const QString host = account.host.contains(u':') ? u'[' + account.host + u']' : account.host;
    const QString user = account.user.isEmpty() ? QString() : account.user + u'@';
    return QStringLiteral("%1://%2%3:%4").arg(account.kind, user, host).arg(account.port);
}

QString ReadServerPassword(const ServerAccount& account, RegistryStore& user) {
    if (secrets::KeyringAvailable()) {
        const auto secret = secrets::ReadSecret(ServerPasswordKey(account));
        if (secret && secret->has_value())
            return **secret;
        if (!secret)
            std::fprintf(stderr, "kalmofax: %s\n", qPrintable(secret.Error().Text()));
    }
    const auto stored = user.QueryValue(fax::SectionKey(fax::kSectionFax),
                                        ServerValueName(account.kind, QStringLiteral("Password")));
    return stored ? fax::UpToNul(stored->ToText()) : QString();
}

FaxSettings LoadFaxSettings(ServerPassword password) {
    FaxSettings settings;
    auto registry = Registry::OpenDefault();
    for (RegistryStore* store : {&registry->Machine(), &registry->User()}) {
        if (!store->OpenError().isEmpty()) {
            settings.error = store->FileName() + QStringLiteral(": ") + store->OpenError();
            return settings;
        }
    }
    // Messages of the folder resolution (a data folder that cannot be made) go to standard
    // error: the fax application's programs run without a dialog of their own for them.
    NonInteractiveMessenger messenger;
    fax::FaxFolders folders(*registry, messenger);
    folders.ResolveFaxFolders();
    settings.systemDir = folders.SystemDir();
    settings.dataDir = folders.DataDir();
    settings.contactsDir =
        folders.GetUserString(fax::kSectionFax, kValueContactsDir, DefaultContactsDir());
    const QString kind =
        folders.GetUserString(fax::kSectionFax, kValueServerKind, {}).trimmed().toLower();
    if (!kind.isEmpty())
        settings.server.kind = kind;
    const auto name = [&](const char* part) {
        return ServerValueName(settings.server.kind, QString::fromLatin1(part));
    };
    const QString host = MachineThenUser(*registry, name("Host")).trimmed();
    if (!host.isEmpty())
        settings.server.host = host;
    // A number or a text holding one: kalmoreg writes either.
    const QString portText = MachineThenUser(*registry, name("Port"));
    bool portOk = false;
    const int port = portText.trimmed().toInt(&portOk);
    if (portOk && port > 0 && port <= 65535)
        settings.server.port = static_cast<quint16>(port);
    else if (!portText.isEmpty())
        std::fprintf(stderr, "kalmofax: %s: \"%s\" is not a port; %u is used\n",
                     qPrintable(name("Port")), qPrintable(portText),
                     unsigned{settings.server.port});
    settings.server.user = folders.GetUserString(fax::kSectionFax, name("User"), {});
    ReadReceiveSettings(registry->User(), settings);
    bool daysOk = false;
    const int days =
        folders.GetUserString(fax::kSectionFax, kValueKeepSentDays, {}).trimmed().toInt(&daysOk);
    if (daysOk && days >= 0)
        settings.keepSentDays = days;
    if (password == ServerPassword::Read)
        settings.server.password = ReadServerPassword(settings.server, registry->User());
    return settings;
}

} // namespace faxapp
