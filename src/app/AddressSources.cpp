#include "app/AddressSources.h"

#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "platform/RegistryStore.h"

namespace {

QStringList SubKeysOfBoth(Registry& registry, const QString& key) {
    QStringList names = registry.Machine().SubKeys(key) + registry.User().SubKeys(key);
    names.sort(Qt::CaseInsensitive);
    names.removeDuplicates();
    return names;
}

} // namespace

bool AddressSources::HasSourceFor(int choice) const {
    if (choice == 0)
        return true;
    return choice == 1 ? !directories.isEmpty() : !cardDavAccounts.isEmpty();
}

AddressSources ReadAddressSources(AppBase& app) {
    const QString fax = app.SectionKey(fax::kSectionFax);
    return {SubKeysOfBoth(app.GetRegistry(), fax + QStringLiteral("\\CardDav")),
            SubKeysOfBoth(app.GetRegistry(), fax + QStringLiteral("\\Directories"))};
}
