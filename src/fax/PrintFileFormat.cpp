#include "fax/PrintFileFormat.h"

#include "fax/PosixFile.h"
#include "fax/PrintFileInfo.h"
#include "fax/SffAppend.h"
#include "fax/SffFormat.h"

#include <fcntl.h>

std::int32_t DetectFormatOfBytes(const unsigned char* data, std::size_t size) {
    if (size < 4)
        return kFormatText;
    const std::uint32_t word = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                               std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
    const std::uint32_t low = word & 0xFFFFu;
    if (low == 0x4949u || low == 0x4D4Du)
        return kFormatTiff;
    if (low == 0xD8FFu)
        return kFormatColour;
    if (word == 0x66666653u || word == 0x66666646u)
        return kFormatSff;
    if ((word & 0x00FF00FFu) == 0x0001000Au)
        return kFormatPcx;
    return kFormatText;
}

std::int32_t DetectFileFormat(const QString& path) {
    PosixFile file;
    if (!file.OpenRegular(path))
        return kFormatText;
    unsigned char head[4] = {};
    const ssize_t n = file.Read(head, sizeof head);
    if (n != static_cast<ssize_t>(sizeof head))
        return kFormatText;
    return DetectFormatOfBytes(head, sizeof head);
}

std::int32_t GetSffResolution(const QString& path) {
    PosixFile file;
    if (!file.OpenRegular(path))
        return 0;
    unsigned char header[sff::kDocumentHeaderSize] = {};
    if (file.ReadAt(header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
        return 0;
    if (!sff::HasMagic(header))
        return 0;
    const std::uint16_t firstPage = sff::FirstPageOffset(header);
    if (firstPage == 0)
        return 0;
    unsigned char page[sff::kPageHeaderReadSize] = {};
    if (file.ReadAt(page, sizeof page, firstPage) != static_cast<ssize_t>(sizeof page))
        return 0;
    if (page[0] != sff::kPageHeaderMarker)
        return 0;
    return page[2] == 0 ? 98 : 196;
}

PrintFileProblem CheckPrintFile(const QString& path) {
    PosixFile file;
    if (!file.OpenRegular(path))
        return PrintFileProblem::CannotOpen;
    // A file that looks like SFF but whose first page cannot be read has no resolution the
    // fax application knows; one whose records do not reach the end-of-document pair was cut
    // short, and the fax application refuses it.
    if (DetectFileFormat(path) != kFormatSff)
        return PrintFileProblem::None;
    if (GetSffResolution(path) == 0)
        return PrintFileProblem::UnreadableFax;
    unsigned char header[sff::kDocumentHeaderSize] = {};
    if (file.ReadAt(header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        WalkToDocumentEnd(file, file.Length(), sff::FirstPageOffset(header)) < 0)
        return PrintFileProblem::UnreadableFax;
    return PrintFileProblem::None;
}
