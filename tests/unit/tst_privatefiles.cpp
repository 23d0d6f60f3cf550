// What the programs write into the data folder is the user's alone, whatever the umask: spool
// folders 0700, the journal, the documents and the job files with their outcomes 0600. Numbers,
// remarks and documents must not be readable wherever the home folder can be entered.

#include "RecordingMessenger.h"
#include "TestRegistry.h"
#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "fax/JobFile.h"
#include "fax/PosixFile.h"
#include "fax/SpoolFolder.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/sending/JobFiler.h"
#include "support/Clock.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestPrivateFiles : public QObject {
    Q_OBJECT

    mode_t m_umask = 0;

private Q_SLOTS:
    void init() { m_umask = ::umask(022); }
    void cleanup() { ::umask(m_umask); }

    void dataFolderAndJournal() {
        QTemporaryDir dir;
        TestRegistry registry;
        RecordingMessenger messenger;
        const fax::FaxFolders folders(registry.registry(), messenger);
        folders.CreateSpoolFolders(dir.path());
        for (const QString& name : {fax::kFolderComjob, fax::kFolderComack, fax::kFolderComerr,
                                    fax::kFolderComrec, fax::kFolderFaxsend, fax::kFolderFaxrec})
            QCOMPARE(ModeOf(dir.filePath(name)), mode_t{0700});

        QString error;
        QVERIFY2(faxapp::JournalStore::Open(dir.path(), error), qPrintable(error));
        QCOMPARE(ModeOf(faxapp::JournalStore::DatabasePath(dir.path())), mode_t{0600});
    }

    void documentsAndOutcomes() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Comjob") && QDir(dir.path()).mkpath("Comerr") &&
                QDir(dir.path()).mkpath("Comack") && QDir(dir.path()).mkpath("Faxsend") &&
                QDir(dir.path()).mkpath("work"));
        SpoolFolder data, comjob, comack, comerr, faxsend, work;
        QVERIFY(data.Open(dir.path()));
        QVERIFY(comjob.OpenAt(data, "Comjob") && comack.OpenAt(data, "Comack") &&
                comerr.OpenAt(data, "Comerr") && faxsend.OpenAt(data, "Faxsend") &&
                work.OpenAt(data, "work"));

        // A document claimed in Faxsend by the spool's writer.
        PosixFile document;
        QVERIFY(faxsend.CreateExclusive(document, "_FX00001.SFF"));
        QCOMPARE(ModeOf(faxsend.PathOf("_FX00001.SFF")), mode_t{0600});

        // A refused job filed in Comerr with its outcome.
        QString error;
        auto journal = faxapp::JournalStore::Open(dir.path(), error);
        QVERIFY2(journal, qPrintable(error));
        JobFile job;
        QVERIFY(job.SetValue(JobFile::Field::Function, JobFile::SendFunction()));
        QVERIFY(job.SetValue(JobFile::Field::FileName, faxsend.PathOf("_FX00001.SFF")));
        QVERIFY(job.SetValue(JobFile::Field::Address, "0711 123456"));
        PosixFile queued;
        QVERIFY(comjob.CreateExclusive(queued, "10120001.FX3"));
        QCOMPARE(ModeOf(comjob.PathOf("10120001.FX3")), mode_t{0600});
        const SystemClock clock;
        faxapp::JobFiler filer(comjob, comack, comerr, faxsend, work, *journal, clock, 60);
        QString problem;
        QVERIFY2(filer.File("10120001.FX3", job, faxapp::JobFiler::Outcome::Refused, "refused",
                            problem) == faxapp::JobFiler::Filed::Here,
                 qPrintable(problem));
        QCOMPARE(ModeOf(comerr.PathOf("10120001.FX3")), mode_t{0600});
    }
};

QTEST_GUILESS_MAIN(TestPrivateFiles)
#include "tst_privatefiles.moc"
