#pragma once

#include "platform/RegistryStore.h"

#include <QTemporaryDir>
#include <memory>

// Two store files in a temporary folder; the machine root writable so tests can fill it.
class TestRegistry {
public:
    TestRegistry();
    QString MachineFile() const { return m_dir.filePath(QStringLiteral("machine.db")); }
    QString UserFile() const { return m_dir.filePath(QStringLiteral("user.db")); }
    QString Path() const { return m_dir.path(); }

    Registry& registry() { return *m_registry; }
    RegistryStore& Machine() { return m_registry->Machine(); }
    RegistryStore& User() { return m_registry->User(); }

    // Creates the key and sets a text value.
    static void Set(RegistryStore& store, const QString& key, const QString& name,
                    const QString& text);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Registry> m_registry;
};
