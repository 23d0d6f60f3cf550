#pragma once

#include <QString>
#include <cstdint>

// Recognising a print file by its first bytes.

// The format code (PrintFormat) of the file; 0 when it cannot be opened or read, or is
// shorter than 4 bytes.
std::int32_t DetectFileFormat(const QString& path);

// The vertical resolution of an SFF document's first page: 98 or 196; 0 when the file is not
// a readable SFF document with a page.
std::int32_t GetSffResolution(const QString& path);

// Whether a print file can be handed over as it is.
enum class PrintFileProblem {
    None,
    CannotOpen,    // missing, unreadable, or not a regular file (errno tells which)
    UnreadableFax, // starts like SFF, but its first page cannot be read or it is cut short
};
PrintFileProblem CheckPrintFile(const QString& path);

// The same on bytes in memory, for callers that hold the file already (and the fuzz targets).
std::int32_t DetectFormatOfBytes(const unsigned char* data, std::size_t size);
