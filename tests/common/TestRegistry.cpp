#include "TestRegistry.h"

#include <QTest>

TestRegistry::TestRegistry() {
    m_registry = std::make_unique<Registry>(
        std::make_unique<RegistryStore>(MachineFile(), RegistryStore::Access::ReadWrite,
                                        RegistryStore::Journal::Rollback),
        std::make_unique<RegistryStore>(UserFile(), RegistryStore::Access::ReadWrite));
}

void TestRegistry::Set(RegistryStore& store, const QString& key, const QString& name,
                       const QString& text) {
    QVERIFY(store.CreateKey(key));
    QVERIFY(store.SetValue(key, name, RegValue::FromText(text)));
}
