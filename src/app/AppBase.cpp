#include "app/AppBase.h"

#include "fax/FaxContract.h"
#include "platform/RegistryStore.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>

#ifndef KALMO_DEFAULT_SYSTEM_DIR
#define KALMO_DEFAULT_SYSTEM_DIR "" // the build names the installed program folder
#endif

namespace {

const QString kHistoryKeyName = QStringLiteral("Rufnummern");

QString JoinKey(const QString& a, const QString& b) {
    return a.isEmpty() ? b : a + u'\\' + b;
}

// Registry texts end at their first NUL.
QString UpToNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

// Where a user has no shell folder in the store, the XDG locations stand in: the data home
// for AppData, the documents folder for Personal. Without a home folder there is none.
QString XdgFolder(int id) {
    const QString home = qEnvironmentVariable("HOME");
    if (id == AppBase::kFolderAppData) {
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

AppBase::AppBase(Registry& registry, Messenger& messenger)
    : m_registry(registry), m_messenger(messenger) {}

QString AppBase::ApplicationKey() const {
    return QStringLiteral("Software\\") + m_company + u'\\' + m_profile;
}

QString AppBase::SectionKey(const QString& section) const {
    return JoinKey(ApplicationKey(), section);
}

QString AppBase::GetProfileString(const QString& section, const QString& entry,
                                  const QString& defaultValue) {
    return ReadSectionValue(false, section, entry, defaultValue);
}

bool AppBase::WriteProfileString(const QString& section, const QString& entry,
                                 const QString& value) {
    RegistryStore& user = m_registry.User();
    const QString key = SectionKey(section);
    return user.CreateKey(key) && user.SetValue(key, entry, RegValue::FromText(value));
}

qint64 AppBase::GetProfileInt(const QString& section, const QString& entry, qint64 defaultValue) {
    const auto value = m_registry.User().QueryValue(SectionKey(section), entry);
    if (!value)
        return defaultValue;
    return value->ToInteger().value_or(defaultValue);
}

bool AppBase::WriteProfileInt(const QString& section, const QString& entry, qint64 value) {
    RegistryStore& user = m_registry.User();
    const QString key = SectionKey(section);
    return user.CreateKey(key) && user.SetValue(key, entry, RegValue::FromInteger(value));
}

QString AppBase::ReadSectionValue(bool machine, const QString& section, const QString& name,
                                  const QString& defaultValue) {
    RegistryStore& store = machine ? m_registry.Machine() : m_registry.User();
    const auto value = store.QueryValue(SectionKey(section), name);
    return value ? UpToNul(value->ToText()) : defaultValue;
}

QString AppBase::GetMachineThenUserString(const QString& name, const QString& defaultValue) {
    const QString machine = ReadSectionValue(true, m_strTitlePrefix, name, defaultValue);
    return ReadSectionValue(false, m_strTitlePrefix, name, machine);
}

QString AppBase::GetShellFolder(int id, const QString& defaultValue) {
    const bool create = (id & kFolderCreateFlag) != 0;
    id &= ~kFolderCreateFlag;
    QString valueName;
    if (id == kFolderPersonal)
        valueName = QStringLiteral("Personal");
    else if (id == kFolderAppData)
        valueName = QStringLiteral("AppData");
    else
        return {};
    const auto value = m_registry.User().QueryValue(fax::kShellFoldersKey, valueName);
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

QString AppBase::ResolveDataFolder(const QString& productFolder) {
    QString base = GetShellFolder(kFolderAppData | kFolderCreateFlag);
    if (!base.isEmpty())
        base = JoinPath(base, productFolder);
    return GetMachineThenUserString(fax::kValueDataDir, base);
}

bool AppBase::CreateFolder(const QString& path) {
    if (IsDirectory(StripTrailingBackslash(path)))
        return true;
    if (::mkdir(NativePath(path).constData(), 0777) == 0)
        return true;
    const QString reason = GetLastErrorText();
    MessageWarning2(m_messenger, IDS_ERR_CREATE_FOLDER, path, reason);
    return false;
}

void AppBase::CreateSpoolFolders() {
    for (const QString& name : {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr,
                                fax::kFolderComrec, fax::kFolderFaxsend, fax::kFolderFaxrec}) {
        if (!CreateFolder(JoinPath(m_strDataDir, name)))
            return;
    }
}

QString AppBase::TakeHandoffString(const QString& key, const QString& title) {
    RegistryStore& user = m_registry.User();
    const QString fullKey = JoinKey(fax::kHandoffKey, key);
    if (!user.KeyExists(fullKey))
        return {};
    const auto value = user.TakeValue(fullKey, title);
    return value ? UpToNul(value->ToText()) : QString();
}

bool AppBase::TakeSerialLetterFlag(const QString& title) {
    return !TakeHandoffString(fax::kHandoffSerialLetter, title).isEmpty();
}

QString AppBase::HistoryKey() const {
    return JoinKey(SectionKey(fax::kSectionFax), kHistoryKeyName);
}

bool AppBase::OpenHistoryKey() {
    return m_registry.User().CreateKey(HistoryKey());
}

QString AppBase::ReadHistoryEntry(const QString& name, const QString& defaultValue) {
    if (!OpenHistoryKey())
        return defaultValue;
    const auto value = m_registry.User().QueryValue(HistoryKey(), name);
    return value ? UpToNul(value->ToText()) : defaultValue;
}

bool AppBase::WriteHistoryEntry(const std::optional<QString>& name,
                                const std::optional<QString>& text) {
    RegistryStore& user = m_registry.User();
    if (!name) {
        if (!user.CreateKey(SectionKey(fax::kSectionFax)))
            return false;
        return user.DeleteKey(HistoryKey());
    }
    if (!OpenHistoryKey())
        return false;
    if (!text)
        return user.DeleteValue(HistoryKey(), *name);
    return user.SetValue(HistoryKey(), *name, RegValue::FromText(*text));
}

QStringList AppBase::LoadNumberHistory() {
    QStringList entries;
    for (int i = 0; i < kHistorySize; ++i) {
        const QString text = ReadHistoryEntry(QStringLiteral("Nummer%1").arg(i));
        if (!text.isEmpty())
            entries.append(text);
    }
    return entries;
}

bool AppBase::SaveNumberHistory(const QStringList& entries) {
    return m_registry.User().Transaction([&] {
        WriteHistoryEntry(std::nullopt, std::nullopt); // absent on the first save: no error
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (!WriteHistoryEntry(QStringLiteral("Nummer%1").arg(i), entries.at(i)))
                return false;
        }
        return true;
    });
}

void AddToHistoryList(QStringList& entries, const QString& number) {
    entries.removeIf([&](const QString& e) { return e.compare(number, Qt::CaseInsensitive) == 0; });
    entries.prepend(number);
    while (entries.size() > kHistorySize)
        entries.removeAt(kHistorySize);
}

bool IsRecipientSelectionText(const QString& number) {
    return number.endsWith(LoadString(IDS_RECIPIENTS), Qt::CaseSensitive);
}

void AppBase::ResolveFaxFolders() {
    m_strSystemDir =
        GetMachineThenUserString(fax::kValueSystemDir, QStringLiteral(KALMO_DEFAULT_SYSTEM_DIR));

    // The base folder is created quietly; the data folder below it reports a failure.
    m_strDataDir = ResolveDataFolder(fax::kTitlePrefix);
    ::mkdir(NativePath(m_strDataDir).constData(), 0777);
    m_strDataDir = JoinPath(m_strDataDir, fax::kDataFolderName);
    m_strDataDir = GetProfileString(fax::kSectionFax, fax::kValueDataDir, m_strDataDir);
    CreateFolder(m_strDataDir);
    CreateSpoolFolders();
}
