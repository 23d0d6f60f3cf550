#include "platform/StoreIntlSource.h"

#include "platform/RegistryStore.h"
#include "support/LocaleIntlSource.h"

std::optional<QString> StoreIntlSource::ReadString(const QString& key) const {
    const auto value = m_store.QueryValue(QString::fromUtf16(kKey), key);
    if (!value)
        return std::nullopt;
    return value->ToText();
}

std::optional<int> StoreIntlSource::ReadInt(const QString& key) const {
    const auto value = m_store.QueryValue(QString::fromUtf16(kKey), key);
    if (!value)
        return std::nullopt;
    if (value->type == RegValue::Type::Integer)
        return static_cast<int>(static_cast<qint32>(value->integer));
    return ParseProfileInt(value->text);
}

std::shared_ptr<const IntlSource> MakeRegionalSettingsSource(RegistryStore& userStore) {
    return std::make_shared<LayeredIntlSource>(std::vector<std::shared_ptr<const IntlSource>>{
        std::make_shared<StoreIntlSource>(userStore), std::make_shared<LocaleIntlSource>()});
}
