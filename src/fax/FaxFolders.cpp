#include "fax/FaxFolders.h"

#include "fax/FaxContract.h"
#include "platform/RegistryStore.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>

#ifndef KALMO_DEFAULT_SYSTEM_DIR
#define KALMO_DEFAULT_SYSTEM_DIR "" // the build names the installed program folder
#endif

namespace fax {

namespace {

// Where a user has no shell folder in the store, the XDG locations stand in: the data home
// for AppData, the documents folder for Personal. Without a home folder there is none.
QString XdgFolder(int id) {
    const QString home = qEnvironmentVariable("HOME");
    if (id == FaxFolders::kFolderAppData) {
        const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        if (QDir::isAbsolutePath(dataHome))
            return dataHome;
        return home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
    }
    if (home.isEmpty())
        return {};
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace

QString ApplicationKey() {
    return QStringLiteral("Software\\") + kRegistryCompany + u'\\' + kProfileName;
}

QString SectionKey(const QString& section) {
    return ApplicationKey() + u'\\' + section;
}

QString UpToNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

FaxFolders::FaxFolders(Registry& registry, Messenger& messenger)
    : m_registry(registry), m_messenger(messenger) {}

QString FaxFolders::ReadValue(bool machine, const QString& section, const QString& name,
                              const QString& defaultValue) const {
    RegistryStore& store = machine ? m_registry.Machine() : m_registry.User();
    const auto value = store.QueryValue(SectionKey(section), name);
    return value ? UpToNul(value->ToText()) : defaultValue;
}

QString FaxFolders::GetMachineThenUserString(const QString& name,
                                             const QString& defaultValue) const {
    const QString machine = ReadValue(true, kTitlePrefix, name, defaultValue);
    return ReadValue(false, kTitlePrefix, name, machine);
}

QString FaxFolders::GetUserString(const QString& section, const QString& name,
                                  const QString& defaultValue) const {
    return ReadValue(false, section, name, defaultValue);
}

QString FaxFolders::GetShellFolder(int id, const QString& defaultValue) const {
    const bool create = (id & kFolderCreateFlag) != 0;
    id &= ~kFolderCreateFlag;
    QString valueName;
    if (id == kFolderPersonal)
        valueName = QStringLiteral("Personal");
    else if (id == kFolderAppData)
        valueName = QStringLiteral("AppData");
    else
        return {};
    const auto value = m_registry.User().QueryValue(kShellFoldersKey, valueName);
    if (value)
        return UpToNul(value->ToText());
    const QString xdg = XdgFolder(id);
    if (xdg.isEmpty())
        return defaultValue;
    // A fresh account may not have its XDG folders yet; asked to, make them as the XDG rules
    // say (private to the user).
    if (create && !IsDirectory(xdg) && QDir().mkpath(xdg))
        QFile::setPermissions(xdg, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    return xdg;
}

QString FaxFolders::ResolveDataFolder(const QString& productFolder) const {
    QString base = GetShellFolder(kFolderAppData | kFolderCreateFlag);
    if (!base.isEmpty())
        base = JoinPath(base, productFolder);
    return GetMachineThenUserString(kValueDataDir, base);
}

bool FaxFolders::CreateFolder(const QString& path, mode_t mode) const {
    if (IsDirectory(StripTrailingBackslash(path)))
        return true;
    if (::mkdir(NativePath(path).constData(), mode) == 0)
        return true;
    const QString reason = GetLastErrorText();
    MessageWarning2(m_messenger, IDS_ERR_CREATE_FOLDER, path, reason);
    return false;
}

void FaxFolders::CreateSpoolFolders(const QString& dataDir) const {
    for (const QString& name : {kFolderComjob, kFolderComack, kFolderComerr, kFolderComrec,
                                kFolderFaxsend, kFolderFaxrec}) {
        if (!CreateFolder(JoinPath(dataDir, name), 0700))
            return;
    }
}

void FaxFolders::ResolveFaxFolders() {
    m_systemDir =
        GetMachineThenUserString(kValueSystemDir, QStringLiteral(KALMO_DEFAULT_SYSTEM_DIR));

    // The base folder is created quietly; the data folder below it reports a failure.
    m_dataDir = ResolveDataFolder(kTitlePrefix);
    ::mkdir(NativePath(m_dataDir).constData(), 0777);
    m_dataDir = JoinPath(m_dataDir, kDataFolderName);
    m_dataDir = GetUserString(kSectionFax, kValueDataDir, m_dataDir);
    CreateFolder(m_dataDir);
    CreateSpoolFolders(m_dataDir);
}

} // namespace fax
