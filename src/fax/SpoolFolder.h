#pragma once

#include <QString>
#include <sys/types.h>

class PosixFile;

// A folder held open by its descriptor. Files in it are created, checked, published and
// removed relative to that descriptor, never again by a path: a folder or file swapped for a
// symbolic link after the folder was opened is never written through.
class SpoolFolder {
public:
    SpoolFolder() = default;
    ~SpoolFolder();
    SpoolFolder(const SpoolFolder&) = delete;
    SpoolFolder& operator=(const SpoolFolder&) = delete;
    SpoolFolder(SpoolFolder&& other) noexcept;
    SpoolFolder& operator=(SpoolFolder&& other) noexcept;

    // The folder at path; an empty path is the current folder. False (errno set) when it is
    // not a folder or cannot be opened.
    bool Open(const QString& path);
    // The folder name inside parent (a spool folder moved elsewhere and linked is followed:
    // holding the descriptor is what keeps later writes in the folder opened).
    bool OpenAt(const SpoolFolder& parent, const QString& name);
    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    const QString& Path() const { return m_path; }
    // The full path of name in the folder, for job files and messages.
    QString PathOf(const QString& name) const;

    // Creates name for writing, only when nothing (not even a dangling link) has that name.
    bool CreateExclusive(PosixFile& file, const QString& name, mode_t mode = 0600) const;
    // Opens an existing regular file for reading; a link or a FIFO in its place is refused.
    bool OpenRegular(PosixFile& file, const QString& name) const;
    // Does anything (a file, a folder, a link) have that name?
    bool Contains(const QString& name) const;
    bool Remove(const QString& name) const;
    // Writes the folder's entries through to the disk, so that a file linked or renamed into
    // it survives a crash under its new name.
    bool Sync() const;
    // Renames from's name to to's name only while nothing has that name (errno EEXIST).
    static bool MoveNoReplace(const SpoolFolder& from, const QString& fromName,
                              const SpoolFolder& to, const QString& toName);

private:
    void Close();

    int m_fd = -1;
    QString m_path;
};
