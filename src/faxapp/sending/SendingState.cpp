#include "faxapp/sending/SendingState.h"

#include "fax/FolderListing.h"
#include "fax/JobFile.h"
#include "fax/PosixFile.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faxapp {

namespace {

constexpr qint64 kMaxRecordBytes = 4096;

QString PhaseName(SendingRecord::Phase phase) {
    switch (phase) {
    case SendingRecord::Phase::Claimed:
        return QStringLiteral("claimed");
    case SendingRecord::Phase::Created:
        return QStringLiteral("created");
    case SendingRecord::Phase::Submitted:
        return QStringLiteral("submitted");
    }
    return {};
}

QString HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QStringLiteral("localhost");
    return QString::fromLocal8Bit(name);
}

// text with every character that is not a letter, a digit, "-" or "." as "_".
QString FileNameTag(QString text) {
    for (QChar& c : text) {
        if (!c.isLetterOrNumber() && c != u'-' && c != u'.')
            c = u'_';
    }
    return text;
}

// The host's boot id: a process id of an earlier boot means nothing now.
QString BootId() {
    static const QString boot = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.read(64).trimmed())
                                              : QString();
    }();
    return boot;
}

// When process pid started, in clock ticks after boot (field 22 of /proc/<pid>/stat); 0 when
// unknown. With the id it names one process: an id used again is another start time.
qint64 ProcessStart(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.read(4096);
    // The name in parentheses may hold spaces and parentheses: the fields follow the last ")".
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr qsizetype kStartField = 22 - 3; // fields counted from the state, the third
    return fields.size() > kStartField ? fields[kStartField].toLongLong() : 0;
}

int Phase(SendingRecord::Phase phase) {
    return static_cast<int>(phase);
}

QString Why(const QString& what) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

const QString SendingState::kFolderName = QStringLiteral(".sending");

QByteArray SendingRecord::Bytes() const {
    QString text = QStringLiteral("phase=") + PhaseName(phase) + QStringLiteral("\nowner=") +
                   owner + QStringLiteral("\nsince=") + QString::number(since) + u'\n';
    if (!server.isEmpty())
        text += QStringLiteral("server=") + server + u'\n';
    if (!jobId.isEmpty())
        text += QStringLiteral("job=") + jobId + u'\n';
    if (renews > 0)
        text += QStringLiteral("renews=") + QString::number(renews) + u'\n';
    if (!boot.isEmpty())
        text += QStringLiteral("boot=") + boot + u'\n';
    if (start > 0)
        text += QStringLiteral("start=") + QString::number(start) + u'\n';
    return text.toUtf8();
}

std::optional<SendingRecord> SendingRecord::Parse(const QByteArray& bytes) {
    SendingRecord record;
    bool phaseSeen = false;
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (line.isEmpty() || eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "phase") {
            for (auto p : {Phase::Claimed, Phase::Created, Phase::Submitted}) {
                if (value == PhaseName(p)) {
                    record.phase = p;
                    phaseSeen = true;
                }
            }
        } else if (key == "owner") {
            record.owner = value;
        } else if (key == "since") {
            record.since = value.toLongLong();
        } else if (key == "server") {
            record.server = value;
        } else if (key == "job") {
            record.jobId = value;
        } else if (key == "renews") {
            record.renews = value.toLongLong();
        } else if (key == "boot") {
            record.boot = value;
        } else if (key == "start") {
            record.start = value.toLongLong();
        }
    }
    if (!phaseSeen || (record.phase != Phase::Claimed && record.jobId.isEmpty()))
        return std::nullopt;
    return record;
}

