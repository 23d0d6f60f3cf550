#include "faxapp/sending/JobFiler.h"

#include "fax/FolderListing.h"
#include "fax/PosixFile.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/journal/KeptDocuments.h"
#include "faxapp/sending/JobOutcome.h"
#include "faxapp/sending/SendingState.h"
#include "support/Clock.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace faxapp {

namespace {

using Field = JobFile::Field;

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString StateOf(JobFiler::Outcome outcome) {
    switch (outcome) {
    case JobFiler::Outcome::Sent:
        return QStringLiteral("sent");
    case JobFiler::Outcome::Failed:
        return QStringLiteral("failed");
    case JobFiler::Outcome::Cancelled:
        return QStringLiteral("cancelled");
    case JobFiler::Outcome::Refused:
        break;
    }
    return QStringLiteral("refused");
}

void Append(QString& problem, const QString& more) {
    problem += (problem.isEmpty() ? QString() : QStringLiteral("; ")) + more;
}

bool IsCff(const QString& fileName) {
    return fileName.endsWith(QLatin1String(".CFF"), Qt::CaseInsensitive);
}

// The SFF a colour document sends, beside it.
QString CompanionOf(const QString& cffName) {
    return cffName.left(cffName.size() - 4) + QStringLiteral(".SFF");
}

// A document kalmosend writes into Faxsend.
bool IsSpooledDocument(const QString& fileName) {
    return fileName.startsWith(QLatin1String("_FX"), Qt::CaseInsensitive) &&
           (IsCff(fileName) || fileName.endsWith(QLatin1String(".SFF"), Qt::CaseInsensitive));
}

} // namespace

JobFiler::JobFiler(const SpoolFolder& comjob, const SpoolFolder& comack, const SpoolFolder& comerr,
                   const SpoolFolder& faxsend, const SpoolFolder& work, JournalStore& journal,
                   const Clock& clock, qint64 graceSecs)
    : m_comjob(comjob), m_comack(comack), m_comerr(comerr), m_faxsend(faxsend), m_work(work),
      m_journal(journal), m_clock(clock), m_graceSecs(graceSecs) {}

void JobFiler::Forget() {
    m_documentOf.clear();
    m_documentUseKnown = false;
}

JobFiler::Filed JobFiler::Write(const QString& name, const JobFile& job, Outcome outcome,
                                QString& problem) {
    const SpoolFolder& target = outcome == Outcome::Sent ? m_comack : m_comerr;
    const QString temp = name + QStringLiteral(".out.") + SendingState::OwnerTag();
    const QByteArray bytes = job.Bytes();
    m_work.Remove(temp); // left by this runner when it stopped halfway
    PosixFile out;
    if (!m_work.CreateExclusive(out, temp, 0600) ||
        !out.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !out.Sync() ||
        !out.Close()) {
        Append(problem, m_work.PathOf(temp) + QStringLiteral(": ") + ErrnoText());
        m_work.Remove(temp);
        return Filed::No;
    }
    Filed filed = Filed::Here;
    if (!SpoolFolder::MoveNoReplace(m_work, temp, target, name)) {
        const int moveErrno = errno;
        m_work.Remove(temp);
        // Already there: filed by a runner that stopped before it took the job out of
        // Comjob, or by another runner following the same job.
        if (moveErrno != EEXIST) {
            errno = moveErrno;
            Append(problem, target.PathOf(name) + QStringLiteral(": ") + ErrnoText());
            return Filed::No;
        }
        filed = Filed::Elsewhere;
    }
    target.Sync();
    return filed;
}

JobFiler::Filed JobFiler::File(const QString& name, const JobFile& job, Outcome outcome,
                               const QString& journalText, QString& problem,
                               const QDateTime& rowsFrom) {
    const Filed filed = Write(name, job, outcome, problem);
    if (filed == Filed::No)
        return filed;
    CountDocuments();
    m_comjob.Remove(name);
    m_comjob.Sync();
    m_comjobChanged = ComjobChanged(); // this removal is no reason to count again
    JournalOutcome ended;
    ended.state = StateOf(outcome);
    ended.outcome = journalText;
    ended.pages = job.Value(Field::Pages).toInt();
    ended.remoteId = job.Value(Field::ReceivId);
    // Decided before the document is kept: a hard link counts as a status change.
    const QString& document = job.Value(Field::FileName);
    const bool pastGrace = PastGrace(QFileInfo(document).fileName());
    // Kept before Faxsend's copy may go, so that the job can be sent again; a job refused for
    // want of its document has none to keep.
    if (!job.IsPoll() && filed == Filed::Here && !m_dataDir.isEmpty() && !document.isEmpty() &&
        QFileInfo::exists(document)) {
        const auto kept = KeptDocuments::Keep(m_dataDir, document, name);
        if (kept)
            ended.document = *kept;
        else
            Append(problem, kept.Error().Text());
    }
    QString error;
    // A job file without a row (written by another program) is filed all the same.
    QString findError;
    if (!m_journal.SetOutcome(name, ended, error, rowsFrom) &&
        (m_journal.Find(name, findError, rowsFrom) || !findError.isEmpty()))
        Append(problem, error);
    // The runner whose move filed the job decides about its document; one that found it
    // filed leaves that to it (or to the sweep, when it stopped first).
    if (!job.IsPoll() && filed == Filed::Here)
        RemoveDocumentIfUnused(name, document, pastGrace, problem);
    return filed;
}

