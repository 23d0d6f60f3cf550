// registry_take_helper FILE KEY NAME: takes the value; prints it and exits 0, or exits 1.
#include "platform/RegistryStore.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4)
        return 2;
    RegistryStore store(QString::fromLocal8Bit(argv[1]), RegistryStore::Access::ReadWrite);
    const auto value =
        store.TakeValue(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (!value)
        return 1;
    std::puts(value->ToText().toUtf8().constData());
    return 0;
}
