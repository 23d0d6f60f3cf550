#include "faxapp/ui/VersionParts.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <sqlite3.h>
#include <tiffio.h>

#ifndef KALMO_VERSION
#error "KALMO_VERSION comes from the build (project version)"
#endif

namespace faxapp {

namespace {

constexpr int kProgramWaitMs = 5000;

// The first line a program prints, empty when it cannot be run or fails.
QString FirstLineOf(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args, QIODevice::ReadOnly);
    if (!process.waitForFinished(kProgramWaitMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
}

// "LIBTIFF, Version 4.5.0\nCopyright ..." -> "4.5.0"
QString TiffVersion() {
    const QString text = QString::fromLatin1(TIFFGetVersion()).section(u'\n', 0, 0);
    const qsizetype at = text.indexOf(QStringLiteral("Version "));
    return at < 0 ? text.trimmed() : text.mid(at + 8).trimmed();
}

QString GhostscriptVersion() {
    const QString gs = QStandardPaths::findExecutable(QStringLiteral("gs"));
    return gs.isEmpty() ? QString() : FirstLineOf(gs, {QStringLiteral("--version")});
}

// The client programs tell no version of their own; the package does.
QString FaxClientProgramsVersion() {
    if (QStandardPaths::findExecutable(QStringLiteral("sendfax")).isEmpty())
        return {};
    const QString dpkg = QStandardPaths::findExecutable(QStringLiteral("dpkg-query"));
    const QString version =
        dpkg.isEmpty() ? QString()
                       : FirstLineOf(dpkg, {QStringLiteral("-W"), QStringLiteral("-f=${Version}"),
                                            QStringLiteral("hylafax-client")});
    return version.isEmpty()
               ? QCoreApplication::translate("faxapp::VersionWindow", "vorhanden (sendfax)")
               : version;
}

} // namespace

QList<VersionPart> CollectVersions() {
    const QString own = QStringLiteral(KALMO_VERSION);
    return {
        {QStringLiteral("kalmofax"), own},
        {QStringLiteral("kalmosend"), own}, // built and shipped together
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion())},
        {QStringLiteral("SQLite"), QString::fromLatin1(sqlite3_libversion())},
        {QStringLiteral("libtiff"), TiffVersion()},
        {QStringLiteral("Ghostscript"), GhostscriptVersion()},
        {QStringLiteral("HylaFAX-Client"), FaxClientProgramsVersion()},
    };
}

QString VersionText(const QList<VersionPart>& parts) {
    QString text;
    for (const VersionPart& part : parts) {
        text += part.name + QStringLiteral(": ") +
                (part.version.isEmpty()
                     ? QCoreApplication::translate("faxapp::VersionWindow", "nicht gefunden")
                     : part.version) +
                u'\n';
    }
    return text;
}

} // namespace faxapp
