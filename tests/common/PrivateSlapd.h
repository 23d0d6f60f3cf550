#pragma once

// A private OpenLDAP server for a test: slapd with a generated slapd.conf (mdb backend, a size
// limit of 500 per search that paged searches may pass), listening on free loopback ports (ldap://
// and ldaps://), with a CA and a server certificate made by openssl for the run, loaded by slapadd
// from a generated LDIF. Everyone may read; cn=reader binds with a password. Stopped by its process
// id when the object goes.
//
// The people: kPeopleWithFax persons under ou=people and ou=sales with a fax number
// (facsimileTelephoneNumber; every tenth also a telephoneNumber and a homePhone), and
// kPeopleWithoutFax more under ou=people without one.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateSlapd {
public:
    static constexpr int kSalesWithFax = 20;
    static constexpr int kPeopleWithoutFax = 100;
    inline static const QString kSuffix = QStringLiteral("dc=example,dc=org");
    inline static const QString kReaderDn = QStringLiteral("cn=reader,dc=example,dc=org");
    inline static const QString kReaderPassword = QStringLiteral("reader-secret");

    PrivateSlapd() = default;
    ~PrivateSlapd();
    PrivateSlapd(const PrivateSlapd&) = delete;
    PrivateSlapd& operator=(const PrivateSlapd&) = delete;

    // Makes the certificates and the database with peopleWithFax persons with a fax number
    // (kSalesWithFax of them under ou=sales), starts slapd and waits until it answers. Empty
    // on success, else why not.
    QString Start(int peopleWithFax);
    void Stop();
    // Starts it again after Stop on the same port and data.
    QString Restart();

    QString Uri() const;      // ldap://, for StartTLS
    QString LdapsUri() const; // TLS from the start
    QString CaFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // A CA that did not sign the server's certificate.
    QString OtherCaFile() const { return m_dir.filePath(QStringLiteral("other-ca.pem")); }
    quint16 Port() const { return m_port; }
    // The display name of person i (0-based) of ou=people with a fax number.
    static QString PersonName(int i);

    // A loopback port nobody listens on at the time of the call.
    static quint16 FreePort();

private:
    QString Run(const QString& program, const QStringList& args);
    QString MakeCertificates();
    QString WriteConfig();
    QString LoadPeople(int peopleWithFax);
    QString Launch();
    QByteArray ReadLog() const;

    QTemporaryDir m_dir;
    QProcess m_slapd;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
};
