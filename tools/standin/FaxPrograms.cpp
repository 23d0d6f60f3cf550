#include "FaxPrograms.h"

#include "fax/FaxContract.h"
#include "platform/Presence.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace standin {

namespace {

// Appends "<program>\t<arg1>\t<arg2>..." (argv[0] as started) to the file named by
// KALMO_STANDIN_LOG, so tests and the demo see what was started with what.
void NoteStart(int argc, char* argv[]) {
    const QString log = qEnvironmentVariable("KALMO_STANDIN_LOG");
    if (log.isEmpty())
        return;
    QStringList fields;
    for (int i = 0; i < argc; ++i)
        fields << QString::fromLocal8Bit(argv[i]);
    QFile file(log);
    if (file.open(QIODevice::Append))
        file.write(fields.join(u'\t').toUtf8() + '\n');
}

// Takes finished jobs out of Comjob as the fax application would: into Comack.
void MoveFinishedJobs(const QString& dataDir) {
    QDir comjob(dataDir + u'/' + fax::kFolderComjob);
    const QString comack = dataDir + u'/' + fax::kFolderComack + u'/';
    for (const QString& name : comjob.entryList({QStringLiteral("*.FX3")}, QDir::Files))
        QFile::rename(comjob.filePath(name), comack + name);
}

} // namespace

int RunFaxApplication(int argc, char* argv[]) {
    NoteStart(argc, argv);
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerService(Presence::BusName(fax::kWindowClass)))
        return 1;
    // Ends with the bus, or after KALMO_STANDIN_FAX_SECONDS (default 600).
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &app,
                SLOT(quit()));
    bool ok = false;
    int seconds = qEnvironmentVariableIntValue("KALMO_STANDIN_FAX_SECONDS", &ok);
    if (!ok || seconds <= 0)
        seconds = 600;
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &app, &QCoreApplication::quit);
    end.start(seconds * 1000);
    const QString dataDir = qEnvironmentVariable("KALMO_STANDIN_DATA");
    QTimer mover;
    if (!dataDir.isEmpty()) {
        QObject::connect(&mover, &QTimer::timeout, &app, [dataDir] { MoveFinishedJobs(dataDir); });
        mover.start(1000);
    }
    return app.exec();
}

int RunNoteAndExit(int argc, char* argv[]) {
    NoteStart(argc, argv);
    return 0;
}

} // namespace standin
