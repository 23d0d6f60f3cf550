#include "job/PosixFile.h"

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
