#include "faxapp/contacts/ContactFolder.h"

#include "faxapp/contacts/VCardReader.h"

#include "fax/PosixFile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace faxapp {

namespace {

// A contact's file is a few kilobytes, with a photo a few megabytes; a file far beyond that is
// not a contact and is not loaded into memory.
constexpr qint64 kMaxFileMiB = 64;
constexpr qint64 kMaxFileSize = kMaxFileMiB * 1024 * 1024;

QString TooLarge() {
    return QStringLiteral("larger than %1 MB, skipped").arg(kMaxFileMiB);
}

// The bytes of one contact file; error says why there are none. A symbolic link to a contact
// file is read; a FIFO, a device or a folder is refused without blocking on it.
QByteArray ReadContactFile(const QString& path, QString& error) {
    PosixFile file;
    if (!file.OpenRegular(path)) {
        error = errno == kErrorNotRegularFile ? QStringLiteral("not a regular file, skipped")
                                              : QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    const std::int64_t length = file.Length();
    if (length > kMaxFileSize) {
        error = TooLarge();
        return {};
    }
    // One byte past the length read, so that a file that grew since is still seen whole.
    QByteArray bytes(qsizetype(std::max<std::int64_t>(length, 0) + 1), Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        const ssize_t got = file.Read(bytes.data() + total, size_t(bytes.size() - total));
        if (got < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
        total += got;
        if (total < bytes.size())
            break;
        if (bytes.size() > kMaxFileSize) {
            error = TooLarge();
            return {};
        }
        bytes.resize(std::min<qsizetype>(bytes.size() * 2, kMaxFileSize + 1));
    }
    bytes.truncate(total);
    return bytes;
}

} // namespace

ContactListing ContactFolder::ReadAll() const {
    ContactListing listing;
    const QDir dir(m_path);
    if (m_path.isEmpty() || !dir.exists())
        return listing;
    // Sorted by name, so that the problems and the contacts of equal names come in one order.
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.vcf"), QStringLiteral("*.VCF")},
                          QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& info : files) {
        const QString name = info.fileName();
        QString error;
        const QByteArray bytes = ReadContactFile(info.filePath(), error);
        if (!error.isEmpty()) {
            listing.problems.append(name + QStringLiteral(": ") + error);
            continue;
        }
        VCardParse parse = ParseVCards(bytes);
        for (const VCardProblem& problem : parse.problems)
            listing.problems.append(
                problem.line > 0 ? QStringLiteral("%1: line %2: %3")
                                       .arg(name, QString::number(problem.line), problem.what)
                                 : name + QStringLiteral(": ") + problem.what);
        for (Contact& contact : parse.contacts) {
            contact.fileName = name;
            listing.contacts.append(std::move(contact));
        }
    }
    return listing;
}

} // namespace faxapp
