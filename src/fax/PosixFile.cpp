#include "fax/PosixFile.h"

#include "support/FileUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

PosixFile::~PosixFile() {
    if (m_fd >= 0) {
        const int saved = errno; // a failing routine's errno outlives its files
        ::close(m_fd);
        errno = saved;
    }
}

bool PosixFile::Open(const QString& path, int flags, mode_t mode) {
    Close();
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    do {
        m_fd = ::open(NativePath(path).constData(), flags | O_CLOEXEC, mode);
    } while (m_fd < 0 && errno == EINTR);
    return m_fd >= 0;
}

bool PosixFile::OpenAt(int dirFd, const QString& name, int flags, mode_t mode) {
    Close();
    if (name.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    do {
        m_fd = ::openat(dirFd, NativePath(name).constData(), flags | O_CLOEXEC, mode);
    } while (m_fd < 0 && errno == EINTR);
    return m_fd >= 0;
}

bool PosixFile::CheckRegular() {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        const int error = errno;
        Close();
        errno = error;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Close();
        errno = S_ISDIR(st.st_mode) ? EISDIR : kErrorNotRegularFile;
        return false;
    }
    // Regular files ignore O_NONBLOCK; it only kept the open from waiting on a FIFO's writer.
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

bool PosixFile::OpenRegular(const QString& path, int extraFlags, int access) {
    // A terminal must not become the controlling one before it is refused.
    return Open(path, access | O_NONBLOCK | O_NOCTTY | extraFlags) && CheckRegular();
}

bool PosixFile::OpenRegularAt(int dirFd, const QString& name, int extraFlags) {
    return OpenAt(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | extraFlags) && CheckRegular();
}

bool PosixFile::Sync() {
    int rc;
    do {
        rc = ::fsync(m_fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool PosixFile::Truncate(std::int64_t length) {
    return ::ftruncate(m_fd, static_cast<off_t>(length)) == 0;
}

bool PosixFile::IsNamedAt(int dirFd, const QString& name) const {
    struct stat mine {};
    struct stat named {};
    if (::fstat(m_fd, &mine) != 0 ||
        ::fstatat(dirFd, NativePath(name).constData(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

bool PosixFile::Close() {
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}

ssize_t PosixFile::Read(void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t PosixFile::ReadAt(void* buffer, std::size_t size, std::int64_t offset) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, p + done, size - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool PosixFile::Write(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t PosixFile::Seek(std::int64_t offset, int whence) {
    return ::lseek(m_fd, static_cast<off_t>(offset), whence);
}

std::int64_t PosixFile::Length() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return -1;
    return st.st_size;
}
