#include "PrivateHylafax.h"

#include "DaemonRecord.h"
#include "PrivateSpool.h"
#include "RunTool.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kCommandMs = 15000;
constexpr int kDaemonUpMs = 10000;

// A port the kernel just handed out on the loopback address; taken again by somebody else
// before hfaxd binds it only by bad luck, which StartHfaxd notices.
quint16 FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

enum class Listener { None, Ours, Other };

// Who listens on the loopback port: the kernel's table of TCP sockets names the socket's
// inode, and the process holds it as "socket:[inode]" among its descriptors.
Listener ListenerOn(quint16 port, qint64 pid) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) {
        return Listener::None;
    }
    const QByteArray local =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QByteArray inode;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 9 && f[1] == local && f[3] == "0A") { // 0A: listening
            inode = f[9];
        }
    }
    if (inode.isEmpty()) {
        return Listener::None;
    }
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    const QByteArray socket = "socket:[" + inode + ']';
    const auto all = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QString& fd : QDir(fds).entryList(all)) {
        char target[64] = {};
        const ssize_t n = ::readlink(QFile::encodeName(fds + QLatin1Char('/') + fd).constData(),
                                     target, sizeof target - 1);
        if (n > 0 && socket == QByteArray(target, n)) {
            return Listener::Ours;
        }
    }
    return Listener::Other;
}

} // namespace

struct PrivateHylafax::Impl {
    std::unique_ptr<QTemporaryDir> spool; // the server's root: hfaxd chroots here
    std::unique_ptr<QTemporaryDir> home;  // the client tools' HOME, with .hylarc
    std::unique_ptr<QProcess> faxq;
    std::unique_ptr<QProcess> hfaxd;
    DaemonRecord record;
    quint16 port = 0;
    bool fakeModem = false;