bool SendingState::Open(const QString& dataDir, QString& error) {
    SpoolFolder data;
    if (!data.Open(dataDir)) {
        error = Why(dataDir);
        return false;
    }
    const QByteArray name = kFolderName.toUtf8();
    if (::mkdirat(data.Descriptor(), name.constData(), 0700) != 0 && errno != EEXIST) {
        error = Why(data.PathOf(kFolderName));
        return false;
    }
    struct stat st {};
    if (::fstatat(data.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(st.st_mode)) {
        error = data.PathOf(kFolderName) + QStringLiteral(": not a folder");
        return false;
    }
    if (!m_folder.OpenAt(data, kFolderName)) {
        error = Why(data.PathOf(kFolderName));
        return false;
    }
    return true;
}

bool SendingState::Claim(const QString& jobName, const SendingRecord& record, QString& error) {
    // Written whole under a name of this runner's, then linked to the job's name: a kill
    // leaves either no claim or a complete one. The link fails with EEXIST as an exclusive
    // create does when another runner has the job.
    const QString temp = jobName + QStringLiteral(".claim.") + OwnerTag();
    if (!WriteTemporary(temp, record.Bytes(), record.since, error))
        return false;
    const QByteArray from = temp.toUtf8();
    const QByteArray to = jobName.toUtf8();
    const bool linked = ::linkat(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(),
                                 to.constData(), 0) == 0;
    const int linkErrno = errno;
    m_folder.Remove(temp);
    if (!linked) {
        if (linkErrno != EEXIST) {
            errno = linkErrno;
            error = Why(m_folder.PathOf(jobName));
        }
        return false;
    }
    if (!m_folder.Sync()) {
        error = Why(m_folder.PathOf(jobName));
        m_folder.Remove(jobName);
        return false;
    }
    return true;
}

std::optional<QByteArray> SendingState::ReadBytes(const QString& name) const {
    PosixFile file;
    if (!m_folder.OpenRegular(file, name))
        return std::nullopt;
    QByteArray bytes(kMaxRecordBytes, Qt::Uninitialized);
    const ssize_t n = file.Read(bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (n < 0)
        return std::nullopt;
    bytes.truncate(n);
    return bytes;
}

std::optional<SendingRecord> SendingState::Read(const QString& jobName) const {
    const auto bytes = ReadBytes(jobName);
    return bytes ? SendingRecord::Parse(*bytes) : std::nullopt;
}

bool SendingState::WriteTemporary(const QString& temp, const QByteArray& bytes, qint64 renewed,
                                  QString& error) {
    m_folder.Remove(temp); // left by this runner when it stopped halfway
    PosixFile file;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {renewed, 0}};
    if (!m_folder.CreateExclusive(file, temp, 0600) ||
        !file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) ||
        (renewed > 0 && ::futimens(file.Descriptor(), times) != 0) || !file.Sync() ||
        !file.Close()) {
        error = Why(m_folder.PathOf(temp));
        m_folder.Remove(temp);
        return false;
    }
    return true;
}

bool SendingState::WriteFile(const QString& name, const QByteArray& bytes, qint64 renewed,
                             QString& error) {
    const QString temp = name + QStringLiteral(".new.") + OwnerTag();
    if (!WriteTemporary(temp, bytes, renewed, error))
        return false;
    const QByteArray from = temp.toUtf8();
    const QByteArray to = name.toUtf8();
    if (::renameat(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(),
                   to.constData()) != 0 ||
        !m_folder.Sync()) {
        error = Why(m_folder.PathOf(name));
        m_folder.Remove(temp);
        return false;
    }
    return true;
}

bool SendingState::Write(const QString& jobName, const SendingRecord& record, QString& error) {
    return WriteFile(jobName, record.Bytes(), record.since, error);
}

void SendingState::Release(const QString& jobName) {
    m_folder.Remove(jobName);
    m_folder.Sync();
}

