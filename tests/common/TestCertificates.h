#pragma once

// Certificates for the test servers that speak TLS, made by openssl in a folder of the test's:
// ca.pem/ca.key (the CA the client is given), other-ca.pem/other-ca.key (a CA that signed
// nothing of the server's) and server.pem/server.key, made out to 127.0.0.1 and localhost and
// signed by ca.pem. Valid for two days.

#include <QString>
#include <QStringList>

namespace testcerts {

// Empty on success, else the failed command and its output.
QString Make(const QString& folder);

// Runs program in folder; empty when it ended with 0, else the command and its output.
QString Run(const QString& folder, const QString& program, const QStringList& args);

} // namespace testcerts