    std::unique_ptr<QProcess> Launch(const QStringList& arguments, const QString& log,
                                     QString& error);
    bool StartHfaxd(QString& error);
    QString Server() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    QString Log(const QString& name) const {
        QFile file(home->filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

PrivateHylafax::PrivateHylafax() : m_impl(std::make_unique<Impl>()) {}

PrivateHylafax::~PrivateHylafax() {
    Stop();
}

quint16 PrivateHylafax::Port() const {
    return m_impl->port;
}

QString PrivateHylafax::Spool() const {
    return m_impl->spool ? m_impl->spool->path() : QString();
}

std::unique_ptr<QProcess> PrivateHylafax::Impl::Launch(const QStringList& arguments,
                                                       const QString& log, QString& error) {
    auto process = std::make_unique<QProcess>();
    // Each daemon leads its own process group, which also holds its children (hfaxd's
    // per-client servers, faxq's send programs, which outlive a SIGTERM to faxq): Stop ends
    // the groups.
    process->setChildProcessModifier([] { ::setsid(); });
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(home->filePath(log));
    process->start(arguments.first(), arguments.mid(1));
    if (!process->waitForStarted(kCommandMs)) {
        error =
            QStringLiteral("cannot start %1: %2").arg(arguments.first(), process->errorString());
        return nullptr;
    }
    return process;
}

bool PrivateHylafax::Impl::StartHfaxd(QString& error) {
    // A second hfaxd on a port that is taken keeps running without listening: a port counts
    // only once the kernel shows this hfaxd's socket listening on it.
    for (int attempt = 0; attempt < 8; ++attempt) {
        port = FreePort();
        if (port == 0) {
            error = QStringLiteral("no free loopback port");
            return false;
        }
        hfaxd = Launch({QStringLiteral("/usr/sbin/hfaxd"), QStringLiteral("-d"),
                        QStringLiteral("-q"), spool->path(), QStringLiteral("-l"),
                        QStringLiteral("127.0.0.1"), QStringLiteral("-i"), QString::number(port)},
                       QStringLiteral("hfaxd.log"), error);
        if (!hfaxd) {
            return false;
        }
        record.SetHfaxd(hfaxd->processId());
        QDeadlineTimer deadline(kDaemonUpMs);
        Listener listener = Listener::None;
        while (!deadline.hasExpired() && hfaxd->state() == QProcess::Running) {
            listener = ListenerOn(port, hfaxd->processId());
            if (listener != Listener::None) {
                break;
            }
            QThread::msleep(10);
        }
        if (listener == Listener::Ours) {
            return true;
        }
        DaemonRecord::EndGroup(*hfaxd);
        hfaxd.reset();
        if (listener == Listener::None) {
            error = QStringLiteral("hfaxd did not listen on port %1: %2")
                        .arg(port)
                        .arg(Log(QStringLiteral("hfaxd.log")));
            return false;
        }
    }
    error = QStringLiteral("every port tried was taken by another program");
    return false;
}

bool PrivateHylafax::Start(const Options& options, QString& error) {
    Impl& d = *m_impl;
    if (d.faxq) {
        error = QStringLiteral("already started");
        return false;
    }
    if (::geteuid() != 0) {
        error = QStringLiteral("a private HylaFAX server needs root: hfaxd chroots into the spool");
        return false;
    }
    for (const char* tool : {"/usr/sbin/faxq", "/usr/sbin/hfaxd", "/usr/sbin/faxmodem",
                             "/usr/sbin/faxadduser", "/usr/bin/faxstat", "/usr/bin/faxrm"}) {
        if (::access(tool, X_OK) != 0) {
            error = QStringLiteral("%1 is missing: install hylafax-server and hylafax-client")
                        .arg(QLatin1String(tool));
            return false;
        }
    }
    if (!DaemonRecord::EndLeftovers(error)) {
        return false;
    }
    d.spool =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kalmo-hfx-XXXXXX"));
    d.home =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kalmo-hfxc-XXXXXX"));
    if (!d.spool->isValid() || !d.home->isValid()) {
        error = QStringLiteral("cannot make temporary folders");
        return false;
    }
    d.fakeModem = options.fakeModem;
    const bool started =
        PrivateSpool::Fill(d.spool->path(), d.home->path(), options, error) &&
        d.record.Create(d.spool->path(), d.home->path(), error) &&
        [&] {
            d.faxq = d.Launch({QStringLiteral("/usr/sbin/faxq"), QStringLiteral("-D"),
                               QStringLiteral("-q"), d.spool->path()},
                              QStringLiteral("faxq.log"), error);
            if (!d.faxq) {
                return false;
            }
            d.record.SetFaxq(d.faxq->processId());
            // faxq is up once it has made its FIFO.
            const QByteArray fifo = QFile::encodeName(d.spool->filePath(QStringLiteral("FIFO")));
            QDeadlineTimer deadline(kDaemonUpMs);
            struct stat info {};
            while (::lstat(fifo.constData(), &info) != 0 || !S_ISFIFO(info.st_mode)) {
                if (deadline.hasExpired() || d.faxq->state() != QProcess::Running) {
                    error = QStringLiteral("faxq did not make its FIFO: %1")
                                .arg(d.Log(QStringLiteral("faxq.log")));
                    return false;
                }
                QThread::msleep(5);
            }
            return true;
        }() &&
        d.StartHfaxd(error);
    if (!started) {
        Stop();
        return false;
    }
    if (options.fakeModem) {
        QByteArray output;
        RunTool(QStringLiteral("/usr/sbin/faxmodem"),
                {QStringLiteral("-q"), d.spool->path(), QStringLiteral("ttyFAKE")}, output, error);
    }
    return true;
}

void PrivateHylafax::Stop() {
    Impl& d = *m_impl;
    // hfaxd first: no client gets in while the scheduler goes.
    for (auto* process : {d.hfaxd.get(), d.faxq.get()}) {
        if (process != nullptr) {
            DaemonRecord::EndGroup(*process);
        }
    }
    d.hfaxd.reset();
    d.faxq.reset();
    d.record.Remove();
    d.spool.reset();
    d.home.reset();
    d.port = 0;
}

QList<PrivateHylafax::Job> PrivateHylafax::Jobs(QString& error) const {
    QList<Job> jobs;
    QByteArray output;
    // faxstat now and then crashes on a busy machine: it is asked again before the answer
    // counts as none.
    bool answered = false;
    for (int attempt = 0; m_impl->home && !answered && attempt < 3; ++attempt) {
        if (attempt > 0)
            QThread::msleep(300);
        answered = RunTool(
            QStringLiteral("/usr/bin/faxstat"),
            {QStringLiteral("-h"), m_impl->Server(), QStringLiteral("-s"), QStringLiteral("-d")},
            output, error, m_impl->home->path());
    }
    if (!answered) {
        if (error.isEmpty()) {
            error = QStringLiteral("not started");
        }
        return jobs;
    }
    // A server line, blank lines, a header per queue, then rows ending in "\r".
    for (QString line : QString::fromUtf8(output).split(u'\n')) {
        line.remove(u'\r');
        if (!line.contains(u'|') || line.startsWith(QLatin1String("JID|"))) {
            continue;
        }
        const QStringList f = line.split(u'|');
        if (f.size() < 10) {
            error = QStringLiteral("faxstat row does not parse: %1").arg(line);
            return {};
        }
        Job job;
        job.id = f[0];
        job.state = f[1];
        job.number = f[2];
        job.resolution = f[3].toInt();
        job.totalPages = f[4].toInt();
        job.pagesSent = f[5].toInt();
        job.sendTime = f[6].toLongLong();
        job.owner = f[7];
        job.tag = f[8];
        job.status = f.mid(9).join(u'|');
        jobs.append(job);
    }
    std::sort(jobs.begin(), jobs.end(),
              [](const Job& a, const Job& b) { return a.id.toInt() < b.id.toInt(); });
    return jobs;
}

bool PrivateHylafax::PlaceReceived(const QString& tiff, const QString& name, QString& error,
                                   int mode) const {
    if (!m_impl->spool) {
        error = QStringLiteral("not started");
        return false;
    }
    // Written aside and renamed, so that the server never lists half a file.
    const QString queue = m_impl->spool->filePath(QStringLiteral("recvq"));
    const QString temp = queue + QStringLiteral("/.") + name;
    const QString path = queue + u'/' + name;
    struct stat folder {};
    if (!QFile::copy(tiff, temp) || ::stat(QFile::encodeName(queue).constData(), &folder) != 0 ||
        ::chown(QFile::encodeName(temp).constData(), folder.st_uid, folder.st_gid) != 0 ||
        ::chmod(QFile::encodeName(temp).constData(), static_cast<mode_t>(mode)) != 0 ||
        ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
        error = QStringLiteral("cannot put %1 into %2").arg(tiff, queue);
        QFile::remove(temp);
        return false;
    }
    return true;
}

QStringList PrivateHylafax::ReceiveQueue() const {
    if (!m_impl->spool) {
        return {};
    }
    return QDir(m_impl->spool->filePath(QStringLiteral("recvq")))
        .entryList({QStringLiteral("fax*")}, QDir::Files, QDir::Name);
}

bool PrivateHylafax::Remove(const QString& id, QString& error) const {
    QByteArray output;
    if (!m_impl->home ||
        !RunTool(QStringLiteral("/usr/bin/faxrm"), {QStringLiteral("-h"), m_impl->Server(), id},
                 output, error, m_impl->home->path())) {
        return false;
    }
    // faxrm exits 0 also when the server refuses: its text tells.
    const QString text = QString::fromUtf8(output).trimmed();
    if (!text.startsWith(QStringLiteral("Job %1 removed").arg(id))) {
        error = QStringLiteral("faxrm %1: %2").arg(id, text);
        return false;
    }
    return true;
}

void PrivateHylafax::AnnounceModem() const {
    if (!m_impl->fakeModem || !m_impl->spool) {
        return;
    }
    QByteArray output;
    QString ignored;
    RunTool(QStringLiteral("/usr/sbin/faxmodem"),
            {QStringLiteral("-q"), m_impl->spool->path(), QStringLiteral("ttyFAKE")}, output,
            ignored);
}

std::optional<PrivateHylafax::Job> PrivateHylafax::WaitUntilEnded(const QString& id, int timeoutMs,
                                                                  QString& error) const {
    QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer nextAnnouncement(0);
    QString state;
    while (!deadline.hasExpired()) {
        const QList<Job> jobs = Jobs(error);
        const auto job =
            std::find_if(jobs.begin(), jobs.end(), [&](const Job& j) { return j.id == id; });
        state = job == jobs.end() ? QStringLiteral("missing") : job->state;
        if (state == u"D" || state == u"F") {
            return *job;
        }
        if (state == u"W" && nextAnnouncement.hasExpired()) {
            AnnounceModem();
            nextAnnouncement.setRemainingTime(500);
        }
        QThread::msleep(100);
    }
    error = QStringLiteral("job %1 did not end within %2 ms (state %3)")
                .arg(id)
                .arg(timeoutMs)
                .arg(state);
    return std::nullopt;
}
