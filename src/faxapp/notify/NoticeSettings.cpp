#include "faxapp/notify/NoticeSettings.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/RegistryStore.h"

namespace faxapp {

namespace {

std::optional<qint64> Number(RegistryStore& user, const QString& name, qint64 low, qint64 high) {
    const auto value = user.QueryValue(fax::SectionKey(fax::kSectionFax), name);
    const auto number = value ? value->ToInteger() : std::nullopt;
    if (!number || *number < low || *number > high)
        return std::nullopt;
    return number;
}

} // namespace

NoticeSettings ReadNoticeSettings(RegistryStore& user) {
    NoticeSettings settings;
    if (const auto on = Number(user, kValueNotices, 0, 1))
        settings.enabled = *on == 1;
    if (const auto only = Number(user, kValueFailuresOnly, 0, 1))
        settings.failuresOnly = *only == 1;
    if (const auto wait = Number(user, kValueWaitMinutes, 0, NoticeSettings::kMaxWaitMinutes))
        settings.waitMinutes = static_cast<int>(*wait);
    return settings;
}

NoticeSettings LoadNoticeSettings() {
    auto registry = Registry::OpenDefault();
    return ReadNoticeSettings(registry->User());
}

} // namespace faxapp
