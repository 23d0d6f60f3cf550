#include "faxapp/sending/SendingState.h"

#include "fax/FolderListing.h"
#include "fax/JobFile.h"
#include "fax/PosixFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
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
    if (!WriteTemporary(temp, record.Bytes(), error))
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

std::optional<SendingRecord> SendingState::Read(const QString& jobName) const {
    PosixFile file;
    if (!m_folder.OpenRegular(file, jobName))
        return std::nullopt;
    QByteArray bytes(kMaxRecordBytes, Qt::Uninitialized);
    const ssize_t n = file.Read(bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (n < 0)
        return std::nullopt;
    bytes.truncate(n);
    return SendingRecord::Parse(bytes);
}

bool SendingState::WriteTemporary(const QString& temp, const QByteArray& bytes, QString& error) {
    m_folder.Remove(temp); // left by this runner when it stopped halfway
    PosixFile file;
    if (!m_folder.CreateExclusive(file, temp, 0600) ||
        !file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !file.Sync() ||
        !file.Close()) {
        error = Why(m_folder.PathOf(temp));
        m_folder.Remove(temp);
        return false;
    }
    return true;
}

bool SendingState::WriteFile(const QString& name, const QByteArray& bytes, QString& error) {
    const QString temp = name + QStringLiteral(".new.") + OwnerTag();
    if (!WriteTemporary(temp, bytes, error))
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
    return WriteFile(jobName, record.Bytes(), error);
}

void SendingState::Release(const QString& jobName) {
    m_folder.Remove(jobName);
    m_folder.Sync();
}

bool SendingState::TakeOver(const QString& jobName, const SendingRecord& seen) {
    // Moved aside first: a rename is atomic, so only one runner gets the record.
    const QString aside = jobName + QStringLiteral(".taken.") + OwnerTag();
    const QByteArray from = jobName.toUtf8();
    const QByteArray to = aside.toUtf8();
    if (::renameat(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(),
                   to.constData()) != 0)
        return false;
    const auto moved = Read(aside);
    if (!moved || moved->Bytes() != seen.Bytes()) {
        // A claim made after the record was seen: it goes back unless its name is taken.
        if (!SpoolFolder::MoveNoReplace(m_folder, aside, m_folder, jobName))
            m_folder.Remove(aside);
        return false;
    }
    m_folder.Remove(aside);
    m_folder.Sync();
    return true;
}

bool SendingState::TakeOverUnreadable(const QString& jobName) {
    const QString aside = jobName + QStringLiteral(".taken.") + OwnerTag();
    const QByteArray from = jobName.toUtf8();
    const QByteArray to = aside.toUtf8();
    if (::renameat(m_folder.Descriptor(), from.constData(), m_folder.Descriptor(),
                   to.constData()) != 0)
        return false;
    if (Read(aside)) {
        // A record that can be read now is a runner's: it goes back unless its name is taken.
        if (!SpoolFolder::MoveNoReplace(m_folder, aside, m_folder, jobName))
            m_folder.Remove(aside);
        return false;
    }
    m_folder.Remove(aside);
    m_folder.Sync();
    return true;
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

bool SendingState::OwnerGone(const SendingRecord& record) {
    const qsizetype colon = record.owner.lastIndexOf(u':');
    if (colon <= 0 || record.owner.left(colon) != HostName())
        return false;
    bool ok = false;
    const qint64 pid = record.owner.mid(colon + 1).toLongLong(&ok);
    if (!ok || pid <= 0)
        return true;
    if (pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace faxapp
