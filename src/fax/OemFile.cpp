#include "fax/OemFile.h"

#include "support/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

namespace {

// iconv_open's answer when it has no such conversion: (iconv_t)-1.
bool NoConversion(iconv_t cd) {
    return reinterpret_cast<std::intptr_t>(cd) == -1;
}

// Length of the UTF-8 sequence that begins with lead (1 for a stray byte).
int Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

bool WriteAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

COemFile::~COemFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool COemFile::Open(const QString& path) {
    if (m_fd >= 0)
        Close();
    m_fd = ::open(NativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

QString COemFile::FromOem(const QByteArray& oem) {
    iconv_t cd = ::iconv_open("UTF-8", "CP850");
    if (NoConversion(cd))
        return QString::fromLatin1(oem);
    // Every CP850 byte has a UTF-8 form of at most three bytes.
    QByteArray in = oem;
    QByteArray out(in.size() * 3, Qt::Uninitialized);
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    out.truncate(out.size() - static_cast<qsizetype>(dstLeft));
    return QString::fromUtf8(out);
}

QByteArray COemFile::ToOem(const QString& text) {
    QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    // No //TRANSLIT: what the conversion makes of a character must not depend on the locale.
    iconv_t cd = ::iconv_open("CP850", "UTF-8");
    if (NoConversion(cd)) {
        // Without the conversion module only ASCII can be written faithfully.
        for (const QChar c : text)
            out.append(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?');
        return out;
    }
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<qsizetype>(dst - buffer));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (no CP850 form) or EINVAL (cut sequence): one character becomes "?".
        const size_t skip = std::min<size_t>(
            srcLeft, static_cast<size_t>(Utf8SequenceLength(static_cast<unsigned char>(*src))));
        src += skip;
        srcLeft -= skip;
        out.append('?');
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    ::iconv_close(cd);
    return out;
}

QByteArray COemFile::OemText(const QString& text) {
    const QByteArray oem = ToOem(text);
    QByteArray bytes;
    bytes.reserve(oem.size() + 20);
    for (const char c : oem) {
        if (c == '\n')
            bytes.append('\r');
        bytes.append(c);
    }
    return bytes;
}

bool COemFile::WriteOemString(const QString& text) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    const QByteArray bytes = OemText(text);
    return WriteAll(m_fd, bytes.constData(), bytes.size());
}

bool COemFile::Flush() {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    return ::fsync(m_fd) == 0;
}

bool COemFile::Close() {
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}
