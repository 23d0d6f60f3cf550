#include "PrivateRadicale.h"

#include "TestCertificates.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

PrivateRadicale::~PrivateRadicale() {
    Stop();
}

QString PrivateRadicale::Start(bool tls) {
    if (!m_dir.isValid())
        return "no temporary folder";
    QDir root(m_dir.path());
    if (m_port == 0) {
        m_tls = tls;
        QByteArray ssl;
        if (tls) {
            if (QString error = testcerts::Make(m_dir.path()); !error.isEmpty())
                return error;
            ssl = "ssl = True\ncertificate = " + root.filePath("server.pem").toUtf8() +
                  "\nkey = " + root.filePath("server.key").toUtf8() + "\n";
        }
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return "no free port: " + probe.errorString();
        m_port = probe.serverPort();
        probe.close();
        const QByteArray users =
            QByteArray("alice:") + kAlicePassword + "\nbob:" + kBobPassword + "\n";
        const QByteArray config =
            "[server]\nhosts = 127.0.0.1:" + QByteArray::number(m_port) + "\n" + ssl +
            "[auth]\ntype = htpasswd\nhtpasswd_filename = " + root.filePath("users").toUtf8() +
            "\nhtpasswd_encryption = plain\n[storage]\nfilesystem_folder = " +
            root.filePath("storage").toUtf8() +
            "\n[web]\ntype = none\n[logging]\nlevel = warning\n";
        if (!WriteFile(root.filePath("users"), users) ||
            !WriteFile(root.filePath("config"), config))
            return "cannot write the configuration";
    }
    m_server.setProcessChannelMode(QProcess::ForwardedChannels);
    // Also when the test dies without running its destructors.
    m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // The Debian program, with the system's Python that has the module.
    m_server.start("/usr/bin/radicale", {"--config", root.filePath("config")});
    if (!m_server.waitForStarted(10000))
        return "radicale: " + m_server.errorString();
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(500))
            return {};
        if (m_server.state() == QProcess::NotRunning)
            return "radicale exited";
        QThread::msleep(100);
    }
    return "radicale does not listen on its port";
}

void PrivateRadicale::Stop() {
    const qint64 pid = m_server.processId();
    if (pid <= 0 || m_server.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!m_server.waitForFinished(5000)) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        m_server.waitForFinished(5000);
    }
}

QString PrivateRadicale::Url(const QString& path) const {
    return QString("%1://127.0.0.1:%2%3").arg(m_tls ? "https" : "http").arg(m_port).arg(path);
}

int PrivateRadicale::Request(const QByteArray& verb, const QString& path, const QString& user,
                             const QByteArray& body, const QByteArray& contentType) {
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(Url(path)));
    const QByteArray password = user == "alice" ? kAlicePassword : kBobPassword;
    request.setRawHeader("Authorization", "Basic " + (user.toUtf8() + ':' + password).toBase64());
    if (m_tls) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.addCaCertificates(QSslCertificate::fromPath(CaFile()));
        request.setSslConfiguration(ssl);
    }
    if (!contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

int PrivateRadicale::MakeBook(const QString& user, const QString& path,
                              const QString& displayName) {
    const QByteArray body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<D:mkcol xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:set><D:prop>"
        "<D:resourcetype><D:collection/><C:addressbook/></D:resourcetype><D:displayname>" +
        displayName.toHtmlEscaped().toUtf8() + "</D:displayname></D:prop></D:set></D:mkcol>";
    return Request("MKCOL", path, user, body, "application/xml; charset=utf-8");
}

int PrivateRadicale::PutCard(const QString& user, const QString& path, const QByteArray& vcard) {
    return Request("PUT", path, user, vcard, "text/vcard; charset=utf-8");
}
