#pragma once

// The page headers of an SFF document, found by walking its records from the first page
// offset to the end-of-document pair, for tests that check documents made by the program.

#include <QByteArray>
#include <QList>

struct SffPage {
    int resolution = 0; // 98 or 196
    int width = 0;      // dots of a row
    int rows = 0;
    bool onlyBlankRows = true; // every row a white-skip record
};

// The pages, or nothing when the document is malformed or lacks its end pair.
inline QList<SffPage> SffPages(const QByteArray& doc) {
    const auto at = [&doc](qsizetype i) { return static_cast<unsigned char>(doc[i]); };
    if (doc.size() < 22 || !doc.startsWith("Sfff"))
        return {};
    qsizetype pos = at(10) | at(11) << 8;
    QList<SffPage> pages;
    while (pos < doc.size()) {
        const int type = at(pos);
        if (type == 0xFE) {
            if (pos + 1 >= doc.size())
                return {};
            const int size = at(pos + 1);
            if (size == 0)
                return pos + 2 == doc.size() ? pages : QList<SffPage>();
            if (size < 16 || pos + 2 + size > doc.size())
                return {};
            SffPage page;
            page.resolution = at(pos + 2) == 0 ? 98 : 196;
            page.width = at(pos + 6) | at(pos + 7) << 8;
            page.rows = at(pos + 8) | at(pos + 9) << 8;
            pages.append(page);
            pos += 2 + size;
            continue;
        }
        if (pages.isEmpty())
            return {};
        if (type < 217 || type > 253)
            pages.last().onlyBlankRows = false;
        if (type == 0) {
            if (pos + 2 >= doc.size())
                return {};
            pos += 3 + (at(pos + 1) | at(pos + 2) << 8);
        } else if (type <= 216) {
            pos += 1 + type;
        } else if (type <= 253) {
            pos += 1;
        } else {
            pos += 2 + (pos + 1 < doc.size() ? at(pos + 1) : 0);
        }
    }
    return {};
}
