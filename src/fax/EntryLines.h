#pragma once

// Reading a whole address source in one call: the served list objects (the own address book's
// document, a directory's address-entries collection, a contacts folder's items) answer the
// method kDispidReadAll with every entry at once, as one text of lines. A line is one entry,
// ended by LF; its fields are separated by TAB: the name first, then the numbers in the order
// the source's per-entry calls read them:
//   own address book:   name, number                       (one line per number)
//   directory entries:  name, primary fax, business fax, home fax
//   contacts items:     name, business fax, home fax
// A server without the method answers "member not found"; the caller then walks the entries
// one call at a time as before. Encoding turns TAB, CR and LF inside a field into blanks.

#include <QList>
#include <QString>
#include <QStringList>

namespace fax {

// Far from the DISPIDs of every class served: no served class uses it for anything else.
inline constexpr int kDispidReadAll = 0x4B41;

inline QString EntryField(QString text) {
    for (QChar& c : text)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    return text;
}

inline void AppendEntryLine(QString& lines, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            lines += u'\t';
        lines += EntryField(fields.at(i));
    }
    lines += u'\n';
}

// The entries of a text of lines; a line with fewer fields is padded with empty ones, one with
// more is cut, so that every entry has exactly fieldCount fields. An unterminated last line
// counts; empty lines are skipped.
inline QList<QStringList> ParseEntryLines(const QString& lines, qsizetype fieldCount) {
    QList<QStringList> entries;
    for (const auto line : QStringView(lines).tokenize(u'\n', Qt::SkipEmptyParts)) {
        QStringList fields;
        fields.reserve(fieldCount);
        for (const auto field : line.tokenize(u'\t')) {
            if (fields.size() == fieldCount)
                break;
            fields.append(field.toString());
        }
        while (fields.size() < fieldCount)
            fields.append(QString());
        entries.append(std::move(fields));
    }
    return entries;
}

} // namespace fax
