#include "app/AppBase.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
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

namespace {

const QString kHistoryKeyName = QStringLiteral("Rufnummern");

QString JoinKey(const QString& a, const QString& b) {
    return a.isEmpty() ? b : a + u'\\' + b;
}

} // namespace

AppBase::AppBase(Registry& registry, Messenger& messenger)
    : m_registry(registry), m_messenger(messenger) {}

fax::FaxFolders AppBase::Folders() const {
    return fax::FaxFolders(m_registry, m_messenger);
}

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
    return value ? fax::UpToNul(value->ToText()) : defaultValue;
}

QString AppBase::GetMachineThenUserString(const QString& name, const QString& defaultValue) {
    const QString machine = ReadSectionValue(true, m_strTitlePrefix, name, defaultValue);
    return ReadSectionValue(false, m_strTitlePrefix, name, machine);
}

QString AppBase::GetShellFolder(int id, const QString& defaultValue) {
    return Folders().GetShellFolder(id, defaultValue);
}

QString AppBase::ResolveDataFolder(const QString& productFolder) {
    return Folders().ResolveDataFolder(productFolder);
}

bool AppBase::CreateFolder(const QString& path) {
    return Folders().CreateFolder(path);
}

void AppBase::CreateSpoolFolders() {
    Folders().CreateSpoolFolders(m_strDataDir);
}

QString AppBase::TakeHandoffString(const QString& key, const QString& title) {
    RegistryStore& user = m_registry.User();
    const QString fullKey = JoinKey(fax::kHandoffKey, key);
    if (!user.KeyExists(fullKey))
        return {};
    const auto value = user.TakeValue(fullKey, title);
    return value ? fax::UpToNul(value->ToText()) : QString();
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
    return value ? fax::UpToNul(value->ToText()) : defaultValue;
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
    fax::FaxFolders folders = Folders();
    folders.ResolveFaxFolders();
    m_strSystemDir = folders.SystemDir();
    m_strDataDir = folders.DataDir();
}
