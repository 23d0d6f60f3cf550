#include "platform/RegistryStore.h"

#include "support/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QChar kKeySeparator = u'\\';

QByteArray Utf8(const QString& s) {
    return s.toUtf8();
}

QString FromColumn(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    const int bytes = sqlite3_column_bytes(stmt, column);
    return text ? QString::fromUtf8(text, bytes) : QString();
}

} // namespace

QString RegValue::ToText() const {
    return type == Type::Integer ? QString::number(integer) : text;
}

std::optional<qint64> RegValue::ToInteger() const {
    if (type == Type::Integer)
        return integer;
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

// A prepared statement, finalised when it goes out of scope.
class RegistryStore::Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db && sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept : m_stmt(std::exchange(other.m_stmt, nullptr)) {}

    explicit operator bool() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }

    Statement& Bind(int index, const QString& text) {
        const QByteArray bytes = Utf8(text);
        if (m_stmt)
            sqlite3_bind_text(m_stmt, index, bytes.constData(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, qint64 value) {
        if (m_stmt)
            sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }
    bool Run() { return Step() == SQLITE_DONE; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

RegistryStore::RegistryStore(const QString& file, Access access, Journal journal)
    : m_file(file), m_access(access) {
    int flags = SQLITE_OPEN_NOMUTEX;
    // A file that does not exist (yet) is an empty store, not an error: a machine without
    // machine-wide settings, a user who has none so far.
    m_existed = QFileInfo::exists(file) || QFileInfo(file).isSymLink();
    if (access == Access::ReadOnly) {
        if (!m_existed)
            return;
        flags |= SQLITE_OPEN_READONLY;
    } else {
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        const QString dir = QFileInfo(file).absolutePath();
        QDir().mkpath(dir);
    }
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        Unusable();
        return;
    }
    // The fax application writes the same store: wait for its locks instead of failing.
    sqlite3_busy_timeout(m_db, 5000);
    if (access == Access::ReadWrite) {
        if (journal == Journal::Wal)
            Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
    }
    if (!CheckReadable() || (access == Access::ReadWrite && !EnsureSchema()))
        Unusable();
}

void RegistryStore::Unusable() {
    // A store held locked longer than the wait is not known to be damaged: it reads as empty
    // for this run, as before.
    const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_NOMEM;
    if (m_existed && code != SQLITE_BUSY && code != SQLITE_LOCKED) {
        m_openError =
            m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
        if (!m_detail.isEmpty())
            m_openError = m_detail;
        // SQLite says only that it cannot open the file; the user is told why.
        else if (::access(QFile::encodeName(m_file).constData(), R_OK) != 0 && errno == EACCES)
            m_openError = GetErrorText(EACCES);
    }
    sqlite3_close(m_db);
    m_db = nullptr;
}

bool RegistryStore::CheckReadable() {
    // A damaged file (random bytes, cut short) fails here, or answers what is wrong.
    {
        Statement check = Prepare("PRAGMA quick_check(1)");
        if (!check || check.Step() != SQLITE_ROW)
            return false;
        const QString answer = FromColumn(check.get(), 0);
        if (answer != QLatin1String("ok")) {
            m_detail = answer;
            return false;
        }
    }
    // An empty database is a store without settings yet; any other tables must be ours.
    Statement tables = Prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table'");
    if (!tables || tables.Step() != SQLITE_ROW)
        return false;
    if (sqlite3_column_int(tables.get(), 0) == 0)
        return true;
    return Prepare("SELECT path, parent, name FROM keys LIMIT 0") &&
           Prepare("SELECT key, folded, name, type, data FROM vals LIMIT 0");
}

RegistryStore::~RegistryStore() {
    sqlite3_close(m_db);
}

bool RegistryStore::Exec(const char* sql) {
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

RegistryStore::Statement RegistryStore::Prepare(const char* sql) {
    return Statement(m_db, sql);
}

bool RegistryStore::EnsureSchema() {
    return Exec("CREATE TABLE IF NOT EXISTS keys("
                " path TEXT PRIMARY KEY," // case-folded full path
                " parent TEXT NOT NULL,"  // case-folded parent path, "" for top level
                " name TEXT NOT NULL"     // last component as first written
                ") WITHOUT ROWID;"
                "CREATE INDEX IF NOT EXISTS keys_parent ON keys(parent);"
                "CREATE TABLE IF NOT EXISTS vals("
                " key TEXT NOT NULL,"     // case-folded key path
                " folded TEXT NOT NULL,"  // case-folded value name
                " name TEXT NOT NULL,"    // value name as first written
                " type INTEGER NOT NULL," // 1 text, 4 integer
                " data,"
                " PRIMARY KEY(key, folded)"
                ") WITHOUT ROWID;");
}

QString RegistryStore::NormaliseKey(const QString& key) {
    const QStringList parts = key.split(kKeySeparator, Qt::SkipEmptyParts);
    return parts.join(kKeySeparator);
}

QString RegistryStore::FoldName(const QString& name) {
    return name.toCaseFolded();
}

bool RegistryStore::KeyExistsFolded(const QString& folded) {
    if (folded.isEmpty())
        return m_db != nullptr;
    Statement st = Prepare("SELECT 1 FROM keys WHERE path = ?1");
    return st.Bind(1, folded).Step() == SQLITE_ROW;
}

bool RegistryStore::KeyExists(const QString& key) {
    return KeyExistsFolded(FoldName(NormaliseKey(key)));
}

bool RegistryStore::CreateKey(const QString& key) {
    if (!IsWritable())
        return KeyExists(key);
    const QString path = NormaliseKey(key);
    if (KeyExistsFolded(FoldName(path)))
        return true;
    return Transaction([&] {
        const QStringList parts = path.split(kKeySeparator, Qt::SkipEmptyParts);
        QString current;
        for (const QString& part : parts) {
            const QString parent = current;
            current = current.isEmpty() ? part : current + kKeySeparator + part;
            Statement st =
                Prepare("INSERT OR IGNORE INTO keys(path, parent, name) VALUES(?1, ?2, ?3)");
            if (!st.Bind(1, FoldName(current)).Bind(2, FoldName(parent)).Bind(3, part).Run())
                return false;
        }
        return true;
    });
}

std::optional<RegValue> RegistryStore::QueryValue(const QString& key, const QString& name) {
    Statement st = Prepare("SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2");
    if (st.Bind(1, FoldName(NormaliseKey(key))).Bind(2, FoldName(name)).Step() != SQLITE_ROW)
        return std::nullopt;
    if (sqlite3_column_int(st.get(), 0) == static_cast<int>(RegValue::Type::Integer))
        return RegValue::FromInteger(sqlite3_column_int64(st.get(), 1));
    return RegValue::FromText(FromColumn(st.get(), 1));
}

bool RegistryStore::SetValue(const QString& key, const QString& name, const RegValue& value) {
    if (!IsWritable())
        return false;
    const QString folded = FoldName(NormaliseKey(key));
    return Transaction([&] {
        if (!KeyExistsFolded(folded))
            return false;
        // The first spelling of a name is kept, as the registry keeps it.
        Statement st = Prepare(
            "INSERT INTO vals(key, folded, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
            "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
        st.Bind(1, folded).Bind(2, FoldName(name)).Bind(3, name);
        st.Bind(4, static_cast<qint64>(value.type));
        if (value.type == RegValue::Type::Integer)
            st.Bind(5, value.integer);
        else
            st.Bind(5, value.text);
        return st.Run();
    });
}

bool RegistryStore::DeleteValue(const QString& key, const QString& name) {
    if (!IsWritable())
        return false;
    Statement st = Prepare("DELETE FROM vals WHERE key = ?1 AND folded = ?2");
    return st.Bind(1, FoldName(NormaliseKey(key))).Bind(2, FoldName(name)).Run() &&
           sqlite3_changes(m_db) > 0;
}

bool RegistryStore::DeleteKey(const QString& key) {
    const QString folded = FoldName(NormaliseKey(key));
    if (!IsWritable() || folded.isEmpty())
        return false;
    // Everything below the key sorts between "key\" and "key]" ('\' + 1 == ']').
    const QString below = folded + kKeySeparator;
    const QString end = folded + QChar(kKeySeparator.unicode() + 1);
    return Transaction([&] {
        if (!KeyExistsFolded(folded))
            return false;
        Statement keys = Prepare("DELETE FROM keys WHERE path = ?1 OR (path >= ?2 AND path < ?3)");
        Statement vals = Prepare("DELETE FROM vals WHERE key = ?1 OR (key >= ?2 AND key < ?3)");
        return keys.Bind(1, folded).Bind(2, below).Bind(3, end).Run() &&
               vals.Bind(1, folded).Bind(2, below).Bind(3, end).Run();
    });
}

std::optional<RegValue> RegistryStore::TakeValue(const QString& key, const QString& name) {
    if (!IsWritable())
        return std::nullopt;
    std::optional<RegValue> taken;
    const bool ok = Transaction([&] {
        Statement st =
            Prepare("DELETE FROM vals WHERE key = ?1 AND folded = ?2 RETURNING type, data");
        st.Bind(1, FoldName(NormaliseKey(key))).Bind(2, FoldName(name));
        int rc = st.Step();
        if (rc == SQLITE_ROW) {
            if (sqlite3_column_int(st.get(), 0) == static_cast<int>(RegValue::Type::Integer))
                taken = RegValue::FromInteger(sqlite3_column_int64(st.get(), 1));
            else
                taken = RegValue::FromText(FromColumn(st.get(), 1));
            rc = st.Step();
        }
        return rc == SQLITE_DONE;
    });
    return ok ? taken : std::nullopt;
}

bool RegistryStore::Transaction(const std::function<bool()>& body) {
    if (!IsWritable())
        return false;
    const bool outer = m_transactionDepth == 0;
    if (!Exec(outer ? "BEGIN IMMEDIATE" : "SAVEPOINT nested"))
        return false;
    ++m_transactionDepth;
    bool ok = false;
    try {
        ok = body();
    } catch (...) {
        --m_transactionDepth;
        Exec(outer ? "ROLLBACK" : "ROLLBACK TO nested; RELEASE nested");
        throw;
    }
    --m_transactionDepth;
    if (ok)
        ok = Exec(outer ? "COMMIT" : "RELEASE nested");
    if (!ok)
        Exec(outer ? "ROLLBACK" : "ROLLBACK TO nested; RELEASE nested");
    return ok;
}

QStringList RegistryStore::SubKeys(const QString& key) {
    QStringList names;
    Statement st = Prepare("SELECT name FROM keys WHERE parent = ?1 ORDER BY path");
    st.Bind(1, FoldName(NormaliseKey(key)));
    while (st.Step() == SQLITE_ROW)
        names.append(FromColumn(st.get(), 0));
    return names;
}

QList<QPair<QString, RegValue>> RegistryStore::Values(const QString& key) {
    QList<QPair<QString, RegValue>> values;
    Statement st = Prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY folded");
    st.Bind(1, FoldName(NormaliseKey(key)));
    while (st.Step() == SQLITE_ROW) {
        const QString name = FromColumn(st.get(), 0);
        if (sqlite3_column_int(st.get(), 1) == static_cast<int>(RegValue::Type::Integer))
            values.append({name, RegValue::FromInteger(sqlite3_column_int64(st.get(), 2))});
        else
            values.append({name, RegValue::FromText(FromColumn(st.get(), 2))});
    }
    return values;
}

Registry::Registry(std::unique_ptr<RegistryStore> machine, std::unique_ptr<RegistryStore> user)
    : m_machine(std::move(machine)), m_user(std::move(user)) {}

QString Registry::DefaultMachineFile() {
    const QString env = qEnvironmentVariable("KALMO_MACHINE_REGISTRY");
    return env.isEmpty() ? QStringLiteral("/etc/kalmo/registry.db") : env;
}

QString Registry::DefaultUserFile() {
    const QString env = qEnvironmentVariable("KALMO_USER_REGISTRY");
    if (!env.isEmpty())
        return env;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/kalmo/registry.db");
}

void Registry::CreateUserFile(const QString& file) {
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink() ||
        !QDir().mkpath(QFileInfo(file).absolutePath()))
        return;
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

void Registry::CreateMachineFile(const QString& file) {
    if (QFileInfo::exists(file) || QFileInfo(file).isSymLink())
        return;
    // The folders missing, the outermost first.
    QStringList missing;
    for (QString dir = QFileInfo(file).absolutePath(); !QFileInfo::exists(dir);
         dir = QFileInfo(dir).absolutePath()) {
        missing.prepend(dir);
        if (dir == QLatin1String("/"))
            break;
    }
    for (const QString& dir : std::as_const(missing)) {
        const QByteArray path = QFile::encodeName(dir);
        if (::mkdir(path.constData(), 0755) != 0 && errno != EEXIST)
            return;
        ::chmod(path.constData(), 0755);
    }
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ::fchmod(fd, 0644);
    ::close(fd);
}

std::unique_ptr<Registry> Registry::OpenDefault() {
    CreateUserFile(DefaultUserFile());
    return std::make_unique<Registry>(
        std::make_unique<RegistryStore>(DefaultMachineFile(), RegistryStore::Access::ReadOnly),
        std::make_unique<RegistryStore>(DefaultUserFile(), RegistryStore::Access::ReadWrite));
}
