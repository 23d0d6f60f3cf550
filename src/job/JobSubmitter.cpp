#include "job/JobSubmitter.h"

#include "fax/FaxContract.h"
#include "fax/FaxJob.h"
#include "fax/FolderListing.h"
#include "fax/JobFile.h"
#include "fax/JobFileWriter.h"
#include "fax/OemFile.h"
#include "fax/PrintFileInfo.h"
#include "fax/SpoolNames.h"
#include "job/Journal.h"
#include "support/Clock.h"
#include "support/FileUtil.h"
#include "support/PathUtil.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kTempPrefix = QStringLiteral(".KalmoJob-");
constexpr time_t kStaleAfterSeconds = 600;

} // namespace

JobSubmitter::JobSubmitter(QString dataDir, const PrintFileInfo& printFile, Messenger& messenger,
                           AutomationClient& automation, const Clock& clock)
    : m_dataDir(std::move(dataDir)), m_printFile(printFile), m_messenger(messenger),
      m_automation(automation), m_clock(clock), m_names(m_dataDir) {}

void JobSubmitter::Fail(int error) {
    m_failureError = error;
    m_failureReason = GetErrorText(error);
}

bool JobSubmitter::OpenSpool() {
    if (m_comjob.IsOpen())
        return true;
    if (!m_data.Open(m_dataDir) || !m_comjob.OpenAt(m_data, fax::kFolderComjob))
        return false;
    // Missing Comerr or Comack folders hold no names; folders that cannot be looked into
    // might, so the job waits.
    for (SpoolFolder* folder : {&m_comerr, &m_comack}) {
        const QString name = folder == &m_comerr ? fax::kFolderComerr : fax::kFolderComack;
        if (!folder->OpenAt(m_data, name) && errno != ENOENT)
            return false;
    }
    // Job files are written in Comjob itself (a link to another file system is renamed
    // within it); earlier versions wrote them in the data folder.
    RemoveStaleTempFiles(m_comjob);
    RemoveStaleTempFiles(m_data);
    return true;
}

void JobSubmitter::RemoveStaleTempFiles(const SpoolFolder& folder) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\.KalmoJob-([0-9]{1,10})-[0-9a-f]{16}\\.tmp$"));
    QStringList stale;
    ListFolder(folder.Path(), [&](std::string_view entry) {
        if (entry.rfind(".KalmoJob-", 0) != 0)
            return;
        const QString name =
            QFile::decodeName(QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            return;
        bool ok = false;
        const qint64 pid = match.captured(1).toLongLong(&ok);
        if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid == ::getpid())
            return;
        // Only a process that is gone leaves its file for good; a running one is writing it.
        // A process of another machine sharing the folder is not seen here, so the file must
        // also be older than any job takes to write.
        struct stat st {};
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH &&
            ::fstatat(folder.Descriptor(), entry.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            st.st_mtime < ::time(nullptr) - kStaleAfterSeconds)
            stale.append(name);
    });
    for (const QString& name : std::as_const(stale))
        folder.Remove(name);
}

int JobSubmitter::SubmitJob(FaxJob& job) {
    m_journalResult = 0;
    m_failureError = 0;
    m_failureReason.clear();
    job.jobFileName = m_names.NextFree(JobFileDayPrefix(m_clock.Now().date()));
    if (job.jobFileName.isEmpty()) {
        Fail(EEXIST);
        return 2;
    }
    if (WriteJobFile(job) != 0)
        return 2;
    m_journalResult = WriteJournalEntry(job, m_automation, m_messenger);
    if (m_journalResult != 0) {
        // The fax application must not send a job that its journal does not know.
        m_comjob.Remove(job.jobFileName);
        m_comjob.Sync();
        return 1;
    }
    return 0;
}

