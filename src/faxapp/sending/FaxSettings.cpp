#include "faxapp/sending/FaxSettings.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/RegistryStore.h"

#include <QDir>
#include <cstdio>

namespace faxapp {

QString DefaultContactsDir() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/kalmo/contacts");
}

QString ServerValueName(const QString& kind, const QString& part) {
    return kind.left(1).toUpper() + kind.mid(1) + part;
}

FaxSettings LoadFaxSettings() {
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
    const auto value = [&](const QString& part) {
        return folders.GetUserString(fax::kSectionFax, ServerValueName(settings.server.kind, part),
                                     {});
    };
    const QString host = value(QStringLiteral("Host")).trimmed();
    if (!host.isEmpty())
        settings.server.host = host;
    // A number or a text holding one: kalmoreg writes either.
    const QString portText = value(QStringLiteral("Port"));
    bool portOk = false;
    const int port = portText.trimmed().toInt(&portOk);
    if (portOk && port > 0 && port <= 65535)
        settings.server.port = static_cast<quint16>(port);
    else if (!portText.isEmpty())
        std::fprintf(stderr, "kalmofax: %s: \"%s\" is not a port; %u is used\n",
                     qPrintable(ServerValueName(settings.server.kind, QStringLiteral("Port"))),
                     qPrintable(portText), unsigned{settings.server.port});
    settings.server.user = value(QStringLiteral("User"));
    settings.server.password = value(QStringLiteral("Password"));
    return settings;
}

} // namespace faxapp
