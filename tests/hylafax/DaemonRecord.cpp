#include "DaemonRecord.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kFolder = QStringLiteral("/tmp/kalmo-hylafax-tests");

// A process's start time (clock ticks after boot): with the id it names one process, not a
// later one that got the same id.
QByteArray StartTime(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? fields[19] : QByteArray(); // field 22 of proc(5)
}

// The folder is root's alone; one made by anybody else, or a link, is not trusted.
bool SafeFolder(QString& error) {
    const QByteArray path = QFile::encodeName(kFolder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("cannot make %1").arg(kFolder);
        return false;
    }
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 0077) != 0) {
        error = QStringLiteral("%1 is not a private folder of this user").arg(kFolder);
        return false;
    }
    return true;
}

void EndLeftoverGroup(qint64 pid, const QString& spool) {
    if (pid <= 0 || spool.isEmpty()) {
        return;
    }
    // Only a daemon that still serves that spool: the id may belong to another process now.
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (cmdline.open(QIODevice::ReadOnly) &&
        cmdline.readAll().split('\0').contains(QFile::encodeName(spool))) {
        ::kill(static_cast<pid_t>(-pid), SIGKILL);
    }
}

void RemoveOurFolder(const QString& path, QStringView prefix) {
    const QFileInfo info(path);
    if (!path.isEmpty() && info.fileName().startsWith(prefix) &&
        info.absolutePath() == QDir::tempPath()) {
        QDir(path).removeRecursively();
    }
}

} // namespace

bool DaemonRecord::Create(const QString& spool, const QString& home, QString& error) {
    if (!SafeFolder(error)) {
        return false;
    }
    QTemporaryFile file(QStringLiteral("%1/%2-XXXXXX.pids").arg(kFolder).arg(::getpid()));
    file.setAutoRemove(false);
    if (!file.open()) {
        error = QStringLiteral("cannot write a record in %1").arg(kFolder);
        return false;
    }
    m_path = file.fileName();
    m_spool = spool;
    m_home = home;
    return Write() || (error = QStringLiteral("cannot write %1").arg(m_path), false);
}

void DaemonRecord::SetFaxq(qint64 pid) {
    m_faxq = pid;
    Write();
}

void DaemonRecord::SetHfaxd(qint64 pid) {
    m_hfaxd = pid;
    Write();
}

bool DaemonRecord::Write() {
    if (m_path.isEmpty()) {
        return false;
    }
    QSaveFile file(m_path);
    const QByteArray text =
        "owner " + QByteArray::number(::getpid()) + ' ' + StartTime(::getpid()) + "\nspool " +
        QFile::encodeName(m_spool) + "\nhome " + QFile::encodeName(m_home) + "\nfaxq " +
        QByteArray::number(m_faxq) + "\nhfaxd " + QByteArray::number(m_hfaxd) + '\n';
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

void DaemonRecord::Remove() {
    if (!m_path.isEmpty()) {
        QFile::remove(m_path);
    }
    m_path.clear();
    m_faxq = m_hfaxd = 0;
}

bool DaemonRecord::EndLeftovers(QString& error) {
    if (!SafeFolder(error)) {
        return false;
    }
    const QDir folder(kFolder);
    for (const QString& name : folder.entryList({QStringLiteral("*.pids")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        qint64 owner = 0;
        QByteArray ownerStart;
        QString spool;
        QString home;
        qint64 daemons[2] = {0, 0};
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() >= 2 && f[0] == "owner") {
                owner = f[1].toLongLong();
                ownerStart = f.value(2);
            } else if (f.size() >= 2 && f[0] == "spool") {
                spool = QFile::decodeName(line.mid(6));
            } else if (f.size() >= 2 && f[0] == "home") {
                home = QFile::decodeName(line.mid(5));
            } else if (f.size() == 2 && f[0] == "faxq") {
                daemons[0] = f[1].toLongLong();
            } else if (f.size() == 2 && f[0] == "hfaxd") {
                daemons[1] = f[1].toLongLong();
            }
        }
        const bool ownerAlive = owner > 0 && StartTime(owner) == ownerStart;
        if (ownerAlive && !spool.isEmpty() && QFileInfo(spool).isDir()) {
            continue; // another test's server, still in use
        }
        for (const qint64 pid : daemons) {
            EndLeftoverGroup(pid, spool);
        }
        // The folders of a crashed test: only our own temporary folders are removed.
        if (!ownerAlive) {
            RemoveOurFolder(spool, u"kalmo-hfx-");
            RemoveOurFolder(home, u"kalmo-hfxc-");
        }
        file.remove();
    }
    return true;
}

void DaemonRecord::EndGroup(QProcess& process) {
    const auto pid = static_cast<pid_t>(process.processId());
    if (pid <= 0) {
        return;
    }
    ::kill(-pid, SIGTERM);
    if (!process.waitForFinished(3000)) {
        ::kill(-pid, SIGKILL);
        process.waitForFinished(3000);
    }
    // Children that outlived their daemon are still in its group.
    ::kill(-pid, SIGKILL);
}
