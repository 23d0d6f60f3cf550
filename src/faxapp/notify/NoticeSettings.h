#pragma once

// The user's choices about notices, in section "Fax" of the settings store.

#include <QString>

class RegistryStore;

namespace faxapp {

inline const QString kValueNotices = QStringLiteral("Benachrichtigungen"); // 0/1, default 1
inline const QString kValueFailuresOnly = QStringLiteral("NurFehler");     // 0/1, default 0
// Minutes a job may wait for the fax server before the user is told; 0: never told.
inline const QString kValueWaitMinutes = QStringLiteral("WarteMinuten"); // default 30

struct NoticeSettings {
    static constexpr int kMaxWaitMinutes = 7 * 24 * 60;
    bool enabled = true;
    bool failuresOnly = false;
    int waitMinutes = 30;
};

// Values that are not numbers, or out of range, keep their defaults.
NoticeSettings ReadNoticeSettings(RegistryStore& user);
// From the user's default store.
NoticeSettings LoadNoticeSettings();

} // namespace faxapp
