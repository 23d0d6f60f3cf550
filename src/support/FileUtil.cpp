#include "support/FileUtil.h"

#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

QByteArray NativePath(const QString& path) {
    return QFile::encodeName(path);
}

bool IsDirectory(const QString& path) {
    // "/" stays itself: stripping its separator would leave nothing to ask about.
    const QString stripped = StripTrailingBackslash(path);
    struct stat st {};
    if (::stat(NativePath(stripped.isEmpty() ? path : stripped).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode);
}

std::uint32_t GetFileSize(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(NativePath(path).constData(), &st) != 0)
        return 0;
    if (st.st_size < 0 || S_ISDIR(st.st_mode)) // a folder has no size of its own
        return 0;
    constexpr auto kMax = std::numeric_limits<std::uint32_t>::max();
    return static_cast<unsigned long long>(st.st_size) > kMax
               ? kMax
               : static_cast<std::uint32_t>(st.st_size);
}

QString StripTrailingCrLf(const QString& text) {
    if (text.endsWith(QLatin1String("\r\n")))
        return text.left(text.size() - 2);
    return text;
}

QString GetErrorText(int errorNumber) {
    if (errorNumber == 0)
        return {};
    if (errorNumber == kErrorNotRegularFile)
        return LoadString(IDS_NOT_REGULAR_FILE);
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not be in the buffer.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return StripTrailingCrLf(QString::fromLocal8Bit(text));
}

QString GetLastErrorText() {
    return GetErrorText(errno);
}

Result<void> ReplaceFilePrivately(const QString& path, const QByteArray& bytes) {
    static std::atomic<int> counter = 0;
    const QFileInfo info(path);
    const QString temp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                         QStringLiteral(".tmp-%1-%2").arg(::getpid()).arg(++counter);
    const QByteArray tempName = NativePath(temp);
    const auto failed = [&](const QString& what) {
        const int error = errno;
        ::unlink(tempName.constData());
        return Problem{0, what, GetErrorText(error)};
    };
    const int fd =
        ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Problem{0, temp, GetLastErrorText()};
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return failed(temp);
        }
        done += n;
    }
    if (::fsync(fd) != 0) {
        ::close(fd);
        return failed(temp);
    }
    if (::close(fd) != 0)
        return failed(temp);
    if (::rename(tempName.constData(), NativePath(path).constData()) != 0)
        return failed(path);
    const int dir =
        ::open(NativePath(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}
