#include "fax/SffAppend.h"

#include "fax/PosixFile.h"
#include "fax/SffFormat.h"
#include "fax/SffRecords.h"
#include "support/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int FileError::CauseOf(int errorNumber) {
    switch (errorNumber) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case ESPIPE:
    case EOVERFLOW:
        return badSeek;
    case EIO:
        return hardIO;
    case EWOULDBLOCK:
        return lockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    default:
        return genericException;
    }
}

namespace {

// The work buffer: the end-marker window and every block of the copy.
constexpr std::size_t kWorkSize = 4096;

// Reads single bytes at arbitrary positions through one cached block.
class ByteReader {
public:
    ByteReader(PosixFile& file, std::int64_t length) : m_file(file), m_length(length) {}

    // -1 beyond the end or on a read error.
    int At(std::int64_t pos) {
        if (pos < 0 || pos >= m_length)
            return -1;
        if (pos < m_start || pos >= m_start + m_filled) {
            m_start = pos - pos % static_cast<std::int64_t>(kWorkSize);
            const ssize_t n = m_file.ReadAt(m_block, kWorkSize, m_start);
            m_filled = n < 0 ? 0 : n;
            if (pos >= m_start + m_filled)
                return -1;
        }
        return m_block[pos - m_start];
    }

private:
    PosixFile& m_file;
    std::int64_t m_length;
    std::int64_t m_start = 0;
    std::int64_t m_filled = 0;
    unsigned char m_block[kWorkSize] = {};
};

} // namespace

std::int64_t WalkToDocumentEnd(PosixFile& file, std::int64_t length, std::int64_t firstPage) {
    if (firstPage < static_cast<std::int64_t>(sff::kDocumentHeaderSize))
        return -1;
    ByteReader bytes(file, length);
    const auto byteAt = [&bytes](std::int64_t pos) { return bytes.At(pos); };
    auto record = sff::ReadRecord(byteAt, firstPage, length);
    if (!record || (record->type != sff::Record::Type::PageHeader &&
                    record->type != sff::Record::Type::DocumentEnd))
        return -1;
    for (; record; record = sff::ReadRecord(byteAt, record->next, length)) {
        if (record->type == sff::Record::Type::DocumentEnd)
            return record->at;
    }
    return -1;
}

namespace {

// Records why an append stopped.
class Failure {
public:
    bool FileFailed(const QString& name) {
        const int e = errno;
        m_error = FileError{FileError::CauseOf(e), e, name};
        return false;
    }
    bool EndOfFile(const QString& name) {
        m_error = FileError{FileError::endOfFile, 0, name};
        return false;
    }
    bool FormatFailed() {
        m_error = FileError{};
        return false;
    }
    const FileError& Error() const { return m_error; }

private:
    FileError m_error;
};

// Finds the end-of-document pair of an SFF document of the given length whose header is
// given. The pair is searched backwards in the last kWorkSize bytes (read into window); the
// last two bytes are taken at once, any other pair only when walking the records arrives at
// it. False with end = -1 when there is no such end; false with end = 0 on a file error.
bool FindDocumentEnd(PosixFile& file, const QString& name, std::int64_t length,
                     const unsigned char* header, unsigned char* window, std::int64_t& end,
                     Failure& failure) {
    end = -1;
    const auto w = static_cast<std::size_t>(std::min<std::int64_t>(length, kWorkSize));
    const std::int64_t windowStart = length - static_cast<std::int64_t>(w);
    const ssize_t n = file.ReadAt(window, w, windowStart);
    if (n < 0)
        return failure.FileFailed(name);
    if (static_cast<std::size_t>(n) < w)
        return failure.EndOfFile(name);
    bool anyPair = false;
    for (std::size_t i = w; i-- > 1;) {
        if (window[i - 1] == 0xFE && window[i] == 0x00) {
            anyPair = true;
            break;
        }
    }
    if (!anyPair)
        return failure.FormatFailed();
    const auto headerSize = static_cast<std::int64_t>(sff::kDocumentHeaderSize);
    if (length >= headerSize + 2 && window[w - 2] == 0xFE && window[w - 1] == 0x00) {
        end = length - 2;
        return true;
    }
    const std::int64_t walked = WalkToDocumentEnd(file, length, sff::FirstPageOffset(header));
    if (walked < windowStart || walked < headerSize)
        return failure.FormatFailed();
    end = walked;
    return true;
}

class Appender {
public:
    Appender(const QString& targetPath, const QString& sourcePath)
        : m_targetPath(targetPath), m_sourcePath(sourcePath) {}

