#include "fax/SpoolFolder.h"

#include "fax/PosixFile.h"
#include "support/FileUtil.h"
#include "support/PathUtil.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

SpoolFolder::~SpoolFolder() {
    Close();
}

SpoolFolder::SpoolFolder(SpoolFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

SpoolFolder& SpoolFolder::operator=(SpoolFolder&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

void SpoolFolder::Close() {
    if (m_fd >= 0) {
        const int saved = errno;
        ::close(m_fd);
        errno = saved;
    }
    m_fd = -1;
}

bool SpoolFolder::Open(const QString& path) {
    Close();
    m_path = path;
    const QByteArray native = NativePath(path.isEmpty() ? QStringLiteral(".") : path);
    do {
        m_fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    return m_fd >= 0;
}

bool SpoolFolder::OpenAt(const SpoolFolder& parent, const QString& name) {
    Close();
    m_path = parent.PathOf(name);
    do {
        m_fd =
            ::openat(parent.m_fd, NativePath(name).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    return m_fd >= 0;
}

QString SpoolFolder::PathOf(const QString& name) const {
    return JoinPath(m_path, name);
}

bool SpoolFolder::CreateExclusive(PosixFile& file, const QString& name, mode_t mode) const {
    return file.OpenAt(m_fd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
}

bool SpoolFolder::OpenRegular(PosixFile& file, const QString& name) const {
    return file.OpenRegularAt(m_fd, name, O_NOFOLLOW);
}

bool SpoolFolder::Contains(const QString& name) const {
    struct stat st {};
    return ::fstatat(m_fd, NativePath(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SpoolFolder::Remove(const QString& name) const {
    return ::unlinkat(m_fd, NativePath(name).constData(), 0) == 0;
}

bool SpoolFolder::Sync() const {
    int rc;
    do {
        rc = ::fsync(m_fd);
    } while (rc != 0 && errno == EINTR);
    // Some file systems cannot sync a folder; the entry is then as safe as they make it.
    return rc == 0 || errno == EINVAL || errno == EROFS;
}

bool SpoolFolder::MoveNoReplace(const SpoolFolder& from, const QString& fromName,
                                const SpoolFolder& to, const QString& toName) {
    const QByteArray src = NativePath(fromName);
    const QByteArray dst = NativePath(toName);
    if (::renameat2(from.m_fd, src.constData(), to.m_fd, dst.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        return false;
    // File systems without an exclusive rename: a hard link fails the same way on a taken
    // name.
    if (::linkat(from.m_fd, src.constData(), to.m_fd, dst.constData(), 0) != 0)
        return false;
    ::unlinkat(from.m_fd, src.constData(), 0);
    return true;
}
