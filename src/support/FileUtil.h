#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// File status queries and the text of the last system error.

bool IsDirectory(const QString& path);
// Size in bytes; 0 when the status cannot be read. Sizes beyond 32 bits are clamped to
// the largest 32-bit value rather than wrapped, so a huge file never reads as a small one.
std::uint32_t GetFileSize(const QString& path);

// The errno value the file routines set for a file that is not a regular file (a FIFO, a
// device, a socket): no system error number says so. GetErrorText knows its text.
inline constexpr int kErrorNotRegularFile = 0x10001;

// The system's text for errno as it is now. Call it right after the failing operation.
QString GetLastErrorText();
QString GetErrorText(int errorNumber);
// Removes one trailing CR LF pair; a lone LF stays.
QString StripTrailingCrLf(const QString& text);

// Native (UTF-8) form of a path for the C library.
QByteArray NativePath(const QString& path);

// Writes bytes as the file at path, private to the user (0600): to a new hidden file in the
// same folder, synced, then renamed over path, so that readers see the old file or the whole
// new one. A link of that name is replaced, never written through.
Result<void> ReplaceFilePrivately(const QString& path, const QByteArray& bytes);
