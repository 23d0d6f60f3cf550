#pragma once

// What the walk through an SFF document's records finds, from its first page header to its
// end-of-document pair, as a fax application reading it would, without trusting the header's
// page count or end offsets (Ghostscript writes them as 0).

#include "fax/SffRecords.h"

#include <cstddef>
#include <string>
#include <vector>

struct SffWalk {
    bool complete = false;       // arrived at FE 00 as the last two bytes
    std::vector<int> resolution; // each page's resolution byte (0: 98 lpi, 1: 196 lpi)
    std::string fault;
};

inline SffWalk WalkSff(const std::string& data) {
    SffWalk walk;
    const auto byte = [&](std::int64_t k) {
        return static_cast<int>(static_cast<unsigned char>(data[static_cast<std::size_t>(k)]));
    };
    if (data.size() < sff::kDocumentHeaderSize ||
        !sff::HasMagic(reinterpret_cast<const unsigned char*>(data.data())) || byte(4) != 1) {
        walk.fault = "no SFF version 1 header";
        return walk;
    }
    const auto size = static_cast<std::int64_t>(data.size());
    using Type = sff::Record::Type;
    std::int64_t at = sff::FirstPageOffset(reinterpret_cast<const unsigned char*>(data.data()));
    while (at < size) {
        if (walk.resolution.empty() && byte(at) != sff::kPageHeaderMarker) {
            walk.fault = "page data before the first page header";
            return walk;
        }
        const auto record = sff::ReadRecord(byte, at, size);
        if (!record)
            break;
        if (record->type == Type::DocumentEnd) {
            walk.complete = record->next == size;
            if (!walk.complete)
                walk.fault = "bytes after the end of the document";
            return walk;
        }
        if (record->type == Type::PageHeader)
            walk.resolution.push_back(byte(record->data));
        at = record->next;
    }
    walk.fault = "cut short";
    return walk;
}
