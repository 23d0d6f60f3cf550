#pragma once

// A Radicale CardDAV server of the test's own: storage, users (htpasswd, plain) and
// configuration in a temporary folder, listening on a free loopback port; stopped by its
// process id when the object goes. Stop and Start again keep the storage and the port.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateRadicale {
public:
    PrivateRadicale() = default;
    ~PrivateRadicale();
    PrivateRadicale(const PrivateRadicale&) = delete;
    PrivateRadicale& operator=(const PrivateRadicale&) = delete;

    // Users "alice" and "bob" with the passwords kAlicePassword and kBobPassword; with tls,
    // HTTPS only, with a certificate signed by CaFile(). Empty on success, else why not.
    QString Start(bool tls = false);
    void Stop();

    static constexpr const char* kAlicePassword = "alice-secret";
    static constexpr const char* kBobPassword = "bob-secret";

    quint16 Port() const { return m_port; }
    // The CA of a TLS server's certificate, and one that did not sign it.
    QString CaFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString OtherCaFile() const { return m_dir.filePath(QStringLiteral("other-ca.pem")); }
    // http://127.0.0.1:PORT + path (https with TLS)
    QString Url(const QString& path = QStringLiteral("/")) const;

    // One request as user (with that user's password); the status, 0 when there was no answer.
    int Request(const QByteArray& verb, const QString& path, const QString& user,
                const QByteArray& body = {}, const QByteArray& contentType = {});
    // An address book at path (an extended MKCOL), 201 when made.
    int MakeBook(const QString& user, const QString& path, const QString& displayName);
    int PutCard(const QString& user, const QString& path, const QByteArray& vcard);

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    quint16 m_port = 0;
    bool m_tls = false;
};
