#pragma once

#include <cstddef>
#include <cstdint>

// Fixed points of the SFF layout that the print file routines rely on. All multi-byte
// values are little-endian.
namespace sff {

inline constexpr std::size_t kDocumentHeaderSize = 20;
inline constexpr std::size_t kPageHeaderReadSize = 20;
inline constexpr std::size_t kFirstPageOffsetAt = 10;
inline constexpr unsigned char kPageHeaderMarker = 0xFE;

// Record types of the page data.
inline constexpr unsigned char kEscapeRecord = 0x00;   // 00 LL LL, then LLLL bytes of a row
inline constexpr unsigned char kLastShortRecord = 216; // 1..216: that many bytes of a row
inline constexpr unsigned char kLastWhiteSkip = 253;   // 217..253: that many - 216 blank rows
inline constexpr unsigned char kUserInfoRecord = 0xFF; // FF 00 bad row; FF n: n bytes of info

inline bool HasMagic(const unsigned char* header) {
    return header[0] == 'S' && header[1] == 'f' && header[2] == 'f' && header[3] == 'f';
}

inline std::uint16_t FirstPageOffset(const unsigned char* header) {
    return static_cast<std::uint16_t>(header[kFirstPageOffsetAt] | header[kFirstPageOffsetAt + 1]
                                                                       << 8);
}

} // namespace sff
