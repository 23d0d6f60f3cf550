#pragma once

#include <QString>
#include <cstdint>

// Format codes of a print file.
enum PrintFormat : std::int32_t {
    kFormatText = 0, // unknown, treated as plain text
    kFormatTiff = 1,
    kFormatPcx = 2,
    kFormatSff = 3,
    kFormatColour = 4, // colour fax (JPEG pages)
};

// What the send dialog knows of its print file.
class PrintFileInfo {
public:
    std::uint32_t m_nSize = 0;      // bytes
    std::int32_t m_nResolution = 0; // 98 normal, 196 fine, 0 unknown
    std::int32_t m_nFormat = kFormatSff;

    // False (nothing changed) for an empty path; else fills all three fields.
    bool Examine(const QString& path);
};
