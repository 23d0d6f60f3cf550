#include "faxapp/contacts/VCardEdit.h"

#include "faxapp/contacts/VCardReader.h"
#include "faxapp/contacts/VCardValue.h"

#include <QList>
#include <QStringList>
#include <algorithm>

namespace faxapp {

namespace {

// A card of a real address book has a few dozen properties; a file of a million short lines
// is not read into memory line by line.
constexpr qsizetype kMaxContentLines = 20000;

// One content line of a card: the bytes it was read as (folded lines and line ends
// included), so that a line kalmofax does not change is written back exactly.
struct ContentLine {
    QByteArray raw;
    QByteArray text; // unfolded, without the line end
    QByteArray name; // upper case, without the group
    QList<QByteArray> params;
    QByteArray value;
    bool quotedPrintable = false; // its first physical line says ENCODING=QUOTED-PRINTABLE
};

QByteArray WithoutLineEnd(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Splits at sep outside double quotes (parameter values may quote ; and :).
QList<QByteArray> SplitOutsideQuotes(const QByteArray& text, char sep) {
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == sep && !quoted) {
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.mid(start));
    return parts;
}

// first: the input's first line, the one place where a byte order mark may stand.
void ParseNameAndParams(ContentLine& line, bool first) {
    const qsizetype colon = ValueColon(line.text); // where the reader finds the value
    const QByteArray head = colon < 0 ? line.text : line.text.left(colon);
    line.value = colon < 0 ? QByteArray() : line.text.mid(colon + 1);
    line.params = SplitOutsideQuotes(head, ';');
    line.params.removeFirst();
    // The name as the reader takes it: from the first physical line, up to the first ';' or ':',
    // blanks and quotes included.
    QByteArrayView text = line.raw;
    const qsizetype lf = text.indexOf('\n');
    text = lf < 0 ? text : text.first(lf);
    if (text.endsWith('\r'))
        text.chop(1);
    if (first && text.startsWith("\xEF\xBB\xBF")) // a byte order mark before BEGIN
        text = text.sliced(3);
    qsizetype end = 0;
    while (end < text.size() && text[end] != ';' && text[end] != ':')
        ++end;
    const QByteArrayView name = text.first(end);
    line.name = name.sliced(name.lastIndexOf('.') + 1).toByteArray().toUpper();
}

// Content lines of the bytes: a line starting with a blank or a tab continues the one
// before, as does the line after a quoted-printable line ending in '=' (vCard 2.1). Each line
// is taken apart once it is complete: a photo folded into thousands of lines costs no more
// than one long line.
QList<ContentLine> ReadContentLines(QByteArrayView bytes, bool& tooMany) {
    QList<ContentLine> lines;
    qsizetype pos = 0;
    tooMany = false;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArray physical = bytes.sliced(pos, end - pos).toByteArray();
        pos = end;
        const QByteArray content = WithoutLineEnd(physical);
        // As the reader: a soft line break goes before folding, and its '=' is no character.
        if (!lines.isEmpty() && lines.last().quotedPrintable && lines.last().text.endsWith('=')) {
            lines.last().raw += physical;
            lines.last().text.chop(1);
            lines.last().text += content;
            continue;
        }
        if (!lines.isEmpty() && (content.startsWith(' ') || content.startsWith('\t'))) {
            lines.last().raw += physical;
            lines.last().text += content.mid(1);
            continue;
        }
        if (lines.size() >= kMaxContentLines) {
            tooMany = true;
            return {};
        }
        ContentLine line;
        line.raw = physical;
        line.text = content;
        const qsizetype colon = content.indexOf(':');
        line.quotedPrintable =
            content.left(colon < 0 ? content.size() : colon).toUpper().contains("QUOTED-PRINTABLE");
        lines.append(line);
    }
    for (qsizetype i = 0; i < lines.size(); ++i)
        ParseNameAndParams(lines[i], i == 0);
    return lines;
}

QByteArray ParamsOf(const ContentLine& line) {
    QByteArray params;
    for (const QByteArray& param : line.params)
        params += ';' + param;
    return params;
}

// A TEL typed fax, by the reader's rule.
bool IsFaxTel(const ContentLine& line) {
    return line.name == "TEL" && IsFax(ParamsOf(line));
}

// The number of a TEL line as the reader reads it (character set, quoted-printable, escapes,
// a tel: URI's parameters), so that a number the user kept compares equal to its line.
QString TelNumber(const ContentLine& line, bool version21) {
    QList<VCardProblem> ignored;
    return CleanNumber(Unescape(DecodeValue({ParamsOf(line), line.value, 0}, ignored), version21));
}

bool IsCompanyName(const QString& name) {
    static const QStringList kLegalForms = {
        QStringLiteral("gmbh"), QStringLiteral("ag"),  QStringLiteral("kg"),
        QStringLiteral("ohg"),  QStringLiteral("ug"),  QStringLiteral("e.v."),
        QStringLiteral("mbh"),  QStringLiteral("ltd"), QStringLiteral("ltd."),
        QStringLiteral("inc."), QStringLiteral("inc"), QStringLiteral("llc"),
        QStringLiteral("gbr"),  QStringLiteral("se"),  QStringLiteral("co.")};
    const QStringList words = name.toLower().split(u' ', Qt::SkipEmptyParts);
    for (const QString& word : words)
        if (kLegalForms.contains(word))
            return true;
    return false;
}

QByteArray Fold(QByteArrayView line, QByteArrayView lineEnd) {
    QByteArray out;
    qsizetype pos = 0;
    qsizetype limit = 75;
    while (line.size() - pos > limit) {
        qsizetype cut = pos + limit;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 sequence
        out += line.sliced(pos, cut - pos);
        out += lineEnd;
        out += ' ';
        pos = cut;
        limit = 74; // the blank counts
    }
    out += line.sliced(pos);
    out += lineEnd;
    return out;
}

QByteArray FnLine(const QString& version, const QString& name, QByteArrayView lineEnd) {
    if (version == u"2.1") {
        // 2.1 has no escapes and no folding inside a word; a non-ASCII name says its charset.
        bool ascii = true;
        for (QChar c : name)
            ascii = ascii && c.unicode() < 0x80;
        return (ascii ? QByteArray("FN:") : QByteArray("FN;CHARSET=UTF-8:")) + name.toUtf8() +
               lineEnd.toByteArray();
    }
    return Fold(QByteArray("FN:") + EscapeVCardText(name).toUtf8(), lineEnd);
}

QByteArray TelLine(const QString& version, const QString& number, QByteArrayView lineEnd) {
    const char* head = version == u"2.1"   ? "TEL;FAX:"
                       : version == u"3.0" ? "TEL;TYPE=FAX:"
                                           : "TEL;TYPE=fax:";
    return Fold(QByteArray(head) + number.toUtf8(), lineEnd);
}

bool IsBeginCard(const ContentLine& line) {
    return line.name == "BEGIN" && line.value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

bool IsEndCard(const ContentLine& line) {
    return line.name == "END" && line.value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

} // namespace

QString EscapeVCardText(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == u'\\' || c == u',' || c == u';')
            out += u'\\';
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c != u'\r')
            out += c;
    }
    return out;
}

