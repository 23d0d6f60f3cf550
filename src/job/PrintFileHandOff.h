#pragma once

#include "fax/SpoolFolder.h"

#include <QString>
#include <QStringList>

// Which of the send dialog's files are the program's own, and their way into the spool.
//
// The print file a driver hands over (/d), or the pages a colour print collected (/c), belong
// to the program: on OK they are copied into Faxsend and deleted once a job names the copy; on
// Cancel they are deleted. A file the user picks is the user's: it is referenced where it
// lies and never moved or deleted. Ownership goes with the file itself, not with a flag that
// could outlive it: only the very path adopted is ever deleted.
class PrintFileHandOff {
public:
    // path is the program's own print file; a colour print's companion ".SFF" beside it too,
    // and the page bitmaps its pages were collected from.
    void Adopt(const QString& path, bool colour, const QStringList& bitmaps = {});
    // Is path the program's own print file itself (the same file, however it is spelled)?
    bool IsOwn(const QString& path) const;
    const QString& OwnFile() const { return m_own; }

    // Cancel: deletes the program's own files. Nothing of the user's is touched. A file that
    // is the same as keep (the document a job names) is left where it is.
    void Discard(const QString& keep = {});

    // Left waiting for a person who is not there: a colour print's collected files go, and its
    // bitmaps stay for another try; any other print stays as it is.
    void Abandon();

    // Copies the own print file (and a colour print's companion) into the Faxsend folder of
    // dataDir under a freshly claimed name, through the claim's descriptors, and writes it
    // through to the disk. The originals stay until Commit. False (errno set) when the copy
    // could not be made, a colour print's companion included (the fax application sends the
    // companion); nothing is left in the spool then.
    bool Place(const QString& dataDir);
    // Copies the user's file path into Faxsend the same way, for a file whose own path cannot
    // be named in a job. The user's file is never deleted: Commit keeps it, and the program's
    // own print file stays adopted.
    bool PlaceCopyOf(const QString& dataDir, const QString& path);
    // The document's path in the spool after Place.
    const QString& PlacedPath() const { return m_placed; }
    // A job names the copy: the originals are deleted.
    void Commit();
    // No job names the copy: it is removed from the spool; the originals stay.
    void Rollback();

private:
    QString Companion() const;
    bool PlaceFile(const QString& dataDir, const QString& source, bool colour);
    void RemoveOwn(bool withCompanion, const QString& keep = {});

    QString m_own;
    bool m_colour = false;
    QStringList m_bitmaps;     // of a colour print: deleted with the own files
    SpoolFolder m_faxsend;     // folder of the placed copies
    QString m_placed;          // full path of the placed document
    QStringList m_placedNames; // names in m_faxsend made by Place
    bool m_companionCopied = false;
    bool m_placedOwn = false; // the placed copy is of the own print file, which goes on Commit
};
