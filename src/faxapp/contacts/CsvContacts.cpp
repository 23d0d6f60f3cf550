#include "faxapp/contacts/CsvContacts.h"

#include "faxapp/contacts/VCardEdit.h"

#include <QBuffer>
#include <QIODevice>
#include <QStringDecoder>

namespace faxapp {

namespace {

// Windows-1252's 0x80..0x9F; the rest of its bytes are Latin-1. Holes read as U+FFFD.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// No row of an address book comes near this; a longer one is skipped, not held.
constexpr qsizetype kMaxRecordChars = qsizetype{1} << 20;
constexpr qint64 kChunkBytes = qint64{64} * 1024;

QChar DetectSeparator(QStringView header) {
    int commas = 0;
    int semicolons = 0;
    int tabs = 0;
    bool quoted = false;
    for (QChar c : header) {
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

bool ContainsAny(const QString& header, std::initializer_list<const char16_t*> words) {
    for (const char16_t* word : words)
        if (header.contains(QString::fromUtf16(word)))
            return true;
    return false;
}

enum class Column { Name, First, Last, Company, Fax, Mail, Phone, Mobile, Other };

QByteArray Line(const char* head, const QString& value) {
    return QByteArray(head) + EscapeVCardText(value).toUtf8();
}

// Splits the text into records and makes a contact of each row after the header.
class Parser {
public:
    explicit Parser(int maxRecords) : m_maxRecords(maxRecords) {}

    void Feed(QStringView text);
    void Finish();
    bool Stopped() const { return m_stopped; }
    CsvContacts Take() { return std::move(m_result); }

private:
    void Char(QChar c);
    void EndField();
    void EndRecord();
    void Header(const QStringList& fields);
    void Row(const QStringList& fields);
    void Stop(const QString& problem);

    int m_maxRecords;
    CsvContacts m_result;
    bool m_stopped = false;

    QChar m_separator;    // null until the header line is complete
    QString m_headerText; // the text up to the end of the header line
    bool m_headerQuoted = false;

    QStringList m_fields;
    QString m_field;
    qsizetype m_recordChars = 0;
    bool m_tooLong = false;
    bool m_quoted = false;
    bool m_quotePending = false; // a '"' in a quoted field: its end, or the first of ""
    bool m_fieldStarted = false;
    bool m_skipLf = false;
    int m_line = 1;
    int m_recordLine = 1;

    bool m_haveHeader = false;
    QStringList m_headers; // as written
    QList<Column> m_columns;
    int m_rows = 0;
};

void Parser::Feed(QStringView text) {
    if (m_separator.isNull()) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == u'"')
                m_headerQuoted = !m_headerQuoted;
            if (!m_headerQuoted && (c == u'\n' || c == u'\r')) {
                m_headerText += text.first(i);
                m_separator = DetectSeparator(m_headerText);
                Feed(QString(std::exchange(m_headerText, QString())));
                Feed(text.sliced(i));
                return;
            }
        }
        m_headerText += text;
        if (m_headerText.size() > kMaxRecordChars)
            Stop(QStringLiteral("Die Kopfzeile ist zu lang; die Datei ist kein Adressbuch."));
        return;
    }
    for (QChar c : text) {
        if (m_stopped)
            return;
        Char(c);
    }
}

void Parser::Char(QChar c) {
    if (m_quotePending) {
        m_quotePending = false;
        if (c == u'"') {
            m_field += u'"';
            return;
        }
        m_quoted = false;
    }
    if (m_quoted) {
        if (c == u'"') {
            m_quotePending = true;
            return;
        }
        m_line += c == u'\n' ? 1 : 0;
    } else if (m_skipLf && c == u'\n') {
        m_skipLf = false;
        return;
    } else if (c == u'"' && !m_fieldStarted) {
        m_quoted = m_fieldStarted = true;
        return;
    } else if (c == m_separator) {
        EndField();
        return;
    } else if (c == u'\r' || c == u'\n') {
        m_skipLf = c == u'\r';
        ++m_line;
        EndRecord();
        return;
    }
    m_skipLf = false;
    m_fieldStarted = true;
    if (++m_recordChars > kMaxRecordChars)
        m_tooLong = true;
    else
        m_field += c;
}

void Parser::EndField() {
    m_fields.append(std::exchange(m_field, QString()));
    m_fieldStarted = false;
}

void Parser::EndRecord() {
    EndField();
    const QStringList fields = std::exchange(m_fields, QStringList());
    const int line = std::exchange(m_recordLine, m_line);
    const bool tooLong = std::exchange(m_tooLong, false);
    m_recordChars = 0;
    if (!m_haveHeader) {
        Header(fields);
        return;
    }
    if (fields.join(QString()).trimmed().isEmpty() && !tooLong)
        return; // an empty line
    if (++m_rows > m_maxRecords) {
        Stop(QStringLiteral("Die Datei hat mehr als %1 Einträge; gelesen wurden die ersten %1.")
                 .arg(m_maxRecords));
        return;
    }
    if (tooLong) {
        ++m_result.skipped;
        m_result.problems.append(
            QStringLiteral("Zeile %1: Der Eintrag ist zu lang und wird übersprungen.").arg(line));
        return;
    }
    const qsizetype problems = m_result.problems.size();
    Row(fields);
    if (m_result.problems.size() > problems)
        m_result.problems.last().prepend(QStringLiteral("Zeile %1: ").arg(line));
}

void Parser::Header(const QStringList& fields) {
    m_haveHeader = true;
    m_headers = fields;
    QStringList headers;
    for (const QString& header : fields)
        headers.append(Normalized(header));
    const int nameColumn =
        FindColumn(headers, {u"name", u"fn", u"display name", u"displayname", u"anzeigename",
                             u"full name", u"vollständiger name", u"kontakt", u"contact"});
    const int firstColumn = FindColumn(headers, {u"vorname", u"first name", u"given name"});
    const int lastColumn =
        FindColumn(headers, {u"nachname", u"last name", u"family name", u"surname"});
    const int companyColumn = FindColumn(
        headers, {u"firma", u"company", u"organization", u"organisation", u"unternehmen"});
    bool fax = false;
    for (int i = 0; i < headers.size(); ++i) {
        const QString& header = headers[i];
        Column column = Column::Other;
        if (i == nameColumn)
            column = Column::Name;
        else if (i == firstColumn)
            column = Column::First;
        else if (i == lastColumn)
            column = Column::Last;
        else if (i == companyColumn)
            column = Column::Company;
        else if (header.contains(u"fax"))
            column = Column::Fax;
        else if (header.contains(u"mail"))
            column = Column::Mail;
        else if (ContainsAny(header, {u"mobil", u"handy", u"cell"}))
            column = Column::Mobile;
        else if (ContainsAny(header, {u"telefon", u"phone", u"tel"}))
            column = Column::Phone;
        fax = fax || column == Column::Fax;
        m_columns.append(column);
    }
    if (!fax)
        Stop(QStringLiteral("Die Kopfzeile nennt keine Spalte mit Faxnummern („Fax“, "
                            "„Fax (geschäftlich)“, …)."));
}

void Parser::Row(const QStringList& fields) {
    NewContact added;
    Contact& contact = added.contact;
    QString name;
    QString first;
    QString last;
    QString company;
    QStringList notes;
    for (qsizetype i = 0; i < fields.size() && i < m_columns.size(); ++i) {
        const QString value = fields[i].trimmed();
        if (value.isEmpty())
            continue;
        switch (m_columns[i]) {
        case Column::Name:
            // A name spread over lines of a quoted field is one line in the address book.
            name = value.simplified();
            break;
        case Column::First:
            first = value.simplified();
            break;
        case Column::Last:
            last = value.simplified();
            break;
        case Column::Company:
            company = value.simplified();
            break;
        case Column::Fax:
            contact.faxNumbers.append(value);
            break;
        case Column::Mail:
            added.lines.append(Line("EMAIL:", value));
            break;
        case Column::Mobile:
            added.lines.append(Line("TEL;TYPE=cell:", value));
            break;
        case Column::Phone:
            added.lines.append(Line("TEL;TYPE=voice:", value));
            break;
        case Column::Other:
            notes.append(m_headers[i].trimmed() + QStringLiteral(": ") + value);
            break;
        }
    }
    for (qsizetype i = m_columns.size(); i < fields.size(); ++i)
        if (const QString value = fields[i].trimmed(); !value.isEmpty())
            notes.append(value); // a field beyond the header's columns
    contact.name = name;
    if (contact.name.isEmpty())
        contact.name = (first + u' ' + last).simplified();
    if (contact.name.isEmpty())
        contact.name = company;
    if (!first.isEmpty() || !last.isEmpty())
        added.lines.prepend(QByteArray("N:") + EscapeVCardText(last).toUtf8() + ';' +
                            EscapeVCardText(first).toUtf8() + ";;;");
    if (!company.isEmpty())
        added.lines.append(Line("ORG:", company));
    if (!notes.isEmpty())
        added.lines.append(Line("NOTE:", notes.join(u'\n')));
    QString error;
    if (contact.faxNumbers.isEmpty()) {
        ++m_result.skipped;
    } else if (!CheckContact(contact, error)) {
        ++m_result.skipped;
        m_result.problems.append(error);
    } else {
        m_result.contacts.append(std::move(added));
    }
}

void Parser::Stop(const QString& problem) {
    m_stopped = true;
    m_result.problems.append(problem);
}

void Parser::Finish() {
    if (m_stopped)
        return;
    if (m_separator.isNull()) {
        m_separator = DetectSeparator(m_headerText);
        Feed(QString(std::exchange(m_headerText, QString())));
    }
    if (!m_stopped && (m_fieldStarted || !m_field.isEmpty() || !m_fields.isEmpty()))
        EndRecord();
    if (!m_haveHeader)
        m_result.problems.append(QStringLiteral("Die Datei ist leer."));
}

QString FromCp1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text += (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t(b));
    }
    return text;
}

