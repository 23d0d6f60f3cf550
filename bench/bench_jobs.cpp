// Job submission against a large spool: 1,000 jobs of one OK into a data folder whose
// Comjob, Comack and Comerr already hold 5,000 job files of the day, and the same into an
// empty spool. With the bare parts measured in the same run (writing and publishing 1,000
// job files; 1,000 journal calls), the ratio shows what the name search costs.
//
//   bench_jobs [--jobs N] [--spool M] [--rounds R] [--journal fake|dbus]
//
// The journal client is chosen by --journal: "fake" answers in-process; "dbus" is the real
// client talking to KalmoJournal.Document on the session bus (the stand-in on a private bus:
// bench/run-jobs-bench). Over D-Bus every entry is a journal object of its own, as in the
// program: creation, the call and the release.

#include "fax/FaxContract.h"
#include "fax/FaxJob.h"
#include "fax/JobFileWriter.h"
#include "fax/PrintFileInfo.h"
#include "fax/SpoolNames.h"
#include "job/JobSubmitter.h"
#include "job/Journal.h"
#include "platform/Automation.h"
#include "platform/DBusAutomation.h"
#include "support/Clock.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/NumberFormat.h"
#include "support/PathUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>

namespace {

class SilentMessenger final : public Messenger {
public:
    MessageAnswer Show(int id, const QString& text, MessageKind) override {
        std::fprintf(stderr, "message %d: %s\n", id, qPrintable(text));
        return MessageAnswer::No;
    }
};

// A journal in this process that records every entry.
class InProcessJournal final : public AutomationClient {
public:
    bool Initialise() override { return true; }
    DispatchPtr CreateInstance(const QString&, CreateFailure&) override {
        return std::make_shared<Object>();
    }

private:
    class Object final : public DispatchObject {
    public:
        AutoVariant Invoke(int, InvokeKind, const QList<AutoVariant>& args) override {
            m_last = args;
            return AutoVariant::I2(0);
        }

