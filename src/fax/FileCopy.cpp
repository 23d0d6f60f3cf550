#include "fax/FileCopy.h"

#include "fax/PosixFile.h"
#include "support/FileUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One fixed buffer per call: copies stream, whatever the file's size.
constexpr std::size_t kCopyBufferSize = std::size_t{64} * 1024;

} // namespace

int CopyOpenFile(PosixFile& target, PosixFile& source) {
    if (target.Seek(0, SEEK_END) < 0)
        return kCopyFailed;
    const auto buffer = std::make_unique<char[]>(kCopyBufferSize);
    for (;;) {
        const ssize_t n = source.Read(buffer.get(), kCopyBufferSize);
        if (n < 0)
            return kCopyFailed;
        if (n == 0)
            break;
        if (!target.Write(buffer.get(), static_cast<std::size_t>(n)))
            return kCopyFailed;
    }
    // Whoever deletes the source after a result of 0 must find the copy on disk.
    return target.Sync() ? kCopyDone : kCopyFailed;
}

int CopyFileData(const QString& targetPath, const QString& sourcePath, bool append) {
    // Only a regular file is copied: a FIFO or a device would never end (or never start).
    PosixFile source;
    if (!source.OpenRegular(sourcePath))
        return kCopySourceFailed;
    // A target that is the source itself would be emptied before it is read (or grow while
    // it is read): refuse it before anything is opened for writing.
    struct stat sourceStat {};
    struct stat targetStat {};
    if (::fstat(source.Descriptor(), &sourceStat) == 0 &&
        ::stat(NativePath(targetPath).constData(), &targetStat) == 0 &&
        sourceStat.st_dev == targetStat.st_dev && sourceStat.st_ino == targetStat.st_ino) {
        errno = EINVAL;
        return kCopyTargetFailed;
    }
    PosixFile target;
    if (!target.Open(targetPath, O_WRONLY | O_CREAT | (append ? 0 : O_TRUNC)))
        return kCopyTargetFailed;
    const int result = CopyOpenFile(target, source);
    if (result != kCopyDone)
        return result;
    return target.Close() ? kCopyDone : kCopyFailed;
}

int CopyIntoFile(PosixFile& target, const QString& sourcePath) {
    PosixFile source;
    if (!source.OpenRegular(sourcePath))
        return kCopySourceFailed;
    return CopyOpenFile(target, source);
}
