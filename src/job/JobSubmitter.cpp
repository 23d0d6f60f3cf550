#include "job/JobSubmitter.h"

#include "app/FaxContract.h"
#include "job/FaxJob.h"
#include "job/JobFileWriter.h"
#include "job/Journal.h"
#include "job/PrintFileInfo.h"
#include "job/SpoolNames.h"
#include "platform/Clock.h"
#include "support/FileUtil.h"
#include "support/PathUtil.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const QString& path) {
    struct stat st {};
    return ::lstat(NativePath(path).constData(), &st) == 0;
}

// Moves from to to only while to does not exist; errno EEXIST when it does.
bool MoveNoReplace(const QString& from, const QString& to) {
    const QByteArray src = NativePath(from);
    const QByteArray dst = NativePath(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        return false;
    // File systems without an exclusive rename: a hard link fails the same way on a taken
    // name.
    if (::link(src.constData(), dst.constData()) != 0)
        return false;
    ::unlink(src.constData());
    return true;
}

} // namespace

JobSubmitter::JobSubmitter(QString dataDir, const PrintFileInfo& printFile, Messenger& messenger,
                           AutomationClient& automation, const Clock& clock)
    : m_dataDir(std::move(dataDir)), m_printFile(printFile), m_messenger(messenger),
      m_automation(automation), m_clock(clock), m_names(m_dataDir) {}

void JobSubmitter::Fail(int error) {
    m_failureError = error;
    m_failureReason = GetErrorText(error);
}

int JobSubmitter::SubmitJob(FaxJob& job) {
    m_failureError = 0;
    m_failureReason.clear();
    job.jobFileName = m_names.NextFree(JobFileDayPrefix(m_clock.Now().date()));
    if (job.jobFileName.isEmpty()) {
        Fail(EEXIST);
        return 2;
    }
    if (WriteJobFile(job) != 0)
        return 2;
    if (WriteJournalEntry(job, m_automation, m_messenger) != 0) {
        // The fax application must not send a job that its journal does not know.
        ::unlink(NativePath(JobFilePath(m_dataDir, job.jobFileName)).constData());
        return 1;
    }
    return 0;
}

QString JobSubmitter::CreateTempJobFile() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = JoinPath(
            m_dataDir, QStringLiteral(".KalmoJob-%1-%2.tmp")
                           .arg(::getpid())
                           .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0')));
        const int fd =
            ::open(NativePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

int JobSubmitter::WriteJobFile(FaxJob& job) {
    m_failureError = 0;
    m_failureReason.clear();
    // A line break in a value would add a line of its own to the job, or cut one short.
    if (HasControlCharacter(job.number) || HasControlCharacter(job.sendTime) ||
        (!job.poll && HasControlCharacter(job.document))) {
        Fail(EINVAL);
        return 1;
    }
    QString format;
    if (!job.poll) {
        switch (m_printFile.m_nFormat) {
        case kFormatPcx:
            format = QStringLiteral("PCX");
            job.resolution = 196;
            break;
        case kFormatSff:
            format = QStringLiteral("SFF");
            job.resolution = m_printFile.m_nResolution;
            break;
        case kFormatColour:
            format = QStringLiteral("CFF");
            job.resolution = m_printFile.m_nResolution;
            break;
        default:
            format = QStringLiteral("FXASC");
            job.resolution = 98;
            break;
        }
    }
    const QString tmpPath = CreateTempJobFile();
    if (tmpPath.isEmpty()) {
        Fail(errno);
        return 1;
    }
    const int written = job.poll ? WritePollJob(tmpPath, job.number, job.sendTime)
                                 : WriteSendJob(tmpPath, job.document, job.number, format,
                                                job.resolution, job.sendTime);
    bool published = false;
    if (written != 0)
        Fail(errno);
    else
        published = Publish(tmpPath, job);
    // Gone already when it was published.
    ::unlink(NativePath(tmpPath).constData());
    return published ? 0 : 1;
}

bool JobSubmitter::Publish(const QString& tmpPath, FaxJob& job) {
    const QString prefix = job.jobFileName.size() == 12 ? job.jobFileName.left(4)
                                                        : JobFileDayPrefix(m_clock.Now().date());
    QString name = job.jobFileName.isEmpty() ? m_names.NextFree(prefix) : job.jobFileName;
    while (!name.isEmpty()) {
        // Comerr and Comack are looked at again right before the claim: a job of another
        // instance may have reached them since they were listed.
        if (!Exists(JoinPath(JoinPath(m_dataDir, fax::kFolderComerr), name)) &&
            !Exists(JoinPath(JoinPath(m_dataDir, fax::kFolderComack), name))) {
            if (MoveNoReplace(tmpPath, JobFilePath(m_dataDir, name))) {
                m_names.MarkTaken(name);
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
