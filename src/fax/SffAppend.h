#pragma once

#include <QString>
#include <cstdint>

class PosixFile;

// What went wrong with a file: the cause (the numbering of the framework's file errors), the
// system's error number and the file's name. All zero and empty for a format error.
struct FileError {
    enum Cause : int {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    int m_cause = none;
    long m_lOsError = 0;
    QString m_strFileName;

    // The cause that an errno value stands for.
    static int CauseOf(int errorNumber);
};

// Appends the pages of the SFF document at sourcePath to the one at targetPath; a missing or
// empty target becomes a copy of the source. The target's end-of-document pair is replaced
// by the source's pages; the target's header stays as it is. On false the target holds what
// it held before and error says why.
bool AppendSffFile(const QString& targetPath, const QString& sourcePath, FileError& error);

// Walks the records of the SFF document in file (length bytes) from the first page header at
// firstPage to the end-of-document pair. Its position, or -1 when the records run off the end
// of the file or do not start with a page header.
std::int64_t WalkToDocumentEnd(PosixFile& file, std::int64_t length, std::int64_t firstPage);
