#include "kalmofax/Commands.h"
#include "platform/RegistryStore.h"

namespace faxapp {

std::unique_ptr<RegistryStore> OpenSettingsForWriting(bool machine) {
    const QString file = machine ? Registry::DefaultMachineFile() : Registry::DefaultUserFile();
    if (machine)
        Registry::CreateMachineFile(file);
    else
        Registry::CreateUserFile(file);
    return std::make_unique<RegistryStore>(file, RegistryStore::Access::ReadWrite);
}

} // namespace faxapp