bool JobSubmitter::CreateTempJobFile(PosixFile& file, QString& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name =
            kTempPrefix + QStringLiteral("%1-%2.tmp")
                              .arg(::getpid())
                              .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0'));
        if (m_comjob.CreateExclusive(file, name))
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

Result<QByteArray> JobSubmitter::JobFileBytes(FaxJob& job) const {
    if (job.poll) {
        const Result<JobFile> file = MakePollJob(job.number, job.sendTime);
        if (!file)
            return file.Error();
        return file->Bytes();
    }
    QString format;
    int resolution = 0;
    switch (m_printFile.m_nFormat) {
    case kFormatPcx:
        format = QStringLiteral("PCX");
        resolution = 196;
        break;
    case kFormatSff:
        format = QStringLiteral("SFF");
        resolution = m_printFile.m_nResolution;
        break;
    case kFormatColour:
        format = QStringLiteral("CFF");
        resolution = m_printFile.m_nResolution;
        break;
    default:
        format = QStringLiteral("FXASC");
        resolution = 98;
        break;
    }
    // The fax application reads the path back from CP850: one that CP850 cannot hold would
    // name another file, or none.
    if (!COemFile::HoldsAll(job.document))
        return Problem{0, job.document, GetErrorText(EILSEQ)};
    const Result<JobFile> file =
        MakeSendJob(job.document, job.number, format, resolution, job.sendTime);
    if (!file)
        return file.Error();
    job.resolution = resolution;
    return file->Bytes();
}

Result<void> JobSubmitter::CheckJob(FaxJob job) const {
    const Result<QByteArray> bytes = JobFileBytes(job);
    if (!bytes)
        return bytes.Error();
    return Success();
}

int JobSubmitter::WriteJobFile(FaxJob& job) {
    m_failureError = 0;
    m_failureReason.clear();
    // A line break in a value would add a line of its own to the job, or cut one short.
    const Result<QByteArray> bytes = JobFileBytes(job);
    if (!bytes) {
        Fail(EINVAL);
        return 1;
    }
    if (!OpenSpool()) {
        Fail(errno);
        return 1;
    }
    PosixFile file;
    QString tmpName;
    if (!CreateTempJobFile(file, tmpName)) {
        Fail(errno);
        return 1;
    }
    // On disk before anyone is shown the file: the fax application may act on it at once.
    // The name must still be the file written: a link in its place is never published.
    bool written =
        file.Write(bytes->constData(), static_cast<std::size_t>(bytes->size())) && file.Sync();
    if (written && !file.IsNamedAt(m_comjob.Descriptor(), tmpName)) {
        errno = EEXIST;
        written = false;
    }
    if (!written) {
        Fail(errno);
        m_comjob.Remove(tmpName);
        return 1;
    }
    const bool published = Publish(tmpName, file, job);
    if (!published)
        m_comjob.Remove(tmpName);
    return published ? 0 : 1;
}

bool JobSubmitter::Publish(const QString& tmpName, const PosixFile& file, FaxJob& job) {
    const QString prefix = job.jobFileName.size() == 12 ? job.jobFileName.left(4)
                                                        : JobFileDayPrefix(m_clock.Now().date());
    QString name = job.jobFileName.isEmpty() ? m_names.NextFree(prefix) : job.jobFileName;
    while (!name.isEmpty()) {
        // Comerr and Comack are looked at again right before the claim: a job of another
        // instance may have reached them since they were listed.
        const bool finished = (m_comerr.IsOpen() && m_comerr.Contains(name)) ||
                              (m_comack.IsOpen() && m_comack.Contains(name));
        if (!finished) {
            if (SpoolFolder::MoveNoReplace(m_comjob, tmpName, m_comjob, name)) {
                m_names.MarkTaken(name);
                // What went in must be the file written, not a link swapped in for it.
                if (!file.IsNamedAt(m_comjob.Descriptor(), name)) {
                    m_comjob.Remove(name);
                    Fail(EEXIST);
                    return false;
                }
                if (!m_comjob.Sync()) {
                    const int error = errno;
                    m_comjob.Remove(name);
                    Fail(error);
                    return false;
                }
                job.jobFileName = name;
                return true;
            }
            if (errno != EEXIST) {
                Fail(errno);
                return false;
            }
        }
        m_names.MarkTaken(name);
        const QString next = m_names.NextFree(prefix);
        if (next == name)
            break; // not a name of the day's form: nothing else to try
        name = next;
    }
    Fail(EEXIST);
    return false;
}