enum class Encoding { Utf8, Utf16LE, Utf16BE, Cp1252 };

// One pass over the device in the given encoding; false when UTF-8 turned out invalid.
bool ReadAs(QIODevice& device, Encoding encoding, Parser& parser, CsvContacts& result) {
    if (!device.seek(0)) {
        result.problems.append(QStringLiteral("Die Datei kann nicht gelesen werden."));
        return true;
    }
    const QByteArray head = device.peek(3);
    if (encoding != Encoding::Cp1252 && head.startsWith("\xEF\xBB\xBF"))
        device.skip(3);
    else if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE)
        device.skip(2);
    QStringDecoder decoder(encoding == Encoding::Utf16LE   ? QStringConverter::Utf16LE
                           : encoding == Encoding::Utf16BE ? QStringConverter::Utf16BE
                                                           : QStringConverter::Utf8);
    while (!parser.Stopped()) {
        const QByteArray chunk = device.read(kChunkBytes);
        if (chunk.isEmpty())
            break;
        if (encoding == Encoding::Cp1252) {
            parser.Feed(FromCp1252(chunk));
            continue;
        }
        const QString text = decoder.decode(chunk);
        if (encoding == Encoding::Utf8 && decoder.hasError())
            return false;
        parser.Feed(text);
    }
    if (encoding == Encoding::Utf8 && !parser.Stopped()) {
        const QString rest = decoder.decode(QByteArrayView());
        if (decoder.hasError())
            return false;
        parser.Feed(rest);
    }
    parser.Finish();
    result = parser.Take();
    return true;
}

} // namespace

CsvContacts ReadCsvContacts(QIODevice& device, int maxRecords) {
    CsvContacts result;
    const QByteArray head = device.seek(0) ? device.peek(2) : QByteArray();
    const Encoding encoding = head.startsWith("\xFF\xFE")   ? Encoding::Utf16LE
                              : head.startsWith("\xFE\xFF") ? Encoding::Utf16BE
                                                            : Encoding::Utf8;
    Parser parser(maxRecords);
    if (ReadAs(device, encoding, parser, result))
        return result;
    // Not UTF-8 after all: read again from the start as Windows-1252.
    Parser again(maxRecords);
    ReadAs(device, Encoding::Cp1252, again, result);
    return result;
}

CsvContacts ReadCsvContacts(QByteArrayView bytes, int maxRecords) {
    QByteArray copy = bytes.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return ReadCsvContacts(buffer, maxRecords);
}

} // namespace faxapp