QByteArray FoldVCardLine(QByteArrayView line) {
    return Fold(line, "\r\n");
}

QString StructuredName(const QString& name) {
    const QString simple = name.simplified();
    if (IsCompanyName(simple))
        return EscapeVCardText(simple) + QStringLiteral(";;;;");
    const qsizetype comma = simple.indexOf(u',');
    if (comma >= 0) // "Family, Given"
        return EscapeVCardText(simple.left(comma).trimmed()) + u';' +
               EscapeVCardText(simple.mid(comma + 1).trimmed()) + QStringLiteral(";;;");
    const qsizetype blank = simple.lastIndexOf(u' ');
    if (blank < 0)
        return EscapeVCardText(simple) + QStringLiteral(";;;;");
    return EscapeVCardText(simple.mid(blank + 1)) + u';' + EscapeVCardText(simple.left(blank)) +
           QStringLiteral(";;;");
}

QByteArray NewVCard(const Contact& contact, const QString& uid, const QDateTime& revision,
                    const QList<QByteArray>& moreLines) {
    const QByteArrayView crlf = "\r\n";
    QByteArray card = "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//kalmo//kalmofax//DE\r\n";
    card += Fold(QByteArray("UID:") + uid.toUtf8(), crlf);
    card += FnLine(QStringLiteral("4.0"), contact.name, crlf);
    const bool ownN = std::any_of(moreLines.begin(), moreLines.end(),
                                  [](const QByteArray& line) { return line.startsWith("N:"); });
    if (!ownN)
        card += Fold(QByteArray("N:") + StructuredName(contact.name).toUtf8(), crlf);
    for (const QString& number : contact.faxNumbers)
        card += TelLine(QStringLiteral("4.0"), number, crlf);
    for (const QByteArray& line : moreLines)
        card += Fold(line, crlf);
    card += "REV:" + revision.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    card += "\r\nEND:VCARD\r\n";
    return card;
}

