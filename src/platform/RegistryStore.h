#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;

// A value of the settings store: text or a 32-bit integer.
struct RegValue {
    enum class Type { Text = 1, Integer = 4 };

    Type type = Type::Text;
    QString text;
    qint64 integer = 0;

    static RegValue FromText(const QString& text) { return {Type::Text, text, 0}; }
    static RegValue FromInteger(qint64 value) { return {Type::Integer, {}, value}; }
    // Every value reads as text; an integer as its decimal digits.
    QString ToText() const;
    // An integer, or a text holding a decimal integer.
    std::optional<qint64> ToInteger() const;
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// One root of the settings store (machine-wide or per user) in an SQLite database file.
// Keys are paths of names separated by "\"; names of keys and values ignore letter case
// (umlauts included), the original spelling is kept for listing. The unnamed value has the
// name "". A store whose file cannot be opened acts as an empty store on which every write
// fails: a missing key or value is never an error for the program. A file that exists but is
// no usable store says why in OpenError, for start-up to report.
class RegistryStore {
public:
    enum class Access { ReadOnly, ReadWrite };
    enum class Journal { Rollback, Wal };

    RegistryStore(const QString& file, Access access, Journal journal = Journal::Wal);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    QString FileName() const { return m_file; }
    bool IsOpen() const { return m_db != nullptr; }
    // Why a file that exists could not be used as a store (not a database, damaged, a
    // folder, another program's tables): SQLite's reason. Empty when the store is usable or
    // its file simply does not exist yet.
    const QString& OpenError() const { return m_openError; }
    bool IsWritable() const { return m_db != nullptr && m_access == Access::ReadWrite; }

    // Open for reading: does the key exist? The empty path is the root, which always exists.
    bool KeyExists(const QString& key);
    // Create-or-open: makes the key and every missing key on the way.
    bool CreateKey(const QString& key);
    // Absent (nullopt) is distinct from an empty text.
    std::optional<RegValue> QueryValue(const QString& key, const QString& name);
    // Stores into an existing key; false when the key does not exist.
    bool SetValue(const QString& key, const QString& name, const RegValue& value);
    bool DeleteValue(const QString& key, const QString& name);
    // Deletes the key with its values and every key below it. The root cannot be deleted.
    bool DeleteKey(const QString& key);
    // Reads and deletes a value in one step, so that of two processes taking the same value
    // exactly one gets it.
    std::optional<RegValue> TakeValue(const QString& key, const QString& name);
    // Runs body in one write transaction (BEGIN IMMEDIATE, or a savepoint when nested);
    // commits when body returns true, else rolls back. False when nothing was committed.
    bool Transaction(const std::function<bool()>& body);

    QStringList SubKeys(const QString& key);
    QList<QPair<QString, RegValue>> Values(const QString& key);

    // Canonical forms: components trimmed of empty parts, and the case-folded form.
    static QString NormaliseKey(const QString& key);
    static QString FoldName(const QString& name);

private:
    class Statement;
    bool Exec(const char* sql);
    Statement Prepare(const char* sql);
    bool EnsureSchema();
    bool CheckReadable();
    void Unusable();
    bool KeyExistsFolded(const QString& folded);

    QString m_file;
    Access m_access;
    sqlite3* m_db = nullptr;
    int m_transactionDepth = 0;
    QString m_openError;
    QString m_detail;
    bool m_existed = false;
};

// The two roots. Files: KALMO_MACHINE_REGISTRY or /etc/kalmo/registry.db, and
// KALMO_USER_REGISTRY or ${XDG_CONFIG_HOME:-~/.config}/kalmo/registry.db.
class Registry {
public:
    Registry(std::unique_ptr<RegistryStore> machine, std::unique_ptr<RegistryStore> user);

    // The program's view: the machine root read-only, the user root read-write.
    static std::unique_ptr<Registry> OpenDefault();
    static QString DefaultMachineFile();
    static QString DefaultUserFile();
    // Makes a missing per-user store file, readable and writable by its owner only: the
    // user's store may hold secrets (the fax server's password), and SQLite gives its journal
    // files the database's mode.
    static void CreateUserFile(const QString& file);
    // Creates the machine store file when it does not exist: every user reads it, so the file
    // is made 0644 and the folders made for it 0755, whatever the umask.
    static void CreateMachineFile(const QString& file);

    RegistryStore& Machine() { return *m_machine; }
    RegistryStore& User() { return *m_user; }

private:
    std::unique_ptr<RegistryStore> m_machine;
    std::unique_ptr<RegistryStore> m_user;
};
