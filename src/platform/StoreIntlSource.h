#pragma once

#include "support/IntlSource.h"

class RegistryStore;

// The regional settings the user keeps in the settings store, under
// HKCU\Control Panel\International with the classic value names (names ignore case). Values
// are read on every call, so that a reload sees changes.
class StoreIntlSource final : public IntlSource {
public:
    static constexpr const char16_t* kKey = u"Control Panel\\International";

    // The store must outlive the source.
    explicit StoreIntlSource(RegistryStore& store) : m_store(store) {}

    std::optional<QString> ReadString(const QString& key) const override;
    // An integer value, or a text read as the profile functions read numbers.
    std::optional<int> ReadInt(const QString& key) const override;

private:
    RegistryStore& m_store;
};

// The program's regional settings: the store's values first, then those derived from the
// user's C library locale; what neither has takes the built-in defaults.
std::shared_ptr<const IntlSource> MakeRegionalSettingsSource(RegistryStore& userStore);
