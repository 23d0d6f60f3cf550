#include "job/PrintFileHandOff.h"

#include "fax/FaxContract.h"
#include "fax/FileCopy.h"
#include "fax/SpoolFolder.h"
#include "fax/SpoolNames.h"
#include "support/FileUtil.h"
#include "support/PathUtil.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void RemoveFile(const QString& path) {
    if (!path.isEmpty())
        ::unlink(NativePath(path).constData());
}

// The same file, however the two paths spell it ("//", a link, a relative path).
bool SameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {};
    struct stat sb {};
    if (::stat(NativePath(a).constData(), &sa) != 0 || ::stat(NativePath(b).constData(), &sb) != 0)
        return a == b;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The claimed name is still the file that was written: no link or other file took its place.
bool StillOurs(const SpoolFolder& folder, const PosixFile& file, const QString& name) {
    if (file.IsNamedAt(folder.Descriptor(), name))
        return true;
    errno = EEXIST;
    return false;
}

} // namespace

void PrintFileHandOff::Adopt(const QString& path, bool colour, const QStringList& bitmaps) {
    m_own = path;
    m_colour = colour;
    m_bitmaps = bitmaps;
}

void PrintFileHandOff::Abandon() {
    if (!m_bitmaps.isEmpty()) {
        RemoveFile(m_own);
        RemoveFile(Companion());
    }
    m_own.clear();
    m_bitmaps.clear();
}

QString PrintFileHandOff::Companion() const {
    return StripExtension(m_own) + QStringLiteral(".SFF");
}

bool PrintFileHandOff::IsOwn(const QString& path) const {
    return SameFile(path, m_own);
}

void PrintFileHandOff::RemoveOwn(bool withCompanion, const QString& keep) {
    if (!SameFile(m_own, keep))
        RemoveFile(m_own);
    if (withCompanion && !SameFile(Companion(), keep))
        RemoveFile(Companion());
    for (const QString& bitmap : std::as_const(m_bitmaps))
        RemoveFile(bitmap);
    m_bitmaps.clear();
    m_own.clear();
}

void PrintFileHandOff::Discard(const QString& keep) {
    if (!m_own.isEmpty())
        RemoveOwn(m_colour, keep);
}

bool PrintFileHandOff::Place(const QString& dataDir) {
    m_placedOwn = true;
    return PlaceFile(dataDir, m_own, m_colour);
}

bool PrintFileHandOff::PlaceCopyOf(const QString& dataDir, const QString& path) {
    m_placedOwn = false;
    return PlaceFile(dataDir, path, false);
}

bool PrintFileHandOff::PlaceFile(const QString& dataDir, const QString& source, bool colour) {
    m_placed.clear();
    m_placedNames.clear();
    m_companionCopied = false;
    if (source.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    SpoolFolder& faxsend = m_faxsend;
    if (!faxsend.Open(JoinPath(dataDir, fax::kFolderFaxsend)))
        return false;
    FaxSendClaim claim;
    if (!ClaimFaxSendDocument(faxsend, colour, claim))
        return false;
    m_placedNames.append(claim.sffName);
    if (colour)
        m_placedNames.append(claim.cffName);

    const auto fail = [&] {
        const int error = errno;
        for (const QString& name : std::as_const(m_placedNames))
            faxsend.Remove(name);
        m_placedNames.clear();
        errno = error;
        return false;
    };
    PosixFile& document = colour ? claim.cff : claim.sff;
    const QString documentName = colour ? claim.cffName : claim.sffName;
    if (CopyIntoFile(document, source) != kCopyDone ||
        !StillOurs(faxsend, document, documentName) || !document.Close())
        return fail();
    // The fax application sends a colour print's black-and-white companion: without it, no
    // job could be sent.
    if (colour) {
        if (CopyIntoFile(claim.sff, Companion()) != kCopyDone ||
            !StillOurs(faxsend, claim.sff, claim.sffName) || !claim.sff.Close())
            return fail();
        m_companionCopied = true;
    }
    // The copy's name must be on disk before the original may go.
    if (!faxsend.Sync())
        return fail();
    m_placed = faxsend.PathOf(documentName);
    return true;
}

void PrintFileHandOff::Commit() {
    if (m_placed.isEmpty())
        return;
    if (m_placedOwn)
        RemoveOwn(m_companionCopied);
    m_placedNames.clear();
}

void PrintFileHandOff::Rollback() {
    for (const QString& name : std::as_const(m_placedNames))
        m_faxsend.Remove(name);
    m_placedNames.clear();
    m_placed.clear();
}
