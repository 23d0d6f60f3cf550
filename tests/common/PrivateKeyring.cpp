#include "PrivateKeyring.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <csignal>
#include <sys/types.h>

namespace {

// The object path of the default collection; "/" while there is none, empty without a service.
QString DefaultCollection() {
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                                       "org.freedesktop.Secret.Service", "ReadAlias");
    call << QString("default");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusObjectPath>().path();
}

} // namespace

PrivateKeyring::~PrivateKeyring() {
    Stop();
}

QString PrivateKeyring::Start() {
    if (!m_dir.isValid())
        return "no temporary folder";
    QDir root(m_dir.path());
    for (const char* sub : {"data", "config", "cache", "runtime"}) {
        if (!root.mkpath(sub))
            return QString("cannot make %1").arg(root.filePath(sub));
    }
    QFile::setPermissions(root.filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_dir.path());
    env.insert("XDG_DATA_HOME", root.filePath("data"));
    env.insert("XDG_CONFIG_HOME", root.filePath("config"));
    env.insert("XDG_CACHE_HOME", root.filePath("cache"));
    env.insert("XDG_RUNTIME_DIR", root.filePath("runtime"));
    env.remove("GNOME_KEYRING_CONTROL");
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // --unlock: the login keyring's password comes on standard input; the keyring is made with
    // it when there is none yet.
    m_daemon.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    if (!m_daemon.waitForStarted(10000))
        return "gnome-keyring-daemon: " + m_daemon.errorString();
    // Written out before the channel closes: the wait below runs no event loop for it.
    m_daemon.write("keyring-test-unlock\n");
    m_daemon.waitForBytesWritten(5000);
    m_daemon.closeWriteChannel();
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        const QString path = DefaultCollection();
        if (!path.isEmpty() && path != "/")
            return {};
        if (m_daemon.state() == QProcess::NotRunning)
            return "gnome-keyring-daemon exited: " + QString::fromLocal8Bit(m_daemon.readAll());
        QThread::msleep(100);
    }
    return "gnome-keyring-daemon: no default collection on the bus";
}

void PrivateKeyring::Stop() {
    const qint64 pid = m_daemon.processId();
    if (pid <= 0 || m_daemon.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!m_daemon.waitForFinished(5000)) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        m_daemon.waitForFinished(5000);
    }
}
