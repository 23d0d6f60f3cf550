#include "faxapp/journal/JournalStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

namespace faxapp {

namespace {

// The schema this program writes; a journal of a later version is left alone, one of an
// earlier version is brought up to this one when opened.
constexpr int kSchemaVersion = 2;
// A journal locked by another program (the sending engine, a second kalmofax) is waited for
// this long before the row is given up: long enough for any single row, short enough that
// kalmosend's call does not time out first.
constexpr int kBusyTimeoutMs = 3000;

// The table of version 2; version 1 had the columns up to outcome and no received rows.
constexpr const char* kTable = "("
                               " id INTEGER PRIMARY KEY,"
                               " recorded TEXT NOT NULL," // ISO 8601, UTC
                               " kind TEXT NOT NULL CHECK(kind IN ('send', 'poll', 'received')),"
                               " document TEXT NOT NULL,"
                               " job_file TEXT NOT NULL,"
                               " number TEXT NOT NULL,"
                               " resolution INTEGER NOT NULL,"
                               " send_time TEXT NOT NULL,"
                               " remark TEXT NOT NULL,"
                               " state TEXT NOT NULL,"
                               " outcome TEXT NOT NULL,"
                               " pages INTEGER NOT NULL DEFAULT 0,"
                               " fax_file TEXT NOT NULL DEFAULT '',"
                               " remote_id TEXT NOT NULL DEFAULT '',"
                               " quality TEXT NOT NULL DEFAULT '',"
                               " server_file TEXT NOT NULL DEFAULT ''," // "<server> <file>"
                               " arrived TEXT NOT NULL DEFAULT '',"     // ISO 8601, UTC
                               " unread INTEGER NOT NULL DEFAULT 0);";
constexpr const char* kIndexes =
    "CREATE INDEX jobs_job_file ON jobs(job_file);"
    "CREATE UNIQUE INDEX jobs_server_file ON jobs(server_file) WHERE server_file <> '';"
    "PRAGMA user_version = 2;";

QByteArray NewSchema() {
    return QByteArray("CREATE TABLE jobs") + kTable + kIndexes;
}

// Version 1 to 2: a new table (SQLite cannot widen a CHECK in place) with the old rows, their
// ids kept.
QByteArray FromVersion1() {
    return QByteArray("CREATE TABLE jobs_v2") + kTable +
           "INSERT INTO jobs_v2(id, recorded, kind, document, job_file, number, resolution, "
           "send_time, remark, state, outcome) SELECT id, recorded, kind, document, job_file, "
           "number, resolution, send_time, remark, state, outcome FROM jobs;"
           "DROP TABLE jobs;"
           "ALTER TABLE jobs_v2 RENAME TO jobs;" +
           kIndexes;
}

constexpr const char* kColumns =
    "id, recorded, kind, document, job_file, number, resolution, send_time, remark, state, "
    "outcome, pages, fax_file, remote_id, quality, server_file, arrived, unread";

QString FromColumn(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    const int bytes = sqlite3_column_bytes(stmt, column);
    return text ? QString::fromUtf8(text, bytes) : QString();
}

// A prepared statement, finalised when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql) {
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    sqlite3_stmt* get() const { return m_stmt; }
    Statement& Bind(int index, const QString& text) {
        const QByteArray bytes = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, bytes.constData(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, qint64 value) {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    int Step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// How a row's time is stored (UTC, ISO 8601 with milliseconds, so that text order is time
// order); the empty text, before every row, for an invalid time.
QString RecordedText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

// One row of a SELECT of kColumns.
JournalEntry RowOf(const Statement& st) {
    JournalEntry e;
    e.id = sqlite3_column_int64(st.get(), 0);
    e.recorded = QDateTime::fromString(FromColumn(st.get(), 1), Qt::ISODateWithMs).toLocalTime();
    const QString kind = FromColumn(st.get(), 2);
    e.poll = kind == QLatin1String("poll");
    e.received = kind == QLatin1String("received");
    e.document = FromColumn(st.get(), 3);
    e.jobFile = FromColumn(st.get(), 4);
    e.number = FromColumn(st.get(), 5);
    e.resolution = sqlite3_column_int(st.get(), 6);
    e.sendTime = FromColumn(st.get(), 7);
    e.remark = FromColumn(st.get(), 8);
    e.state = FromColumn(st.get(), 9);
    e.outcome = FromColumn(st.get(), 10);
    e.pages = sqlite3_column_int(st.get(), 11);
    e.faxFile = FromColumn(st.get(), 12);
    e.remoteId = FromColumn(st.get(), 13);
    e.quality = FromColumn(st.get(), 14);
    e.serverFile = FromColumn(st.get(), 15);
    const QString arrived = FromColumn(st.get(), 16);
    if (!arrived.isEmpty())
        e.arrived = QDateTime::fromString(arrived, Qt::ISODateWithMs).toLocalTime();
    e.unread = sqlite3_column_int(st.get(), 17) != 0;
    return e;
}

} // namespace

struct JournalStore::Impl {
    sqlite3* db = nullptr;
    QString file;

    ~Impl() { sqlite3_close(db); }

    // SQLite's words, and the system's where a system call failed ("disk I/O error" alone
    // does not tell a full disk from a failing one).
    QString Reason() const {
        QString reason = file + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db));
        if (const int code = sqlite3_system_errno(db); code != 0)
            reason += QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(code)) + u')';
        return reason;
    }
    bool Exec(const char* sql) const {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // An int answered by a statement; nullopt when it fails.
    std::optional<qint64> Integer(const char* sql) const {
        Statement st(db, sql);
        if (st.Step() != SQLITE_ROW)
            return std::nullopt;
        return sqlite3_column_int64(st.get(), 0);
    }
    bool CheckIntact(QString& error) const;
    bool CheckSchema(QString& error) const;
    bool InTransaction(const std::function<bool()>& body, QString& error) const;
    // Adds row with every column it has, and gives it its id; stepResult is SQLite's answer
    // to the insert (a unique server file already there: SQLITE_CONSTRAINT_UNIQUE).
    bool Insert(JournalEntry& row, QString& error, int& stepResult) const;
};

bool JournalStore::Impl::Insert(JournalEntry& row, QString& error, int& stepResult) const {
    const QString kind = row.received ? QStringLiteral("received")
                         : row.poll   ? QStringLiteral("poll")
                                      : QStringLiteral("send");
    stepResult = SQLITE_OK;
    const bool ok = InTransaction(
        [&] {
            Statement st(db, "INSERT INTO jobs(recorded, kind, document, job_file, number, "
                             "resolution, send_time, remark, state, outcome, pages, fax_file, "
                             "remote_id, quality, server_file, arrived, unread) VALUES(?1, ?2, "
                             "?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)");
            if (!st)
                return false;
            st.Bind(1, RecordedText(row.recorded))
                .Bind(2, kind)
                .Bind(3, row.document)
                .Bind(4, row.jobFile)
                .Bind(5, row.number)
                .Bind(6, qint64{row.resolution})
                .Bind(7, row.sendTime)
                .Bind(8, row.remark)
                .Bind(9, row.state)
                .Bind(10, row.outcome)
                .Bind(11, qint64{row.pages})
                .Bind(12, row.faxFile)
                .Bind(13, row.remoteId)
                .Bind(14, row.quality)
                .Bind(15, row.serverFile)
                .Bind(16, RecordedText(row.arrived))
                .Bind(17, qint64{row.unread ? 1 : 0});
            stepResult = st.Step();
            return stepResult == SQLITE_DONE;
        },
        error);
    if (ok)
        row.id = sqlite3_last_insert_rowid(db);
    return ok;
}

bool JournalStore::Impl::CheckIntact(QString& error) const {
    // Random bytes fail at the first read ("file is not a database"); a file cut short or
    // with damaged pages gets quick_check's first finding.
    Statement check(db, "PRAGMA quick_check(1)");
    if (!check || check.Step() != SQLITE_ROW) {
        error = Reason();
        return false;
    }
    const QString answer = FromColumn(check.get(), 0);
    if (answer != QLatin1String("ok")) {
        error = file + QStringLiteral(": damaged: ") + answer;
        return false;
    }
    return true;
}

bool JournalStore::Impl::CheckSchema(QString& error) const {
    // Both in one statement, which reads one state of the file: another program may be
    // making the schema meanwhile.
    constexpr const char* kState =
        "SELECT user_version * 1000000 + (SELECT count(*) FROM sqlite_master"
        " WHERE name NOT LIKE 'sqlite_%') FROM pragma_user_version";
    std::optional<qint64> state = Integer(kState);
    if (!state) {
        error = Reason();
        return false;
    }
    if (*state == 0) {
        // A new file: the schema and its version in one transaction, so that a crash leaves
        // either nothing or the whole schema. Made only when still empty under the write lock.
        if (!InTransaction(
                [this, kState] {
                    const std::optional<qint64> still = Integer(kState);
                    return still && (*still != 0 || Exec(NewSchema().constData()));
                },
                error))
            return false;
        state = Integer(kState);
        if (!state) {
            error = Reason();
            return false;
        }
    }
    qint64 version = *state / 1000000;
    if (version == 1) {
        // Brought up under the write lock, only when another program has not done it first.
        if (!InTransaction(
                [this, kState] {
                    const std::optional<qint64> still = Integer(kState);
                    return still && (*still / 1000000 != 1 || Exec(FromVersion1().constData()));
                },
                error))
            return false;
        state = Integer(kState);
        if (!state) {
            error = Reason();
            return false;
        }
        version = *state / 1000000;
    }
    if (version != kSchemaVersion) {
        error = version == 0 ? file + QStringLiteral(": not a journal (foreign tables)")
                             : file + QStringLiteral(": journal version %1, this program "
                                                     "reads version %2")
                                          .arg(version)
                                          .arg(kSchemaVersion);
        return false;
    }
    // Every column this program reads and writes must be there.
    const QByteArray probe = QByteArray("SELECT ") + kColumns + " FROM jobs LIMIT 0";
    if (!Statement(db, probe)) {
        error = file + QStringLiteral(": not a journal of version 2: ") +
                QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    return true;
}

bool JournalStore::Impl::InTransaction(const std::function<bool()>& body, QString& error) const {
    // IMMEDIATE takes the write lock first, so that a lock held by another program is met
    // (and waited for) here, not half-way through.
    if (!Exec("BEGIN IMMEDIATE")) {
        error = Reason();
        return false;
    }
    if (body() && Exec("COMMIT"))
        return true;
    error = Reason();
    Exec("ROLLBACK");
    return false;
}

QString JournalStore::DatabasePath(const QString& dataDir) {
    return dataDir + QStringLiteral("/Journal.sqlite");
}

std::unique_ptr<JournalStore> JournalStore::Open(const QString& dataDir, QString& error) {
    auto impl = std::make_unique<Impl>();
    impl->file = DatabasePath(dataDir);
    if (!QFileInfo(dataDir).isDir()) {
        error = dataDir + QStringLiteral(": no such folder");
        return nullptr;
    }
    // A new journal is private to the user (fax numbers and remarks); SQLite gives its
    // journal files the database's mode. EEXIST: there already, or made by another runner.
    const int made = ::open(QFile::encodeName(impl->file).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (made >= 0)
        ::close(made);
    // NOFOLLOW: a link planted in the data folder does not redirect the journal's writes.
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(QFile::encodeName(impl->file).constData(), &impl->db, flags, nullptr) !=
        SQLITE_OK) {
        error = impl->db ? impl->Reason() : impl->file + QStringLiteral(": out of memory");
        return nullptr;
    }
    sqlite3_extended_result_codes(impl->db, 1);
    sqlite3_busy_timeout(impl->db, kBusyTimeoutMs);
    // Nothing is written before the file has proved intact: a damaged journal stays as it is
    // for whoever repairs it.
    if (!impl->CheckIntact(error))
        return nullptr;
    // A rollback journal, truncated at commit: with synchronous=FULL the truncation is synced,
    // so a row is on disk once its COMMIT returns. The database stays one self-contained file
    // that any reader can open, also read-only and on network folders, which WAL's shared
    // memory file does not allow.
    if (!impl->Exec("PRAGMA journal_mode=TRUNCATE") || !impl->Exec("PRAGMA synchronous=FULL")) {
        error = impl->Reason();
        return nullptr;
    }
    if (!impl->CheckSchema(error))
        return nullptr;
    return std::unique_ptr<JournalStore>(new JournalStore(std::move(impl)));
}

JournalStore::JournalStore(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
JournalStore::~JournalStore() = default;

bool JournalStore::Add(JournalEntry& entry, QString& error) {
    // A job to send: what only its sending or a receiving tells is not taken from entry.
    JournalEntry row;
    row.poll = entry.poll;
    row.document = entry.document;
    row.jobFile = entry.jobFile;
    row.number = entry.number;
    row.resolution = entry.resolution;
    row.sendTime = entry.sendTime;
    row.remark = entry.remark;
    row.recorded = QDateTime::currentDateTime();
    row.state = QStringLiteral("queued");
    int rc = SQLITE_OK;
    if (!m_impl->Insert(row, error, rc))
        return false;
    entry = row;
    return true;
}

bool JournalStore::AddReceived(JournalEntry& entry, QString& error) {
    JournalEntry row = entry;
    row.recorded = QDateTime::currentDateTime();
    row.poll = false;
    row.received = true;
    row.jobFile.clear();
    row.sendTime.clear();
    int rc = SQLITE_OK;
    if (!m_impl->Insert(row, error, rc)) {
        if (rc == SQLITE_CONSTRAINT_UNIQUE)
            error = m_impl->file + QStringLiteral(": already in the journal: ") + row.serverFile;
        return false;
    }
    entry = row;
    return true;
}

std::optional<QList<JournalEntry>> JournalStore::Entries(QString& error, int limit) const {
    // The row id gives the order of adding, also when the clock was set back in between.
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM jobs ORDER BY id DESC" +
                           (limit > 0 ? " LIMIT " + QByteArray::number(limit) : QByteArray());
    Statement st(m_impl->db, sql);
    QList<JournalEntry> entries;
    int rc = st.Step();
    for (; rc == SQLITE_ROW; rc = st.Step())
        entries.append(RowOf(st));
    if (rc != SQLITE_DONE) {
        error = m_impl->Reason();
        return std::nullopt;
    }
    return entries;
}

std::optional<JournalEntry> JournalStore::Find(const QString& jobFile, QString& error,
                                               const QDateTime& notBefore) const {
    error.clear();
    Statement st(m_impl->db, QByteArray("SELECT ") + kColumns +
                                 " FROM jobs WHERE job_file = ?1 AND recorded >= ?2 "
                                 "ORDER BY id DESC LIMIT 1");
    if (!st) {
        error = m_impl->Reason();
        return std::nullopt;
    }
    st.Bind(1, jobFile).Bind(2, RecordedText(notBefore));
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        return RowOf(st);
    if (rc != SQLITE_DONE)
        error = m_impl->Reason();
    return std::nullopt;
}

bool JournalStore::SetOutcome(const QString& jobFile, const QString& state, const QString& outcome,
                              QString& error, const QDateTime& notBefore) {
    JournalOutcome ended;
    ended.state = state;
    ended.outcome = outcome;
    return SetOutcome(jobFile, ended, error, notBefore);
}

bool JournalStore::SetOutcome(const QString& jobFile, const JournalOutcome& ended, QString& error,
                              const QDateTime& notBefore) {
    bool found = false;
    // Pages, receiver and document only where they are known: a row keeps what it has.
    const bool ok = m_impl->InTransaction(
        [&] {
            Statement st(m_impl->db,
                         "UPDATE jobs SET state = ?2, outcome = ?3,"
                         " pages = CASE WHEN ?5 > 0 THEN ?5 ELSE pages END,"
                         " remote_id = CASE WHEN ?6 <> '' THEN ?6 ELSE remote_id END,"
                         " document = CASE WHEN ?7 <> '' THEN ?7 ELSE document END"
                         " WHERE id = "
                         "(SELECT max(id) FROM jobs WHERE job_file = ?1 AND recorded >= ?4)");
            if (!st || st.Bind(1, jobFile)
                               .Bind(2, ended.state)
                               .Bind(3, ended.outcome)
                               .Bind(4, RecordedText(notBefore))
                               .Bind(5, qint64{ended.pages})
                               .Bind(6, ended.remoteId)
                               .Bind(7, ended.document)
                               .Step() != SQLITE_DONE)
                return false;
            found = sqlite3_changes(m_impl->db) > 0;
            return true;
        },
        error);
    if (ok && !found)
        error = m_impl->file + QStringLiteral(": no row for job file ") + jobFile;
    return ok && found;
}

std::optional<JournalEntry> JournalStore::FindServerFile(const QString& serverFile,
                                                         QString& error) const {
    error.clear();
    Statement st(m_impl->db,
                 QByteArray("SELECT ") + kColumns + " FROM jobs WHERE server_file = ?1 LIMIT 1");
    if (!st) {
        error = m_impl->Reason();
        return std::nullopt;
    }
    st.Bind(1, serverFile);
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        return RowOf(st);
    if (rc != SQLITE_DONE)
        error = m_impl->Reason();
    return std::nullopt;
}

std::optional<QList<JournalEntry>>
JournalStore::Polls(const QString& state, const QDateTime& notBefore, QString& error) const {
    Statement st(m_impl->db, QByteArray("SELECT ") + kColumns +
                                 " FROM jobs WHERE kind = 'poll' AND state = ?1 AND "
                                 "recorded >= ?2 ORDER BY id");
    QList<JournalEntry> entries;
    int rc = st ? st.Bind(1, state).Bind(2, RecordedText(notBefore)).Step() : SQLITE_ERROR;
    for (; rc == SQLITE_ROW; rc = st.Step())
        entries.append(RowOf(st));
    if (rc != SQLITE_DONE) {
        error = m_impl->Reason();
        return std::nullopt;
    }
    return entries;
}

bool JournalStore::SwapClaim(qint64 id, const QString& seen, const QString& claim, QString& error) {
    error.clear();
    bool swapped = false;
    const bool ok = m_impl->InTransaction(
        [&] {
            Statement st(m_impl->db, "UPDATE jobs SET document = ?3 WHERE id = ?1 AND "
                                     "state = 'fetching' AND document = ?2");
            if (!st || st.Bind(1, id).Bind(2, seen).Bind(3, claim).Step() != SQLITE_DONE)
                return false;
            swapped = sqlite3_changes(m_impl->db) > 0;
            return true;
        },
        error);
    return ok && swapped;
}

bool JournalStore::ClaimForPoll(qint64 id, const QString& pollState, const QString& serverFile,
                                const QString& claim, QString& error) {
    error.clear();
    bool claimed = false;
    int rc = SQLITE_OK;
    const bool ok = m_impl->InTransaction(
        [&] {
            Statement st(m_impl->db,
                         "UPDATE jobs SET state = 'fetching', document = ?4, server_file = ?3 "
                         "WHERE id = ?1 AND kind = 'poll' AND state = ?2 AND server_file = ''");
            if (!st)
                return false;
            rc = st.Bind(1, id).Bind(2, pollState).Bind(3, serverFile).Bind(4, claim).Step();
            claimed = rc == SQLITE_DONE && sqlite3_changes(m_impl->db) > 0;
            return rc == SQLITE_DONE;
        },
        error);
    if (!ok && rc == SQLITE_CONSTRAINT_UNIQUE)
        error.clear(); // the fax is another row's
    return ok && claimed;
}

bool JournalStore::UpdateReceived(const JournalEntry& entry, QString& error,
                                  const QString& onlyInState, const QString& claim) {
    error.clear();
    bool changed = false;
    const bool ok = m_impl->InTransaction(
        [&] {
            Statement st(m_impl->db,
                         "UPDATE jobs SET state = ?2, outcome = ?3, document = ?4, pages = ?5, "
                         "fax_file = ?6, remote_id = ?7, quality = ?8, arrived = ?9, "
                         "unread = ?10, resolution = ?11 WHERE id = ?1 AND (?12 = '' OR "
                         "state = ?12) AND (?13 = '' OR document = ?13)");
            const bool done = st && st.Bind(1, entry.id)
                                            .Bind(2, entry.state)
                                            .Bind(3, entry.outcome)
                                            .Bind(4, entry.document)
                                            .Bind(5, qint64{entry.pages})
                                            .Bind(6, entry.faxFile)
                                            .Bind(7, entry.remoteId)
                                            .Bind(8, entry.quality)
                                            .Bind(9, RecordedText(entry.arrived))
                                            .Bind(10, qint64{entry.unread ? 1 : 0})
                                            .Bind(11, qint64{entry.resolution})
                                            .Bind(12, onlyInState)
                                            .Bind(13, claim)
                                            .Step() == SQLITE_DONE;
            changed = done && sqlite3_changes(m_impl->db) > 0;
            return done;
        },
        error);
    return ok && (changed || (onlyInState.isEmpty() && claim.isEmpty()));
}

std::optional<bool> JournalStore::Names(const QString& document, QString& error) const {
    Statement st(m_impl->db, "SELECT 1 FROM jobs WHERE document = ?1 LIMIT 1");
    if (!st) {
        error = m_impl->Reason();
        return std::nullopt;
    }
    const int rc = st.Bind(1, document).Step();
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        return rc == SQLITE_ROW;
    error = m_impl->Reason();
    return std::nullopt;
}

bool JournalStore::SetUnread(qint64 id, bool unread, QString& error) {
    return m_impl->InTransaction(
        [&] {
            Statement st(m_impl->db, "UPDATE jobs SET unread = ?2 WHERE id = ?1");
            return st && st.Bind(1, id).Bind(2, qint64{unread ? 1 : 0}).Step() == SQLITE_DONE;
        },
        error);
}

bool JournalStore::Remove(qint64 id, QString& error) {
    return m_impl->InTransaction(
        [&] {
            Statement st(m_impl->db, "DELETE FROM jobs WHERE id = ?1");
            return st && st.Bind(1, id).Step() == SQLITE_DONE;
        },
        error);
}

} // namespace faxapp
