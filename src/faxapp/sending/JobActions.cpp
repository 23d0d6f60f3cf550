#include "faxapp/sending/JobActions.h"

#include "fax/FaxContract.h"
#include "fax/JobFile.h"
#include "fax/JobFileWriter.h"
#include "fax/JobNameIndex.h"
#include "fax/PosixFile.h"
#include "fax/SpoolFolder.h"
#include "fax/SpoolNames.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/sending/SendingState.h"
#include "faxapp/sending/ServerFactory.h"
#include "support/Clock.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace faxapp {

namespace {

using Field = JobFile::Field;

// The temporary name kalmosend writes its job files under: no job file's name, and cleared
// away by kalmosend when its writer is gone.
const QString kTempPrefix = QStringLiteral(".KalmoJob-");

Problem ErrnoProblem(const QString& what) {
    return Problem{0, what, QString::fromLocal8Bit(std::strerror(errno))};
}

// The row's job file as it was filed, when it still is.
std::optional<JobFile> FiledJob(const QString& dataDir, const QString& jobFile) {
    for (const QString& folder : {fax::kFolderComerr, fax::kFolderComack}) {
        SpoolFolder filed;
        PosixFile file;
        QByteArray bytes;
        if (IsJobFileName(jobFile) && filed.Open(dataDir + u'/' + folder) &&
            filed.OpenRegular(file, jobFile) && ReadJobFileBytes(file, bytes)) {
            if (auto job = JobFile::Parse(bytes))
                return job;
        }
    }
    return std::nullopt;
}

// The conversion kalmosend names for a document of that kind.
QString FormatOf(const QString& document) {
    const QString suffix = QFileInfo(document).suffix().toUpper();
    if (suffix == u"SFF" || suffix == u"CFF" || suffix == u"PCX")
        return suffix;
    return QStringLiteral("FXASC");
}

Result<QByteArray> JobBytes(const QString& dataDir, const JournalEntry& entry) {
    const QString now = QStringLiteral("IMMED");
    if (entry.poll) {
        const auto job = MakePollJob(entry.number, now);
        if (!job)
            return job.Error();
        return job->Bytes();
    }
    if (!QFileInfo(entry.document).isFile())
        return Problem{0, entry.document, QString::fromLocal8Bit(std::strerror(ENOENT))};
    QString format = FormatOf(entry.document);
    int resolution = entry.resolution > 0 ? entry.resolution : 196;
    if (const auto filed = FiledJob(dataDir, entry.jobFile)) {
        if (!filed->Value(Field::Convert).isEmpty())
            format = filed->Value(Field::Convert);
        if (const int res = filed->Value(Field::FaxRes).toInt(); res > 0)
            resolution = res;
    }
    const auto job = MakeSendJob(entry.document, entry.number, format, resolution, now);
    if (!job)
        return job.Error();
    return job->Bytes();
}

// Writes bytes under a temporary name in Comjob and moves them to the next free job file
// name of the day: never a half-written job, never another's name.
Result<QString> Publish(const QString& dataDir, const QByteArray& bytes, const Clock& clock) {
    SpoolFolder comjob;
    const QString comjobPath = dataDir + u'/' + fax::kFolderComjob;
    if (!comjob.Open(comjobPath))
        return ErrnoProblem(comjobPath);
    PosixFile file;
    QString temp;
    for (int attempt = 0; attempt < 100 && !file.IsOpen(); ++attempt) {
        temp =
            kTempPrefix + QStringLiteral("%1-%2.tmp")
                              .arg(::getpid())
                              .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0'));
        if (!comjob.CreateExclusive(file, temp) && errno != EEXIST)
            return ErrnoProblem(comjob.PathOf(temp));
    }
    if (!file.Write(bytes.constData(), std::size_t(bytes.size())) || !file.Sync()) {
        const Problem problem = ErrnoProblem(comjob.PathOf(temp));
        comjob.Remove(temp);
        return problem;
    }
    JobNameIndex names(dataDir);
    const QString prefix = JobFileDayPrefix(clock.Now().date());
    for (QString name = names.NextFree(prefix); !name.isEmpty(); name = names.NextFree(prefix)) {
        if (SpoolFolder::MoveNoReplace(comjob, temp, comjob, name)) {
            comjob.Sync();
            return name;
        }
        if (errno != EEXIST)
            break;
        names.MarkTaken(name);
    }
    const Problem problem = ErrnoProblem(comjobPath);
    comjob.Remove(temp);
    return problem;
}

} // namespace

Result<QString> SendAgain(const QString& dataDir, JournalStore& journal, const JournalEntry& entry,
                          const Clock& clock) {
    const auto bytes = JobBytes(dataDir, entry);
    if (!bytes)
        return bytes.Error();
    const auto name = Publish(dataDir, *bytes, clock);
    if (!name)
        return name.Error();
    JournalEntry row;
    row.poll = entry.poll;
    row.document = entry.poll ? QString() : entry.document;
    row.jobFile = *name;
    row.number = entry.number;
    row.resolution = entry.resolution;
    row.sendTime = QStringLiteral("IMMED");
    row.remark = entry.remark;
    QString error;
    if (!journal.Add(row, error)) {
        // No job is sent that its journal does not know.
        SpoolFolder comjob;
        if (comjob.Open(dataDir + u'/' + fax::kFolderComjob)) {
            comjob.Remove(*name);
            comjob.Sync();
        }
        return Problem{0, JournalStore::DatabasePath(dataDir), error};
    }
    return *name;
}

Result<void> CancelAtServer(const FaxSettings& settings, const QString& jobFile) {
    SendingState state;
    QString error;
    if (!state.Open(settings.dataDir, error))
        return Problem{0, jobFile, error};
    const auto record = IsJobFileName(jobFile) ? state.Read(jobFile) : std::nullopt;
    if (!record || record->jobId.isEmpty())
        return Problem{kJobNotAtServer, jobFile, {}};
    auto server = MakeFaxServer(settings.server, record->server);
    if (!server)
        return server.Error();
    if (const auto cancelled = (*server)->Cancel(record->jobId); !cancelled)
        return Problem{0, (*server)->Name(), cancelled.Error().reason};
    return Success();
}

} // namespace faxapp