    private:
        QList<AutoVariant> m_last;
    };
};

// The journal client under test.
std::unique_ptr<AutomationClient> MakeJournalClient(const QString& kind) {
    if (kind == QLatin1String("fake"))
        return std::make_unique<InProcessJournal>();
    if (kind == QLatin1String("dbus"))
        return std::make_unique<DBusAutomationClient>();
    return nullptr;
}

class BenchClock final : public Clock {
public:
    QDateTime Now() const override { return QDateTime(QDate(2024, 12, 24), QTime(10, 0)); }
};

QString DataFolder(const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    for (const QString& folder :
         {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr, fax::kFolderFaxsend})
        QDir().mkpath(JoinPath(path, folder));
    return path;
}

// count job files of the day spread over Comjob, Comerr and Comack.
void FillSpool(const QString& dataDir, int count) {
    const QString folders[] = {fax::kFolderComjob, fax::kFolderComerr, fax::kFolderComack};
    for (int i = 0; i < count; ++i) {
        const QString path =
            JoinPath(JoinPath(dataDir, folders[i % 3]),
                     QStringLiteral("2412") + ZeroPad(i, 4, 10) + QStringLiteral(".FX3"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("A*APPLI/COM*V001\r\n");
    }
}

double Seconds(const std::function<void()>& run) {
    QElapsedTimer timer;
    timer.start();
    run();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

int SubmitAll(const QString& dataDir, AutomationClient& journal, int jobs) {
    PrintFileInfo printFile;
    printFile.m_nResolution = 196;
    SilentMessenger messenger;
    BenchClock clock;
    JobSubmitter submitter(dataDir, printFile, messenger, journal, clock);
    FaxJob job;
    job.document = JoinPath(JoinPath(dataDir, fax::kFolderFaxsend), QStringLiteral("_FX00000.SFF"));
    int failures = 0;
    for (int i = 0; i < jobs; ++i) {
        job.number = QStringLiteral("0815-") + QString::number(i);
        failures += submitter.SubmitJob(job) != 0;
    }
    return failures;
}

// The same files written and published the same way, without any name search.
int WriteBare(const QString& dataDir, int jobs) {
    int failures = 0;
    for (int i = 0; i < jobs; ++i) {
        const QString tmp = JoinPath(dataDir, QStringLiteral(".bench-%1.tmp").arg(i));
        const QString target =
            JoinPath(JoinPath(dataDir, fax::kFolderComjob),
                     QStringLiteral("2412") + ZeroPad(i, 4, 10) + QStringLiteral(".FX3"));
        const int fd = ::open(NativePath(tmp).constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0)
            ::close(fd);
        failures += WriteSendJob(tmp, QStringLiteral("/d/_FX00000.SFF"),
                                 QStringLiteral("0815-") + QString::number(i),
                                 QStringLiteral("SFF"), 196, QStringLiteral("IMMED")) != 0;
        failures += ::renameat2(AT_FDCWD, NativePath(tmp).constData(), AT_FDCWD,
                                NativePath(target).constData(), RENAME_NOREPLACE) != 0;
    }
    return failures;
}

int JournalAlone(AutomationClient& journal, int jobs) {
    SilentMessenger messenger;
    FaxJob job;
    job.document = QStringLiteral("/d/_FX00000.SFF");
    job.resolution = 196;
    int failures = 0;
    for (int i = 0; i < jobs; ++i) {
        job.number = QStringLiteral("0815-") + QString::number(i);
        job.jobFileName = QStringLiteral("2412") + ZeroPad(i, 4, 10) + QStringLiteral(".FX3");
        failures += WriteJournalEntry(job, journal, messenger) != 0;
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int jobs = 1000;
    int spool = 5000;
    int rounds = 3;
    QString journalKind = QStringLiteral("fake");
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--jobs"))
            jobs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--spool"))
            spool = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--journal"))
            journalKind = args[i + 1];
    }
    if (jobs < 1 || spool < 0 || jobs + spool > 10000) {
        std::fprintf(stderr, "bench_jobs: jobs and spool must fit into the 10000 names of a day\n");
        return 2;
    }
    std::unique_ptr<AutomationClient> journal = MakeJournalClient(journalKind);
    if (!journal || !journal->Initialise()) {
        std::fprintf(stderr, "bench_jobs: no journal client \"%s\"\n", qPrintable(journalKind));
        return 2;
    }

    // The first entry starts the journal's server: not part of any measurement.
    if (JournalAlone(*journal, 1) != 0) {
        std::fprintf(stderr, "bench_jobs: the journal \"%s\" does not record\n",
                     qPrintable(journalKind));
        return 1;
    }

    // Best of several rounds, each in fresh folders: the file system's noise only adds.
    double full = 1e9, empty = 1e9, bare = 1e9, journalOnly = 1e9;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir;
        const QString fullDir = DataFolder(dir, QStringLiteral("full"));
        const QString emptyDir = DataFolder(dir, QStringLiteral("empty"));
        const QString bareDir = DataFolder(dir, QStringLiteral("bare"));
        FillSpool(fullDir, spool);
        full = std::min(full, Seconds([&] { failures += SubmitAll(fullDir, *journal, jobs); }));
        empty = std::min(empty, Seconds([&] { failures += SubmitAll(emptyDir, *journal, jobs); }));
        bare = std::min(bare, Seconds([&] { failures += WriteBare(bareDir, jobs); }));
        journalOnly =
            std::min(journalOnly, Seconds([&] { failures += JournalAlone(*journal, jobs); }));
    }
    std::printf("jobs %d, spool %d job files, journal %s, best of %d rounds\n", jobs, spool,
                qPrintable(journalKind), rounds);
    std::printf("submit into full spool   %8.3f s\n", full);
    std::printf("submit into empty spool  %8.3f s\n", empty);
    std::printf("ratio full / empty       %8.2f\n", full / empty);
    std::printf("bare: write and publish  %8.3f s\n", bare);
    std::printf("bare: journal calls      %8.3f s\n", journalOnly);
    std::printf("full minus bare parts    %8.3f s\n", full - bare - journalOnly);
    std::printf("empty minus bare parts   %8.3f s\n", empty - bare - journalOnly);
    if (failures != 0) {
        std::fprintf(stderr, "bench_jobs: %d operations failed\n", failures);
        return 1;
    }
    return 0;
}
