#pragma once

#include <QString>
#include <cstdint>

// "1234567" -> "1.234.567"; the separator is always ".".
QString GroupThousands(const QString& digits);
// Decimal text of n with "." between groups of three digits.
QString FormatByteCount(std::uint32_t n);
// value written unsigned in base (2 to 36, lower-case letters), padded with "0" on the left
// to width characters; a longer text is not cut.
QString ZeroPad(std::uint64_t value, int width, int base);