QByteArray WithUid(QByteArrayView card, const QString& uid) {
    bool tooMany = false;
    const QList<ContentLine> lines = ReadContentLines(card, tooMany);
    if (tooMany || lines.isEmpty() || !IsBeginCard(lines.first()))
        return {};
    const QByteArrayView lineEnd = lines.first().raw.endsWith("\r\n") ? "\r\n" : "\n";
    const QByteArray uidLine = Fold(QByteArray("UID:") + uid.toUtf8(), lineEnd);
    const bool hasVersion = std::any_of(
        lines.begin(), lines.end(), [](const ContentLine& line) { return line.name == "VERSION"; });
    QByteArray out;
    bool placed = false;
    for (const ContentLine& line : lines) {
        if (line.name == "UID")
            continue;
        out += line.raw;
        if (!line.raw.endsWith('\n'))
            out += lineEnd;
        if (!placed && line.name == (hasVersion ? "VERSION" : "BEGIN")) {
            out += uidLine;
            placed = true;
        }
    }
    return out;
}

int CountVCards(QByteArrayView bytes) {
    int count = 0;
    for (qsizetype pos = 0; pos < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', pos);
        end = end < 0 ? bytes.size() : end + 1;
        QByteArrayView line = bytes.sliced(pos, end - pos).trimmed();
        if (line.startsWith("\xEF\xBB\xBF"))
            line = line.sliced(3);
        count += line.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0 ? 1 : 0;
        pos = end;
    }
    return count;
}

bool EditVCard(QByteArrayView original, const Contact& contact, QByteArray& edited,
               QString& error) {
    bool tooMany = false;
    const QList<ContentLine> lines = ReadContentLines(original, tooMany);
    if (tooMany) {
        error = QStringLiteral("Die Datei hat mehr als %1 Zeilen; sie ist keine einzelne vCard.")
                    .arg(kMaxContentLines);
        return false;
    }
    qsizetype begin = -1;
    qsizetype end = -1;
    int cards = 0;
    QString version;
    QList<qsizetype> fnLines;
    QList<qsizetype> faxLines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ContentLine& line = lines[i];
        if (IsBeginCard(line) && ++cards == 1)
            begin = i;
        else if (IsEndCard(line) && end < 0)
            end = i;
        else if (begin < 0 || end >= 0)
            continue; // lines around the card are kept, but are not the card's
        else if (line.name == "VERSION")
            version = QString::fromLatin1(line.value.trimmed());
        else if (line.name == "FN")
            fnLines.append(i);
        else if (IsFaxTel(line))
            faxLines.append(i);
    }
    if (cards > 1) {
        error = QStringLiteral("Die Datei enthält %1 Kontakte; kalmofax ändert nur Dateien mit "
                               "einem einzigen Kontakt.")
                    .arg(cards);
        return false;
    }
    if (begin < 0 || end < begin) {
        error = QStringLiteral("Die Datei ist keine vollständige vCard (BEGIN:VCARD … END:VCARD).");
        return false;
    }
    if (version.isEmpty())
        version = QStringLiteral("3.0");
    if (version != u"2.1" && version != u"3.0" && version != u"4.0") {
        error = QStringLiteral("Unbekannte vCard-Version %1.").arg(version);
        return false;
    }
    // Name and numbers are compared as the reader reads them: a card is changed only where
    // the user changed what the address book showed.
    const bool version21 = version == u"2.1";
    QList<QString> numberOf(lines.size());
    QStringList oldNumbers;
    for (qsizetype i : std::as_const(faxLines)) {
        numberOf[i] = TelNumber(lines[i], version21);
        if (!numberOf[i].isEmpty())
            oldNumbers.append(numberOf[i]);
    }
    const VCardParse read = ParseVCards(original);
    const bool keepFn = read.contacts.size() == 1 && read.contacts[0].name == contact.name;
    const bool keepFax = oldNumbers == contact.faxNumbers;
    if (keepFn && keepFax) {
        edited = original.toByteArray();
        return true;
    }
    const QByteArrayView lineEnd = lines[begin].raw.endsWith("\r\n") ? "\r\n" : "\n";
    QList<bool> reused(lines.size(), false);
    edited.clear();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ContentLine& line = lines[i];
        if (i == end) {
            if (!keepFn)
                edited += FnLine(version, contact.name, lineEnd);
            for (const QString& number : contact.faxNumbers) {
                if (keepFax)
                    break;
                // A number the card had keeps its line, with its other types (work, pref).
                qsizetype old = begin;
                while (++old < end &&
                       (reused[old] || !IsFaxTel(lines[old]) || numberOf[old] != number)) {
                }
                if (old < end) {
                    reused[old] = true;
                    edited += lines[old].raw;
                } else {
                    edited += TelLine(version, number, lineEnd);
                }
            }
        }
        if ((!keepFn && line.name == "FN" && i > begin && i < end) ||
            (!keepFax && IsFaxTel(line) && i > begin && i < end))
            continue;
        edited += line.raw;
    }
    return true;
}

} // namespace faxapp
