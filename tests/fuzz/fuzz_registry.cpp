// The settings store. The input's first byte chooses what the rest is:
//   0  a text value read as an integer
//   1  eight bytes of an integer value, written as text and read back
//   2  a store's database file, opened read-only and then read-write
// A text reads as an integer only when it is one (up to its first NUL), and then as its value; a
// read-only store never changes its file and refuses every write; on a read-write store of an
// intact file what is written is read back, and a value taken is gone.

#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "platform/RegistryStore.h"

#include <QFile>
#include <QRegularExpression>
#include <cstring>
#include <sqlite3.h>

namespace {

// A text of the store ends at its first NUL, as the registry's texts do.
void CheckText(const QString& stored) {
    const std::optional<qint64> value = RegValue::FromText(stored).ToInteger();
    const QString text = stored.left(stored.indexOf(QChar(u'\0')));
    static const QRegularExpression integer(QStringLiteral("^[+-]?0*([0-9]+)$"));
    const QRegularExpressionMatch match = integer.match(text.trimmed());
    if (!match.hasMatch()) {
        FUZZ_CHECK(!value);
        return;
    }
    if (!value)
        return; // out of range
    QString digits = QString::number(*value);
    if (digits.startsWith(u'-'))
        digits.remove(0, 1);
    FUZZ_CHECK(digits == match.captured(1));
    FUZZ_CHECK((*value < 0) == (text.trimmed().startsWith(u'-') && *value != 0));
}

void CheckInteger(qint64 n) {
    const RegValue value = RegValue::FromInteger(n);
    FUZZ_CHECK(value.ToInteger() == n);
    FUZZ_CHECK(RegValue::FromText(value.ToText()).ToInteger() == n);
}

// Does SQLite find the database file whole?
bool Intact(const QString& file) {
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            ok = text && std::strcmp(text, "ok") == 0;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return ok;
}

// Every key below key, depth first, as far as the store lists them.
void Walk(RegistryStore& store, const QString& key, int depth, QStringList& keys) {
    if (depth > 8 || keys.size() > 200)
        return;
    for (const QString& sub : store.SubKeys(key)) {
        const QString path = key.isEmpty() ? sub : key + u'\\' + sub;
        keys.append(path);
        Walk(store, path, depth + 1, keys);
    }
}

void CheckStore(const QByteArray& bytes) {
    static const QString path = FuzzPath("registry.db");
    static const QString copy = FuzzPath("registry-rw.db");
    for (const QString& file : {path, copy})
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(file + QLatin1String(suffix));
    WriteFuzzFile(path, reinterpret_cast<const unsigned char*>(bytes.constData()),
                  static_cast<std::size_t>(bytes.size()));
    WriteFuzzFile(copy, reinterpret_cast<const unsigned char*>(bytes.constData()),
                  static_cast<std::size_t>(bytes.size()));
    {
        RegistryStore store(path, RegistryStore::Access::ReadOnly);
        FUZZ_CHECK(!store.IsWritable());
        FUZZ_CHECK(store.KeyExists(QString()) == store.IsOpen());
        QStringList keys{QString()};
        Walk(store, QString(), 0, keys);
        for (const QString& key : keys) {
            for (const auto& [name, value] : store.Values(key))
                FUZZ_CHECK(value.type == RegValue::Type::Text ||
                           value.type == RegValue::Type::Integer);
            FUZZ_CHECK(!store.SetValue(key, QStringLiteral("x"), RegValue::FromInteger(1)));
            FUZZ_CHECK(!store.TakeValue(key, QStringLiteral("x")));
            FUZZ_CHECK(!store.DeleteKey(key));
        }
        FUZZ_CHECK(!store.CreateKey(QStringLiteral("Fuzz\\Neu")) ||
                   store.KeyExists(QStringLiteral("Fuzz\\Neu")));
    }
    FUZZ_CHECK(ReadFuzzFile(path) == bytes);

    // On a damaged file SQLite answers what it can and may lose a write without an error, so
    // what is written is looked for only in a file that passes SQLite's own check.
    const bool intact = Intact(copy);
    RegistryStore store(copy, RegistryStore::Access::ReadWrite, RegistryStore::Journal::Rollback);
    if (!store.IsOpen() || !intact)
        return;
    const QString key = QStringLiteral("Software\\Fuzz\\Probe");
    if (!store.CreateKey(key))
        return;
    FUZZ_CHECK(store.KeyExists(QStringLiteral("software\\FUZZ")));
    FUZZ_CHECK(store.KeyExists(key));
    const RegValue text = RegValue::FromText(QStringLiteral("Wert \u00e4"));
    if (store.SetValue(key, QStringLiteral("Name"), text)) {
        FUZZ_CHECK(store.QueryValue(key, QStringLiteral("NAME")) == text);
        FUZZ_CHECK(store.TakeValue(key, QStringLiteral("name")) == text);
        FUZZ_CHECK(!store.QueryValue(key, QStringLiteral("Name")));
    }
    if (store.DeleteKey(QStringLiteral("Software\\Fuzz")))
        FUZZ_CHECK(!store.KeyExists(key));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    switch (input.Byte() % 3) {
    case 0:
        CheckText(QString::fromUtf8(input.Rest()));
        break;
    case 1: {
        const auto low = static_cast<quint32>(input.Int32());
        const auto high = static_cast<quint32>(input.Int32());
        CheckInteger(static_cast<qint64>(quint64(high) << 32 | low));
        break;
    }
    default:
        CheckStore(input.Rest());
        break;
    }
    return 0;
}
