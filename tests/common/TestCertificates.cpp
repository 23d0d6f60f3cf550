#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace testcerts {

QString Run(const QString& folder, const QString& program, const QStringList& args) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return program + ": " + process.errorString();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return program + " " + args.join(' ') + ": " + QString::fromLocal8Bit(process.readAll());
    return {};
}

QString Make(const QString& folder) {
    const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    for (const QString& ca : {QStringLiteral("ca"), QStringLiteral("other-ca")}) {
        if (QString error = Run(folder, "openssl",
                                QStringList{"req", "-x509"}
                                    << ec
                                    << QStringList{"-keyout", ca + ".key", "-out", ca + ".pem",
                                                   "-days", "2", "-subj", "/CN=Kalmo test " + ca});
            !error.isEmpty())
            return error;
    }
    QFile ext(folder + "/server.ext");
    if (!ext.open(QIODevice::WriteOnly) ||
        ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                  "extendedKeyUsage=serverAuth\n") < 0)
        return "cannot write server.ext";
    ext.close();
    if (QString error =
            Run(folder, "openssl",
                QStringList{"req"} << ec
                                   << QStringList{"-keyout", "server.key", "-out", "server.csr",
                                                  "-subj", "/CN=127.0.0.1"});
        !error.isEmpty())
        return error;
    return Run(folder, "openssl",
               {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"});
}

} // namespace testcerts
