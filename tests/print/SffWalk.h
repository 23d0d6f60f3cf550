#pragma once

// Walks an SFF document's records from its first page header to its end-of-document pair,
// as a fax application reading it would, without trusting the header's page count or end
// offsets (Ghostscript writes them as 0).

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
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(data[k]); };
    if (data.size() < 20 || data.compare(0, 4, "Sfff") != 0 || byte(4) != 1) {
        walk.fault = "no SFF version 1 header";
        return walk;
    }
    std::size_t at = byte(10) | static_cast<std::size_t>(byte(11)) << 8;
    bool inPage = false;
    while (at < data.size()) {
        const unsigned char type = byte(at);
        if (type == 0xFE) { // page header, or with length 0 the end of the document
            if (at + 1 >= data.size())
                break;
            const std::size_t length = byte(at + 1);
            if (length == 0) {
                walk.complete = at + 2 == data.size();
                if (!walk.complete)
                    walk.fault = "bytes after the end of the document";
                return walk;
            }
            if (at + 2 + length > data.size())
                break;
            walk.resolution.push_back(byte(at + 2));
            inPage = true;
            at += 2 + length;
        } else if (!inPage) {
            walk.fault = "page data before the first page header";
            return walk;
        } else if (type == 0x00) { // escape: two bytes of length, then the row
            if (at + 3 > data.size())
                break;
            at += 3 + (byte(at + 1) | static_cast<std::size_t>(byte(at + 2)) << 8);
        } else if (type <= 216) {
            at += 1 + type;
        } else if (type <= 253) {
            at += 1; // blank rows
        } else {     // FF: FF 00 a bad row, FF n n bytes of user information
            if (at + 2 > data.size())
                break;
            at += 2 + byte(at + 1);
        }
    }
    walk.fault = "cut short";
    return walk;
}
