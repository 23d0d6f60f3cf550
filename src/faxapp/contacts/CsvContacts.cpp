#include "faxapp/contacts/CsvContacts.h"

#include "faxapp/contacts/ContactWriter.h"

#include <QStringDecoder>

namespace faxapp {

namespace {

// Windows-1252's 0x80..0x9F; the rest of its bytes are Latin-1. Holes read as U+FFFD.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

struct Record {
    int line = 0; // where the record starts, 1-based
    QStringList fields;
};

QChar DetectSeparator(const QString& text) {
    int commas = 0;
    int semicolons = 0;
    int tabs = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted) {
            commas += c == u',' ? 1 : 0;
            semicolons += c == u';' ? 1 : 0;
            tabs += c == u'\t' ? 1 : 0;
        }
    }
    if (tabs > commas && tabs > semicolons)
        return u'\t';
    return semicolons > commas ? u';' : u',';
}

QList<Record> SplitRecords(const QString& text, QChar separator) {
    QList<Record> records;
    Record record{1, {}};
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = 1;
    const auto endRecord = [&] {
        record.fields.append(field);
        records.append(record);
        record = {line, {}};
        field.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                line += c == u'\n' ? 1 : 0;
                field += c;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == separator) {
            record.fields.append(field);
            field.clear();
            fieldStarted = false;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++line;
            endRecord();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !record.fields.isEmpty())
        endRecord();
    return records;
}

QString Normalized(const QString& header) {
    return header.trimmed().toCaseFolded().simplified();
}

int FindColumn(const QStringList& headers, std::initializer_list<const char16_t*> names) {
    for (const char16_t* name : names) {
        const qsizetype at = headers.indexOf(QString::fromUtf16(name));
        if (at >= 0)
            return static_cast<int>(at);
    }
    return -1;
}

QString Field(const Record& record, int column) {
    return column >= 0 && column < record.fields.size() ? record.fields[column].trimmed()
                                                        : QString();
}

} // namespace

QString DecodeCsvText(QByteArrayView bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        return utf16.decode(bytes.sliced(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text += (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t(b));
    }
    return text;
}

CsvContacts ReadCsvContacts(QByteArrayView bytes) {
    CsvContacts result;
    const QString text = DecodeCsvText(bytes);
    QList<Record> records = SplitRecords(text, DetectSeparator(text));
    if (records.isEmpty()) {
        result.problems.append(QStringLiteral("Die Datei ist leer."));
        return result;
    }
    QStringList headers;
    for (const QString& header : records.takeFirst().fields)
        headers.append(Normalized(header));
    QList<int> faxColumns;
    for (int i = 0; i < headers.size(); ++i)
        if (headers[i].contains(u"fax"))
            faxColumns.append(i);
    if (faxColumns.isEmpty()) {
        result.problems.append(
            QStringLiteral("Die Kopfzeile nennt keine Spalte mit Faxnummern („Fax“, "
                           "„Fax (geschäftlich)“, …)."));
        return result;
    }
    const int nameColumn =
        FindColumn(headers, {u"name", u"fn", u"display name", u"displayname", u"anzeigename",
                             u"full name", u"vollständiger name", u"kontakt", u"contact"});
    const int firstColumn = FindColumn(headers, {u"vorname", u"first name", u"given name"});
    const int lastColumn =
        FindColumn(headers, {u"nachname", u"last name", u"family name", u"surname"});
    const int companyColumn = FindColumn(
        headers, {u"firma", u"company", u"organization", u"organisation", u"unternehmen"});
    for (const Record& record : std::as_const(records)) {
        if (record.fields.join(QString()).trimmed().isEmpty())
            continue; // an empty line
        Contact contact;
        for (int column : std::as_const(faxColumns))
            if (const QString number = Field(record, column); !number.isEmpty())
                contact.faxNumbers.append(number);
        // A name spread over lines of a quoted field is one line in the address book.
        contact.name = Field(record, nameColumn).simplified();
        if (contact.name.isEmpty())
            contact.name =
                (Field(record, firstColumn) + u' ' + Field(record, lastColumn)).simplified();
        if (contact.name.isEmpty())
            contact.name = Field(record, companyColumn).simplified();
        QString error;
        if (contact.faxNumbers.isEmpty()) {
            ++result.skipped;
        } else if (!CheckContact(contact, error)) {
            ++result.skipped;
            result.problems.append(QStringLiteral("Zeile %1: %2").arg(record.line).arg(error));
        } else {
            result.contacts.append(contact);
        }
    }
    return result;
}

} // namespace faxapp
