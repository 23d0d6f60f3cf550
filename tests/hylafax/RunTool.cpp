#include "RunTool.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

constexpr int kToolMs = 15000;

} // namespace

bool RunTool(const QString& program, const QStringList& arguments, QByteArray& output,
             QString& error, const QString& home) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!home.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.remove(QStringLiteral("FAXSERVER"));
        environment.remove(QStringLiteral("FAXUSER"));
        process.setProcessEnvironment(environment);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(kToolMs)) {
        process.kill();
        process.waitForFinished(kToolMs);
        error = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        return false;
    }
    output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = QStringLiteral("%1 %2 failed: %3")
                    .arg(program, arguments.join(u' '), QString::fromUtf8(output));
        return false;
    }
    return true;
}
