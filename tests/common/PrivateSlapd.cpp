#include "PrivateSlapd.h"

#include "TestCertificates.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QStringList kSurnames = {"Zander", "Ärger",  "abel",  "Müller", "Özdemir",
                               "Berg",   "Schulz", "Łukas", "Ohm",    "Weiß"};

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool Answers(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

QByteArray Person(const QString& cn, const QString& ou, const QString& displayName,
                  const QString& fax, const QString& business, const QString& home) {
    QByteArray ldif = "dn: cn=" + cn.toUtf8() + ",ou=" + ou.toUtf8() + ",dc=example,dc=org\n" +
                      "objectClass: inetOrgPerson\ncn: " + cn.toUtf8() +
                      "\nsn: " + cn.section(u' ', -1).toUtf8() + "\n";
    // Values that are not plain ASCII go base64-encoded, as LDIF wants.
    ldif += "displayName:: " + displayName.toUtf8().toBase64() + "\n";
    if (!fax.isEmpty())
        ldif += "facsimileTelephoneNumber: " + fax.toUtf8() + "\n";
    if (!business.isEmpty())
        ldif += "telephoneNumber: " + business.toUtf8() + "\n";
    if (!home.isEmpty())
        ldif += "homePhone: " + home.toUtf8() + "\n";
    return ldif + "\n";
}

} // namespace