bool SendingState::Renew(const QString& jobName, qint64 now) const {
    if (!IsOwn(jobName))
        return false;
    const QByteArray name = jobName.toUtf8();
    const struct timespec times[2] = {{0, UTIME_OMIT}, {now, 0}};
    return ::utimensat(m_folder.Descriptor(), name.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SendingState::IsOwn(const QString& jobName) const {
    SendingRecord own;
    Identify(own);
    const auto record = Read(jobName);
    return record && record->owner == own.owner &&
           (record->start == 0 || record->start == own.start);
}

bool SendingState::TakeOver(const QString& jobName, const SendingRecord& seen, qint64 seenRenewed,
                            const SendingRecord& ours) {
    const QByteArray seenBytes = seen.Bytes();
    return Exchange(jobName, ours, [&](const QString& taken) {
        const auto record = Read(taken);
        return record && record->Bytes() == seenBytes && RenewedAt(taken) <= seenRenewed;
    });
}

bool SendingState::TakeOverUnreadable(const QString& jobName, const SendingRecord& ours) {
    return Exchange(jobName, ours, [&](const QString& taken) {
        struct stat st {};
        const QByteArray name = taken.toUtf8();
        // Still no runner's record (and no folder or link put in its place).
        return !Read(taken) &&
               ::fstatat(m_folder.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(st.st_mode);
    });
}

bool SendingState::Exchange(const QString& jobName, const SendingRecord& ours,
                            const std::function<bool(const QString&)>& check) {
    Step("take-over");
    // Our claim, written whole under a name of ours, changes places with the record in one
    // step: the job's name is never empty, so no third runner finds the job free meanwhile.
    const QString temp = jobName + QStringLiteral(".claim.") + OwnerTag();
    const QByteArray oursBytes = ours.Bytes();
    QString error;
    if (!WriteTemporary(temp, oursBytes, ours.since, error))
        return false;
    const QByteArray from = temp.toUtf8();
    const QByteArray to = jobName.toUtf8();
    if (testNoExchange)
        return ReplaceLocked(jobName, temp, check);
    if (::renameat2(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(), to.constData(),
                    RENAME_EXCHANGE) != 0) {
        if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP || errno == EOPNOTSUPP)
            return ReplaceLocked(jobName, temp, check);
        m_folder.Remove(temp); // the record is gone: its job is free to be claimed
        return false;
    }
    Step("taken");
    if (check(temp)) {
        m_folder.Remove(temp);
        m_folder.Sync();
        return true;
    }
    PutBack(jobName, temp, oursBytes, ReadBytes(temp).value_or(QByteArray()));
    return false;
}

void SendingState::PutBack(const QString& jobName, const QString& temp, const QByteArray& ours,
                           QByteArray holding) {
    const QByteArray from = temp.toUtf8();
    const QByteArray to = jobName.toUtf8();
    // Its runner may have replaced the record by a newer step meanwhile (our claim then went
    // in its stead): the newest goes in front. Phases only go forward, so this ends.
    for (int round = 0; round < 4; ++round) {
        if (::renameat2(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(),
                        to.constData(), RENAME_EXCHANGE) != 0)
            break; // the name is gone: its runner has given the job up meanwhile
        const QByteArray bytes = ReadBytes(temp).value_or(QByteArray());
        const auto held = SendingRecord::Parse(bytes);
        const auto placed = SendingRecord::Parse(holding);
        if (bytes == ours || !held || !placed || Phase(held->phase) <= Phase(placed->phase))
            break;
        holding = bytes;
    }
    m_folder.Remove(temp);
    m_folder.Sync();
}

bool SendingState::ReplaceLocked(const QString& jobName, const QString& temp,
                                 const std::function<bool(const QString&)>& check) {
    // Take-overs on this folder one at a time: the record is checked and replaced while no
    // other runner can take it over.
    PosixFile lock;
    const QByteArray lockName = QByteArrayLiteral(".takeover.lock");
    const int fd = ::openat(m_folder.Descriptor(), lockName.constData(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool replaced = false;
    if (fd >= 0) {
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        Step("taken");
        const QByteArray from = temp.toUtf8();
        const QByteArray to = jobName.toUtf8();
        replaced = rc == 0 && check(jobName) &&
                   ::renameat(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(),
                              to.constData()) == 0;
        ::close(fd); // and with it the lock
    }
    if (!replaced)
        m_folder.Remove(temp);
    m_folder.Sync();
    return replaced;
}

qint64 SendingState::RenewedAt(const QString& jobName) const {
    struct stat st {};
    const QByteArray name = jobName.toUtf8();
    if (::fstatat(m_folder.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    return st.st_mtim.tv_sec;
}

qint64 SendingState::ChangedAt(const QString& jobName) const {
    struct stat st {};
    const QByteArray name = jobName.toUtf8();
    if (::fstatat(m_folder.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    return st.st_ctim.tv_sec;
}

QStringList SendingState::Names() const {
    QStringList names;
    ListFolder(m_folder.Path(), [&](std::string_view entry) {
        const QString name = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
        if (IsJobFileName(name))
            names.append(name);
    });
    names.sort();
    return names;
}

QString SendingState::OwnerHere() {
    static const QString owner = HostName() + u':' + QString::number(::getpid());
    return owner;
}

QString SendingState::OwnerTag() {
    return FileNameTag(OwnerHere());
}

int SendingState::RemoveLeftovers() {
    const QString hostTag = FileNameTag(HostName()) + u'_';
    const QString ownTag = OwnerTag();
    QStringList gone;
    ListFolder(m_folder.Path(), [&](std::string_view entry) {
        const QString name = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
        QString tag;
        if (name.endsWith(QStringLiteral(".tif")) && name.lastIndexOf(u'-') > 0) {
            tag = name.left(name.lastIndexOf(u'-'));
        } else {
            for (const char* infix : {".new.", ".out.", ".claim.", ".taken."}) {
                const qsizetype at = name.indexOf(QLatin1String(infix));
                if (at > 0) {
                    tag = name.mid(at + qsizetype(std::strlen(infix)));
                    break;
                }
            }
        }
        if (tag.isEmpty() || tag == ownTag || !tag.startsWith(hostTag))
            return;
        bool ok = false;
        const qint64 pid = tag.mid(hostTag.size()).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            gone.append(name);
    });
    int removed = 0;
    for (const QString& name : std::as_const(gone))
        removed += m_folder.Remove(name) ? 1 : 0;
    return removed;
}

void SendingState::Identify(SendingRecord& record) {
    record.owner = OwnerHere();
    record.boot = BootId();
    static const qint64 start = ProcessStart(::getpid());
    record.start = start;
}

bool SendingState::OwnerOnThisHost(const SendingRecord& record) {
    const qsizetype colon = record.owner.lastIndexOf(u':');
    return colon > 0 && record.owner.left(colon) == HostName();
}

bool SendingState::OwnerGone(const SendingRecord& record) {
    if (!OwnerOnThisHost(record))
        return false;
    bool ok = false;
    const qint64 pid = record.owner.mid(record.owner.lastIndexOf(u':') + 1).toLongLong(&ok);
    if (!ok || pid <= 0)
        return true;
    if (!record.boot.isEmpty() && !BootId().isEmpty() && record.boot != BootId())
        return true; // the host has started again since
    if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    // The id may be another process's now; records of older runners do not tell.
    const qint64 start = ProcessStart(pid);
    return record.start > 0 && start > 0 && start != record.start;
}

} // namespace faxapp
