#include "faxapp/contacts/VCardReader.h"

#include "faxapp/contacts/VCardValue.h"

#include <QByteArray>
#include <algorithm>

namespace faxapp {

namespace {

// FN, N, ORG, TEL and UID are the only values kept; none of a real card comes near this. Longer
// ones are reported and skipped, so that a hostile file cannot make the reader hold a copy of
// every huge line. PHOTO and the like are never copied at all.
constexpr qsizetype kMaxKeptLine = 1 << 20;
// A broken file of a million bad lines should not give a million problem lines.
constexpr int kMaxProblems = 100;

bool Is(QByteArrayView a, const char* upper) {
    return a.compare(QByteArrayView(upper), Qt::CaseInsensitive) == 0;
}

// The property name of a line, without its group ("item1.TEL;type=FAX:..." gives TEL).
QByteArrayView PropertyName(QByteArrayView line) {
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    QByteArrayView name = line.first(end);
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.sliced(dot + 1);
}

bool IsKept(QByteArrayView name) {
    return Is(name, "BEGIN") || Is(name, "END") || Is(name, "VERSION") || Is(name, "FN") ||
           Is(name, "N") || Is(name, "ORG") || Is(name, "TEL") || Is(name, "UID");
}

// ENCODING=QUOTED-PRINTABLE or 2.1's bare QUOTED-PRINTABLE among the parameters, in any case.
bool ContainsQuotedPrintable(QByteArrayView head) {
    constexpr QByteArrayView kWord("QUOTED-PRINTABLE");
    for (qsizetype at = head.indexOf('-'); at >= 6; at = head.indexOf('-', at + 1)) {
        if (head.size() - (at - 6) >= kWord.size() &&
            head.sliced(at - 6, kWord.size()).compare(kWord, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

struct Card {
    int beginLine = 0;
    qsizetype beginByte = 0;
    bool version21 = false;
    QList<RawProperty> fn, n, org, tel, uid;
};

class Reader {
public:
    VCardParse Run(QByteArrayView bytes);

private:
    void StartLine(int line, qsizetype start, QByteArrayView text);
    void FinishLine();
    void Logical(int line, QByteArrayView name, QByteArrayView text);
    void EndCard();
    void Problem(int line, const QString& what);

    VCardParse m_result;
    int m_problemCount = 0;

    // The logical line being unfolded.
    bool m_pending = false;
    int m_line = 0;
    qsizetype m_lineStart = 0; // where the logical line starts in the input
    qsizetype m_lineEnd = 0;   // after its last physical line
    qsizetype m_offset = 0;    // of the bytes read in the input (a byte order mark before)
    QByteArrayView m_name;
    QByteArrayView m_first; // the first physical line, in the input
    QByteArray m_text;      // a kept line unfolded, once it has a continuation
    bool m_folded = false;
    bool m_keep = false;
    bool m_tooLong = false;
    bool m_hasColon = false;
    bool m_quotedPrintable = false;
    bool m_softBreak = false; // the last physical line ended a quoted-printable value with "="

    bool m_inCard = false;
    Card m_card;
};

VCardParse Reader::Run(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
        m_offset = 3;
    }
    qsizetype pos = 0;
    int lineNo = 0;
    while (pos < bytes.size()) {
        const qsizetype start = pos;
        const qsizetype lf = bytes.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? bytes.size() : lf;
        QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = lf < 0 ? bytes.size() : lf + 1;
        ++lineNo;
        if (line.endsWith('\r'))
            line.chop(1);

        const bool soft = m_pending && m_softBreak;
        const bool folded = m_pending && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t');
        if (soft || folded) {
            QByteArrayView more = soft ? line : line.sliced(1);
            if (m_keep && !m_folded) {
                m_text = m_first.toByteArray();
                m_folded = true;
            }
            if (soft && m_keep)
                m_text.chop(1); // the "=" of the soft break
            if (!m_hasColon && more.contains(':'))
                m_hasColon = true;
            if (m_keep) {
                if (m_text.size() + more.size() > kMaxKeptLine) {
                    m_keep = false;
                    m_tooLong = true;
                    m_text = QByteArray();
                } else {
                    m_text.append(more);
                }
            }
            m_softBreak = m_quotedPrintable && more.endsWith('=');
            m_lineEnd = m_offset + pos;
            continue;
        }
        FinishLine();
        StartLine(lineNo, m_offset + start, line);
        m_lineEnd = m_offset + pos;
    }
    FinishLine();
    if (m_inCard)
        Problem(m_card.beginLine, QStringLiteral("card without END, skipped"));
    if (m_problemCount > kMaxProblems)
        m_result.problems.append(
            {0,
             QStringLiteral("%1 further problems not listed").arg(m_problemCount - kMaxProblems)});
    return std::move(m_result);
}

void Reader::StartLine(int line, qsizetype start, QByteArrayView text) {
    if (text.trimmed().isEmpty())
        return; // blank lines between cards
    m_pending = true;
    m_line = line;
    m_lineStart = start;
    m_name = PropertyName(text);
    m_keep = IsKept(m_name);
    m_tooLong = m_keep && text.size() > kMaxKeptLine;
    m_keep = m_keep && !m_tooLong;
    const qsizetype colon = text.indexOf(':');
    m_hasColon = colon >= 0;
    m_quotedPrintable = ContainsQuotedPrintable(colon < 0 ? text : text.first(colon));
    m_softBreak = m_quotedPrintable && m_hasColon && text.endsWith('=');
    m_first = text;
    m_folded = false;
    m_text.clear();
}

void Reader::FinishLine() {
    if (!m_pending)
        return;
    m_pending = false;
    if (m_tooLong) {
        Problem(m_line, QStringLiteral("%1 line too long, skipped")
                            .arg(QString::fromLatin1(
                                m_name.first(std::min<qsizetype>(m_name.size(), 32)))));
    } else if (!m_hasColon) {
        Problem(m_line, QStringLiteral("line without a colon, skipped"));
    } else if (m_keep) {
        Logical(m_line, m_name, m_folded ? QByteArrayView(m_text) : m_first);
    } else if (!m_inCard) {
        Problem(m_line, QStringLiteral("line outside a card, skipped"));
    }
    m_text = QByteArray();
}

void Reader::Logical(int line, QByteArrayView name, QByteArrayView text) {
    const qsizetype colon = ValueColon(text);
    const QByteArrayView nameAndParams = text.first(colon);
    const QByteArrayView value = text.sliced(colon + 1);
    if (Is(name, "BEGIN")) {
        if (!Is(value.trimmed(), "VCARD"))
            return; // an embedded object of another kind: its lines are ignored
        if (m_inCard)
            Problem(m_card.beginLine, QStringLiteral("card without END, skipped"));
        m_inCard = true;
        m_card = Card();
        m_card.beginLine = line;
        m_card.beginByte = m_lineStart;
        return;
    }
    if (!m_inCard) {
        Problem(line, Is(name, "END") ? QStringLiteral("END without BEGIN")
                                      : QStringLiteral("line outside a card, skipped"));
        return;
    }
    if (Is(name, "END")) {
        if (Is(value.trimmed(), "VCARD"))
            EndCard();
        return;
    }
    if (Is(name, "VERSION")) {
        m_card.version21 = value.trimmed() == "2.1";
        return;
    }
    const qsizetype paramsAt = nameAndParams.indexOf(';');
    RawProperty property{paramsAt < 0 ? QByteArray() : nameAndParams.sliced(paramsAt).toByteArray(),
                         value.toByteArray(), line};
    if (Is(name, "FN"))
        m_card.fn.append(std::move(property));
    else if (Is(name, "N"))
        m_card.n.append(std::move(property));
    else if (Is(name, "ORG"))
        m_card.org.append(std::move(property));
    else if (Is(name, "TEL"))
        m_card.tel.append(std::move(property));
    else if (Is(name, "UID"))
        m_card.uid.append(std::move(property));
}

void Reader::EndCard() {
    m_inCard = false;
    const Card card = std::exchange(m_card, Card());
    QList<VCardProblem> problems;
    const auto text = [&](const RawProperty& property) { return DecodeValue(property, problems); };

    Contact contact;
    for (const RawProperty& fn : card.fn) {
        contact.name = Unescape(text(fn), card.version21).trimmed();
        if (!contact.name.isEmpty())
            break;
    }
    if (contact.name.isEmpty() && !card.n.isEmpty())
        contact.name = NameFromN(text(card.n.constFirst()), card.version21);
    // A company is often saved with its organisation alone.
    if (contact.name.isEmpty() && !card.org.isEmpty())
        contact.name = FirstComponent(text(card.org.constFirst()), card.version21);
    for (const RawProperty& tel : card.tel) {
        if (!IsFax(tel.params))
            continue;
        const QString number = CleanNumber(Unescape(text(tel), card.version21));
        if (!number.isEmpty()) {
            contact.faxNumbers.append(number);
            contact.faxPlaces.append(FaxPlaceOf(tel.params));
        }
    }
    if (!card.uid.isEmpty())
        contact.uid = Unescape(text(card.uid.constFirst()), card.version21).trimmed();

    for (const VCardProblem& problem : problems)
        Problem(problem.line, problem.what);
    if (contact.name.isEmpty()) {
        Problem(card.beginLine, QStringLiteral("card without a name (FN, N or ORG), skipped"));
        return;
    }
    m_result.contacts.append(std::move(contact));
    m_result.spans.append({card.beginByte, m_lineEnd});
}

void Reader::Problem(int line, const QString& what) {
    if (++m_problemCount <= kMaxProblems)
        m_result.problems.append({line, what});
}

} // namespace

VCardParse ParseVCards(QByteArrayView bytes) {
    return Reader().Run(bytes);
}

} // namespace faxapp