QByteArray PrivateSlapd::ReadLog() const {
    QFile log(m_dir.filePath("slapd.log"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

PrivateSlapd::~PrivateSlapd() {
    Stop();
}

quint16 PrivateSlapd::FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

QString PrivateSlapd::PersonName(int i) {
    return QStringLiteral("%1 %2")
        .arg(kSurnames.at(i % kSurnames.size()))
        .arg(i, 5, 10, QChar('0'));
}

QString PrivateSlapd::Uri() const {
    return QStringLiteral("ldap://127.0.0.1:%1").arg(m_port);
}

QString PrivateSlapd::LdapsUri() const {
    return QStringLiteral("ldaps://127.0.0.1:%1").arg(m_tlsPort);
}

QString PrivateSlapd::Run(const QString& program, const QStringList& args) {
    return testcerts::Run(m_dir.path(), program, args);
}

QString PrivateSlapd::MakeCertificates() {
    return testcerts::Make(m_dir.path());
}

QString PrivateSlapd::WriteConfig() {
    const QString dir = m_dir.path();
    QByteArray conf;
    for (const char* schema : {"core", "cosine", "inetorgperson"})
        conf += QByteArray("include /etc/ldap/schema/") + schema + ".schema\n";
    conf += "modulepath /usr/lib/ldap\nmoduleload back_mdb\n";
    conf += "pidfile " + (dir + "/slapd.pid").toUtf8() + "\n";
    conf += "TLSCACertificateFile " + (dir + "/ca.pem").toUtf8() + "\n";
    conf += "TLSCertificateFile " + (dir + "/server.pem").toUtf8() + "\n";
    conf += "TLSCertificateKeyFile " + (dir + "/server.key").toUtf8() + "\n";
    // 500 a search, as a company server sets it; a paged search may go on past it (OpenLDAP
    // would otherwise end it at the hard limit too, as Active Directory does not).
    conf += "sizelimit size.soft=500 size.hard=500 size.prtotal=unlimited\n";
    conf += "database mdb\nmaxsize 268435456\nsuffix \"dc=example,dc=org\"\n";
    conf += "rootdn \"cn=admin,dc=example,dc=org\"\n";
    conf += "directory " + (dir + "/db").toUtf8() + "\n";
    conf += "access to attrs=userPassword by anonymous auth by * none\n";
    conf += "access to * by * read\n";
    if (!QDir(dir).mkpath("db") || !WriteFile(dir + "/slapd.conf", conf))
        return "cannot write slapd.conf";
    return {};
}

QString PrivateSlapd::LoadPeople(int peopleWithFax) {
    QByteArray ldif = "dn: dc=example,dc=org\nobjectClass: dcObject\nobjectClass: "
                      "organization\ndc: example\no: Example\n\n";
    for (const char* ou : {"people", "sales"})
        ldif += QByteArray("dn: ou=") + ou +
                ",dc=example,dc=org\nobjectClass: "
                "organizationalUnit\nou: " +
                ou + "\n\n";
    ldif += "dn: cn=reader,dc=example,dc=org\nobjectClass: organizationalRole\nobjectClass: "
            "simpleSecurityObject\ncn: reader\nuserPassword: " +
            kReaderPassword.toUtf8() + "\n\n";
    const int people = peopleWithFax - kSalesWithFax;
    for (int i = 0; i < people; ++i) {
        const bool more = i % 10 == 0;
        ldif += Person(QStringLiteral("p%1").arg(i), "people", PersonName(i),
                       QStringLiteral("+49 30 %1").arg(100000 + i),
                       more ? QStringLiteral("+49 30 2%1").arg(i) : QString(),
                       more ? QStringLiteral("+49 30 3%1").arg(i) : QString());
    }
    for (int i = 0; i < kPeopleWithoutFax; ++i)
        ldif += Person(QStringLiteral("nofax%1").arg(i), "people",
                       QStringLiteral("No Fax %1").arg(i), {}, {}, {});
    for (int i = 0; i < kSalesWithFax; ++i)
        ldif += Person(QStringLiteral("s%1").arg(i), "sales",
                       QStringLiteral("Sales %1").arg(i, 2, 10, QChar('0')),
                       QStringLiteral("+49 40 %1").arg(i), {}, {});
    // One of sales without a fax: a list of its own filter shows it, the default one not.
    ldif += Person("s-nofax", "sales", "Sales without fax", {}, {}, {});
    if (!WriteFile(m_dir.filePath("people.ldif"), ldif))
        return "cannot write people.ldif";
    return Run("/usr/sbin/slapadd", {"-q", "-f", "slapd.conf", "-l", "people.ldif"});
}

QString PrivateSlapd::Launch() {
    m_slapd.setWorkingDirectory(m_dir.path());
    // Its output in a file: a server left behind must not hold the test runner's pipes.
    m_slapd.setProcessChannelMode(QProcess::MergedChannels);
    m_slapd.setStandardOutputFile(m_dir.filePath("slapd.log"), QIODevice::Append);
    // Ended with the test even when the test dies without stopping it.
    m_slapd.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // -d keeps it in the foreground, so that its process id is the one to stop.
    m_slapd.start("/usr/sbin/slapd", {"-f", m_dir.filePath("slapd.conf"), "-h",
                                      Uri() + "/ " + LdapsUri() + "/", "-d", "0"});
    if (!m_slapd.waitForStarted(10000))
        return "slapd: " + m_slapd.errorString();
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (Answers(m_port) && Answers(m_tlsPort))
            return {};
        if (m_slapd.state() == QProcess::NotRunning)
            return QStringLiteral("slapd exited with %1: %2")
                .arg(m_slapd.exitCode())
                .arg(QString::fromLocal8Bit(ReadLog()));
        QThread::msleep(20);
    }
    return "slapd does not answer on " + Uri();
}

QString PrivateSlapd::Start(int peopleWithFax) {
    if (!m_dir.isValid())
        return "no temporary folder";
    m_port = FreePort();
    m_tlsPort = FreePort();
    if (m_port == 0 || m_tlsPort == 0 || m_port == m_tlsPort)
        return "no free port";
    for (const auto& step : {&PrivateSlapd::MakeCertificates, &PrivateSlapd::WriteConfig}) {
        if (QString error = (this->*step)(); !error.isEmpty())
            return error;
    }
    if (QString error = LoadPeople(peopleWithFax); !error.isEmpty())
        return error;
    return Launch();
}

QString PrivateSlapd::Restart() {
    Stop();
    return Launch();
}

void PrivateSlapd::Stop() {
    const qint64 pid = m_slapd.processId();
    if (pid <= 0 || m_slapd.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!m_slapd.waitForFinished(10000)) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        m_slapd.waitForFinished(5000);
    }
}
