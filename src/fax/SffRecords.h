#pragma once

// The records of an SFF document's page data, read one at a time: the one walk through them
// for the programs that can go back and forth in a document (an appended document, a shown
// one, the tests' look at a printed one). Needs no Qt, as SffFormat.h.

#include "fax/SffFormat.h"

#include <cstdint>
#include <optional>

namespace sff {

struct Record {
    enum class Type {
        PageHeader,  // FE n: n bytes of a page header
        DocumentEnd, // FE 00
        Row,         // a row's coded bytes: 1..216, or 00 LL LL with LLLL bytes
        BlankRows,   // 217..253: length blank rows
        BadRow,      // FF 00, or 00 00 00: a row the sender marked as damaged
        UserInfo,    // FF n: n bytes of user information
    };
    Type type = Type::DocumentEnd;
    std::int64_t at = 0;     // the record's first byte
    std::int64_t data = 0;   // its bytes (a page header's, a row's, the information)
    std::int64_t length = 0; // how many bytes at data; the rows of BlankRows
    std::int64_t next = 0;   // the byte after the record
};

// The record at at in a document of size bytes, where byteAt(k) is the byte at k, or a
// negative number when it cannot be read. Nothing when the record does not end inside the
// document, or a byte of it cannot be read.
template <typename ByteAt>
std::optional<Record> ReadRecord(ByteAt&& byteAt, std::int64_t at, std::int64_t size) {
    const auto byte = [&](std::int64_t k) -> int { return k < size ? byteAt(k) : -1; };
    Record record;
    record.at = at;
    const int type = byte(at);
    if (type < 0)
        return std::nullopt;
    if (type == kPageHeaderMarker || type == kUserInfoRecord || type == kEscapeRecord) {
        const int low = byte(at + 1);
        const int high = type == kEscapeRecord ? byte(at + 2) : 0;
        if (low < 0 || high < 0)
            return std::nullopt;
        const std::int64_t length = low | high << 8;
        record.data = at + (type == kEscapeRecord ? 3 : 2);
        record.length = length;
        if (type == kPageHeaderMarker)
            record.type = length == 0 ? Record::Type::DocumentEnd : Record::Type::PageHeader;
        else if (type == kUserInfoRecord)
            record.type = length == 0 ? Record::Type::BadRow : Record::Type::UserInfo;
        else
            record.type = length == 0 ? Record::Type::BadRow : Record::Type::Row;
    } else if (type <= kLastShortRecord) {
        record.type = Record::Type::Row;
        record.data = at + 1;
        record.length = type;
    } else { // up to kLastWhiteSkip
        record.type = Record::Type::BlankRows;
        record.data = at + 1;
        record.length = type - kLastShortRecord;
        record.next = at + 1;
        return record;
    }
    record.next = record.data + record.length;
    if (record.next > size)
        return std::nullopt;
    return record;
}

} // namespace sff
