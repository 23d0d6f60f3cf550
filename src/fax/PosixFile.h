#pragma once

#include "support/FileUtil.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/types.h>

// A file descriptor that closes itself, with reads and writes that finish partial transfers.
// The job routines use it so that every failure keeps its errno for the caller's message.
class PosixFile {
public:
    PosixFile() = default;
    ~PosixFile();
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    // flags as for open(2); O_CLOEXEC is always added.
    bool Open(const QString& path, int flags, mode_t mode = 0666);
    // name inside the folder open as dirFd, flags as for openat(2); O_CLOEXEC is added.
    bool OpenAt(int dirFd, const QString& name, int flags, mode_t mode = 0666);
    // Opens an existing file for reading (or access, O_RDWR say) without ever blocking: a
    // FIFO, a device or a socket is refused (errno kErrorNotRegularFile), as is a folder.
    // extraFlags: O_NOFOLLOW, say.
    bool OpenRegular(const QString& path, int extraFlags = 0, int access = O_RDONLY);
    bool OpenRegularAt(int dirFd, const QString& name, int extraFlags = 0);
    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // Closes and reports a failing close (a write-back error can surface only here).
    bool Close();
    // Writes the file's data through to the disk.
    bool Sync();
    bool Truncate(std::int64_t length);
    // Is the file open here still the one that name in the folder dirFd stands for (not a
    // link or another file swapped in since it was opened)?
    bool IsNamedAt(int dirFd, const QString& name) const;

    // Bytes read, fewer than size only at the end of the file; -1 on an error.
    ssize_t Read(void* buffer, std::size_t size);
    ssize_t ReadAt(void* buffer, std::size_t size, std::int64_t offset);
    bool Write(const void* data, std::size_t size);
    // The new position, or -1.
    std::int64_t Seek(std::int64_t offset, int whence);
    // The length, or -1.
    std::int64_t Length() const;

private:
    bool CheckRegular();

    int m_fd = -1;
};
