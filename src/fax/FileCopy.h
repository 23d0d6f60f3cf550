#pragma once

#include <QString>

class PosixFile;

// Results of CopyFileData.
enum CopyResult : int {
    kCopyDone = 0,
    kCopySourceFailed = 1, // the source could not be opened
    kCopyTargetFailed = 2, // the target could not be opened
    kCopyFailed = 3,       // an error while copying
};

// Copies the source's bytes onto the target, after its old contents when append is true,
// else in place of them. A result of 0 means the copy is complete and on disk, so the caller
// may delete the source. On failure errno still tells the reason (GetLastErrorText).
int CopyFileData(const QString& targetPath, const QString& sourcePath, bool append);

// Appends the source's bytes to the file open as target (which stays open) and writes them
// through to the disk; the same results. The source must be a regular file.
int CopyIntoFile(PosixFile& target, const QString& sourcePath);
// The same from a source already open.
int CopyOpenFile(PosixFile& target, PosixFile& source);
