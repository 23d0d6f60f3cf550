#include "faxapp/journal/KeptDocuments.h"

#include "faxapp/journal/JournalStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faxapp::KeptDocuments {

namespace {

QString ErrnoText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// A descriptor, closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

Problem ErrnoProblem(const QString& what, int code = errno) {
    return Problem{0, what, ErrnoText(code)};
}

// The folder, made private when missing; a link in its place is refused.
Result<int> OpenFolder(const QString& dataDir, bool create) {
    const QString path = FolderOf(dataDir);
    const QByteArray native = QFile::encodeName(path);
    if (create && ::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return ErrnoProblem(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return ErrnoProblem(path);
    return fd;
}

bool IsCff(const QString& name) {
    return name.endsWith(QLatin1String(".CFF"), Qt::CaseInsensitive);
}

QString CompanionOf(const QString& cff) {
    return cff.left(cff.size() - 4) + QStringLiteral(".SFF");
}

// Copies the open file into a new file name of folder, 0600, flushed.
bool CopyInto(int from, int folder, const QByteArray& name) {
    const Fd to(::openat(folder, name.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!to)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::unlinkat(folder, name.constData(), 0);
            errno = code;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to.get(), buffer + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                const int code = errno;
                ::unlinkat(folder, name.constData(), 0);
                errno = code;
                return false;
            }
            done += put;
        }
    }
    if (::fsync(to.get()) != 0) {
        const int code = errno;
        ::unlinkat(folder, name.constData(), 0);
        errno = code;
        return false;
    }
    return true;
}

// Puts the regular file at source into folder as name: a hard link where the file system
// allows, else a copy. EEXIST when the name is taken.
bool Place(const QString& source, int folder, const QString& name) {
    const QByteArray from = QFile::encodeName(source);
    const Fd file(::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    const QByteArray to = QFile::encodeName(name);
    // The descriptor's file, not whatever the name may point to by now.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.get());
    if (::linkat(AT_FDCWD, self.constData(), folder, to.constData(), AT_SYMLINK_FOLLOW) == 0) {
        // Private like the folder; the user's own files only (Faxsend's copy shares the mode).
        if (st.st_uid == ::geteuid())
            ::fchmod(file.get(), 0600);
        return true;
    }
    if (errno == EEXIST)
        return false;
    return CopyInto(file.get(), folder, to);
}

bool Remove(int folder, const QString& name) {
    return ::unlinkat(folder, QFile::encodeName(name).constData(), 0) == 0 || errno == ENOENT;
}

} // namespace

QString FolderOf(const QString& dataDir) {
    return dataDir + u'/' + kFolderName;
}

bool IsKept(const QString& dataDir, const QString& document) {
    return !document.isEmpty() && QDir::cleanPath(QFileInfo(document).absolutePath()) ==
                                      QDir::cleanPath(FolderOf(dataDir));
}

Result<QString> Keep(const QString& dataDir, const QString& document, const QString& jobName) {
    if (IsKept(dataDir, document))
        return document;
    const auto folder = OpenFolder(dataDir, true);
    if (!folder)
        return folder.Error();
    const Fd dir(*folder);
    const QFileInfo info(document);
    const bool colour = IsCff(info.fileName());
    const QString suffix = QLatin1Char('.') + info.suffix().toUpper();
    // The job's name with the day: job names come back after a year, and a job sent again
    // keeps its first job's document.
    const QString base = QFileInfo(jobName).completeBaseName() + u'-' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString name = base + (n == 0 ? QString() : u'-' + QString::number(n));
        if (!Place(document, dir.get(), name + suffix)) {
            if (errno == EEXIST)
                continue;
            return ErrnoProblem(document);
        }
        if (colour && !Place(CompanionOf(document), dir.get(), name + QStringLiteral(".SFF"))) {
            const int code = errno;
            Remove(dir.get(), name + suffix);
            if (code == EEXIST)
                continue;
            return ErrnoProblem(CompanionOf(document), code);
        }
        ::fsync(dir.get());
        return FolderOf(dataDir) + u'/' + name + suffix;
    }
    return ErrnoProblem(FolderOf(dataDir), EEXIST);
}

Result<void> DropUnnamed(const QString& dataDir, const JournalStore& journal,
                         const QString& document) {
    if (!IsKept(dataDir, document))
        return Success();
    QString error;
    const auto named = journal.Names(document, error);
    if (!named)
        return Problem{0, document, error};
    if (*named)
        return Success();
    const auto folder = OpenFolder(dataDir, false);
    if (!folder)
        return errno == ENOENT ? Success() : Result<void>(folder.Error());
    const Fd dir(*folder);
    const QString name = QFileInfo(document).fileName();
    if (!Remove(dir.get(), name) || (IsCff(name) && !Remove(dir.get(), CompanionOf(name))))
        return ErrnoProblem(document);
    return Success();
}

Result<int> Prune(const QString& dataDir, const JournalStore& journal, int sentDays,
                  const QDateTime& now) {
    const auto folder = OpenFolder(dataDir, false);
    if (!folder)
        return errno == ENOENT ? Result<int>(0) : Result<int>(folder.Error());
    const Fd dir(*folder);
    QString error;
    const auto rows = journal.Entries(error);
    if (!rows)
        return Problem{0, JournalStore::DatabasePath(dataDir), error};
    // Per file name of the folder: whether a row keeps it (true), or only names it (false).
    QHash<QString, bool> kept;
    const QDateTime sentBefore = now.addDays(-sentDays);
    for (const JournalEntry& row : *rows) {
        if (!IsKept(dataDir, row.document))
            continue;
        const QString name = QFileInfo(row.document).fileName();
        const bool keeps = row.state != u"sent" || row.recorded > sentBefore;
        kept[name] = kept.value(name) || keeps;
        if (IsCff(name))
            kept[CompanionOf(name)] = kept.value(CompanionOf(name)) || keeps;
    }
    QStringList gone;
    DIR* listing = ::fdopendir(::dup(dir.get()));
    if (!listing)
        return ErrnoProblem(FolderOf(dataDir));
    while (const dirent* entry = ::readdir(listing)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == u"." || name == u"..")
            continue;
        if (const auto it = kept.constFind(name); it != kept.cend()) {
            if (!it.value())
                gone.append(name);
            continue;
        }
        struct stat st {};
        if (::fstatat(dir.get(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.toSecsSinceEpoch() - st.st_ctim.tv_sec >= kUnnamedGraceSecs)
            gone.append(name);
    }
    ::closedir(listing);
    int removed = 0;
    for (const QString& name : std::as_const(gone)) {
        if (!Remove(dir.get(), name))
            return ErrnoProblem(FolderOf(dataDir) + u'/' + name);
        ++removed;
    }
    return removed;
}

} // namespace faxapp::KeptDocuments
