#pragma once

#include <QByteArray>
#include <cstdint>

// Little-endian fields of the fax formats (SFF headers, the TIFF built around SFF rows).
inline void PutLe16(QByteArray& out, std::uint32_t value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8 & 0xFF));
}

inline void PutLe32(QByteArray& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}