    bool Run() {
        // A page is read only from a regular file, and never through a link.
        if (!m_source.OpenRegular(m_sourcePath, O_NOFOLLOW))
            return m_failure.FileFailed(m_sourcePath);
        unsigned char sourceHeader[sff::kDocumentHeaderSize] = {};
        const ssize_t got = m_source.Read(sourceHeader, sizeof sourceHeader);
        if (got < 0)
            return m_failure.FileFailed(m_sourcePath);
        if (got < static_cast<ssize_t>(sizeof sourceHeader))
            return m_failure.EndOfFile(m_sourcePath);
        if (!sff::HasMagic(sourceHeader))
            return m_failure.FormatFailed();
        std::int64_t copyFrom = sff::FirstPageOffset(sourceHeader);
        std::int64_t copyTo = -1; // to the end of the source

        if (!OpenTarget())
            return false;
        unsigned char targetHeader[sff::kDocumentHeaderSize] = {};
        const ssize_t have = m_target.ReadAt(targetHeader, sizeof targetHeader, 0);
        if (have < 0)
            return m_failure.FileFailed(m_targetPath);
        if (have == 0) {
            copyFrom = 0; // a new document: the source's header comes along
        } else if (have < static_cast<ssize_t>(sizeof targetHeader)) {
            return m_failure.EndOfFile(m_targetPath);
        } else {
            if (!sff::HasMagic(targetHeader))
                return m_failure.FormatFailed();
            m_oldLength = m_target.Length();
            if (m_oldLength < 0)
                return m_failure.FileFailed(m_targetPath);
            if (!FindDocumentEnd(m_target, m_targetPath, m_oldLength, targetHeader, m_work,
                                 m_writeAt, m_failure))
                return false;
            const std::int64_t windowStart =
                m_oldLength - std::min<std::int64_t>(m_oldLength, kWorkSize);
            m_oldTail.assign(m_work + (m_writeAt - windowStart),
                             m_work + (m_oldLength - windowStart));
            // Only whole pages join a document: the source needs pages and an end of its own.
            const std::int64_t sourceLength = m_source.Length();
            if (sourceLength < 0)
                return m_failure.FileFailed(m_sourcePath);
            if (copyFrom < static_cast<std::int64_t>(sff::kDocumentHeaderSize))
                return m_failure.FormatFailed();
            std::int64_t sourceEnd = -1;
            if (!FindDocumentEnd(m_source, m_sourcePath, sourceLength, sourceHeader, m_work,
                                 sourceEnd, m_failure))
                return false;
            if (sourceEnd < copyFrom)
                return m_failure.FormatFailed();
            copyTo = sourceLength;
        }
        return Copy(copyFrom, copyTo);
    }

    const FileError& Error() const { return m_failure.Error(); }

private:
    bool OpenTarget() {
        // The document grows only where it is: a link in its place is not written through.
        if (m_target.OpenRegular(m_targetPath, O_NOFOLLOW, O_RDWR))
            return true;
        if (errno == ENOENT && m_target.Open(m_targetPath, O_RDWR | O_CREAT | O_EXCL)) {
            m_created = true;
            return true;
        }
        return m_failure.FileFailed(m_targetPath);
    }

    bool Copy(std::int64_t from, std::int64_t to) {
        if (m_source.Seek(from, SEEK_SET) < 0)
            return m_failure.FileFailed(m_sourcePath);
        if (m_target.Seek(m_writeAt, SEEK_SET) < 0)
            return m_failure.FileFailed(m_targetPath);
        std::int64_t pos = from;
        std::int64_t written = m_writeAt;
        for (;;) {
            std::size_t want = kWorkSize;
            if (to >= 0 && to - pos < static_cast<std::int64_t>(want))
                want = static_cast<std::size_t>(std::max<std::int64_t>(to - pos, 0));
            const ssize_t n = want == 0 ? 0 : m_source.Read(m_work, want);
            if (n < 0)
                return Undo(m_sourcePath);
            if (n > 0 && !m_target.Write(m_work, static_cast<std::size_t>(n)))
                return Undo(m_targetPath);
            pos += n;
            written += n;
            if (n < static_cast<ssize_t>(kWorkSize))
                break;
        }
        // Bytes that followed a confirmed end must not trail the new one.
        if (m_oldLength > written && ::ftruncate(m_target.Descriptor(), written) != 0)
            return Undo(m_targetPath);
        // On disk before the caller deletes what the pages came from.
        if (!m_target.Sync())
            return Undo(m_targetPath);
        if (!m_target.Close())
            return m_failure.FileFailed(m_targetPath);
        return true;
    }

    // Puts the target back as it was, then reports the failed operation's error.
    bool Undo(const QString& failedFile) {
        const int e = errno;
        if (m_oldLength > 0) {
            if (::ftruncate(m_target.Descriptor(), m_writeAt) == 0 &&
                m_target.Seek(m_writeAt, SEEK_SET) >= 0)
                (void)m_target.Write(m_oldTail.data(), m_oldTail.size());
        } else if (::ftruncate(m_target.Descriptor(), 0) == 0 && m_created) {
            ::unlink(NativePath(m_targetPath).constData());
        }
        errno = e;
        return m_failure.FileFailed(failedFile);
    }

    const QString& m_targetPath;
    const QString& m_sourcePath;
    PosixFile m_source;
    PosixFile m_target;
    bool m_created = false;
    Failure m_failure;
    unsigned char m_work[kWorkSize] = {};
    // Where the target's end was, its old length and the bytes from its end on, so that a
    // failed copy can put them back.
    std::int64_t m_writeAt = 0;
    std::int64_t m_oldLength = 0;
    std::vector<unsigned char> m_oldTail;
};

} // namespace

bool AppendSffFile(const QString& targetPath, const QString& sourcePath, FileError& error) {
    Appender appender(targetPath, sourcePath);
    const bool ok = appender.Run();
    error = appender.Error();
    return ok;
}
