#pragma once

// The page headers of an SFF document, found by walking its records from the first page
// offset to the end-of-document pair, for tests that check documents made by the program; and
// a small document to send.

#include "fax/SffRecords.h"
#include "fax/SffWriter.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

struct SffPage {
    int resolution = 0; // 98 or 196
    int width = 0;      // dots of a row
    int rows = 0;
    bool onlyBlankRows = true; // every row a white-skip record
};

// The pages, or nothing when the document is malformed or lacks its end pair.
inline QList<SffPage> SffPages(const QByteArray& doc) {
    const auto byteAt = [&doc](std::int64_t i) {
        return static_cast<unsigned char>(doc[static_cast<qsizetype>(i)]);
    };
    if (doc.size() < 22 || !doc.startsWith("Sfff"))
        return {};
    std::int64_t pos = byteAt(10) | byteAt(11) << 8;
    QList<SffPage> pages;
    while (const auto record = sff::ReadRecord(byteAt, pos, doc.size())) {
        using Type = sff::Record::Type;
        if (record->type == Type::DocumentEnd)
            return record->next == doc.size() ? pages : QList<SffPage>();
        if (record->type == Type::PageHeader) {
            if (record->length < 16)
                return {};
            const std::int64_t h = record->data;
            SffPage page;
            page.resolution = byteAt(h) == 0 ? 98 : 196;
            page.width = byteAt(h + 4) | byteAt(h + 5) << 8;
            page.rows = byteAt(h + 6) | byteAt(h + 7) << 8;
            pages.append(page);
        } else if (pages.isEmpty()) {
            return {};
        } else if (record->type != Type::BlankRows) {
            pages.last().onlyBlankRows = false;
        }
        pos = record->next;
    }
    return {};
}

// A readable one-page SFF document whose user information record holds note, so that
// documents can be told apart.
inline QByteArray Sff(const QByteArray& note = "print") {
    SffWriter writer;
    writer.BeginPage(196);
    writer.AddRawRecord(QByteArray("\xFF") + char(note.size()) + note);
    writer.AddBlankRows(1);
    return writer.Finish();
}