bool JobFiler::FileMalformed(const QString& name, const QByteArray& bytes, const QString& reason,
                             QString& problem, const QDateTime& rowsFrom) {
    JobFile job = JobOutcome::Salvage(bytes);
    const QString text = QStringLiteral("not a job file: ") + reason;
    JobOutcome::ApplyRefusal(job, text);
    if (Write(name, job, Outcome::Refused, problem) == Filed::No)
        return false;
    // Moved, not read and written: a link or a FIFO stays what it is, and is never opened.
    QString orig = name + QStringLiteral(".orig");
    for (int n = 1; !SpoolFolder::MoveNoReplace(m_comjob, name, m_comerr, orig); ++n) {
        if (errno != EEXIST || n > 100) {
            Append(problem, m_comjob.PathOf(name) + QStringLiteral(": ") + ErrnoText());
            m_comjob.Remove(name); // the refusal is filed; never refused again
            break;
        }
        orig = name + QStringLiteral(".orig.") + QString::number(n);
    }
    m_comjob.Sync();
    m_comerr.Sync();
    // Such a file may have no row; what it names is not known for certain, so its document
    // stays.
    QString error;
    m_journal.SetOutcome(name, StateOf(Outcome::Refused), text, error, rowsFrom);
    return true;
}

qint64 JobFiler::ComjobChanged() const {
    struct stat st {};
    return ::fstat(m_comjob.Descriptor(), &st) == 0
               ? qint64{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec
               : -1;
}

void JobFiler::CountDocuments() {
    // Counted once, and again when job files came or went meanwhile (a print's further
    // recipients while the pass files an earlier one).
    const qint64 changed = ComjobChanged();
    if (m_documentUseKnown && changed == m_comjobChanged && changed >= 0)
        return;
    m_documentUseKnown = true;
    m_comjobChanged = changed;
    m_documentOf.clear();
    ListFolder(m_comjob.Path(), [&](std::string_view entry) {
        const QString other = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
        PosixFile file;
        QByteArray bytes;
        if (!IsJobFileName(other) || !m_comjob.OpenRegular(file, other) ||
            !ReadJobFileBytes(file, bytes))
            return;
        if (const auto job = JobFile::Parse(bytes); job && !job->IsPoll())
            m_documentOf.insert(other, job->Value(Field::FileName));
    });
}

void JobFiler::RemoveDocumentIfUnused(const QString& jobName, const QString& document,
                                      bool pastGrace, QString& problem) {
    m_documentOf.remove(jobName); // out of Comjob now
    if (document.isEmpty())
        return;
    for (const QString& named : std::as_const(m_documentOf)) {
        if (named == document)
            return;
    }
    // Only kalmosend's own copies in Faxsend are removed, never a file elsewhere.
    const QFileInfo info(document);
    if (QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(m_faxsend.Path()))
        return;
    // A young document may still get jobs: kalmosend writes a print's recipients one after
    // the other. The sweep of a later pass takes it.
    if (!pastGrace)
        return;
    RemoveDocument(info.fileName(), problem);
}

bool JobFiler::PastGrace(const QString& fileName) const {
    struct stat st {};
    const QByteArray name = fileName.toUtf8();
    if (::fstatat(m_faxsend.Descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    // The status change time, which no user can set back.
    return m_clock.Now().toSecsSinceEpoch() - st.st_ctim.tv_sec >= m_graceSecs;
}

void JobFiler::RemoveDocument(const QString& fileName, QString& problem) {
    QStringList names{fileName};
    if (IsCff(fileName))
        names.append(CompanionOf(fileName));
    for (const QString& name : names) {
        if (!m_faxsend.Remove(name) && errno != ENOENT)
            Append(problem, m_faxsend.PathOf(name) + QStringLiteral(": ") + ErrnoText());
    }
}

void JobFiler::Sweep(QString& problem) {
    Forget();
    CountDocuments();
    QSet<QString> named; // file names in Faxsend that a job file names, with CFF companions
    const QString faxsend = QDir::cleanPath(m_faxsend.Path());
    for (const QString& document : std::as_const(m_documentOf)) {
        const QFileInfo info(document);
        if (QDir::cleanPath(info.absolutePath()) != faxsend)
            continue;
        named.insert(info.fileName());
        if (IsCff(info.fileName()))
            named.insert(CompanionOf(info.fileName()));
    }
    QStringList unnamed;
    if (!ListFolder(m_faxsend.Path(), [&](std::string_view entry) {
            const QString name =
                QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
            if (IsSpooledDocument(name) && !named.contains(name))
                unnamed.append(name);
        })) {
        Append(problem, m_faxsend.Path() + QStringLiteral(": ") + ErrnoText());
        return;
    }
    for (const QString& name : std::as_const(unnamed)) {
        // An SFF goes with its CFF, once that CFF goes.
        const bool companion =
            !IsCff(name) &&
            (m_faxsend.Contains(name.left(name.size() - 4) + QStringLiteral(".CFF")) ||
             m_faxsend.Contains(name.left(name.size() - 4) + QStringLiteral(".cff")));
        if (!companion && PastGrace(name))
            RemoveDocument(name, problem);
    }
}

} // namespace faxapp
