#include "faxapp/contacts/VCardValue.h"

#include <QStringDecoder>
#include <functional>

namespace faxapp {

namespace {

// Calls f(key, value) for each parameter of ";A=b;C;D="e;f"": a bare one (2.1's "FAX") has an
// empty key. Semicolons inside double quotes belong to the value.
void ForEachParam(QByteArrayView params,
                  const std::function<void(QByteArrayView, QByteArrayView)>& f) {
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= params.size(); ++i) {
        if (i < params.size() && params[i] == '"')
            quoted = !quoted;
        if (i < params.size() && (quoted || params[i] != ';'))
            continue;
        const QByteArrayView param = params.sliced(start, i - start).trimmed();
        start = i + 1;
        if (param.isEmpty())
            continue;
        const qsizetype eq = param.indexOf('=');
        if (eq < 0)
            f({}, param);
        else
            f(param.first(eq).trimmed(), param.sliced(eq + 1).trimmed());
    }
}

bool Is(QByteArrayView a, const char* upper) {
    return a.compare(QByteArrayView(upper), Qt::CaseInsensitive) == 0;
}

QByteArrayView Unquote(QByteArrayView value) {
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        return value.sliced(1, value.size() - 2);
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray DecodeQuotedPrintable(QByteArrayView in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && HexDigit(in[i + 1]) >= 0 &&
            HexDigit(in[i + 2]) >= 0) {
            out.append(char(HexDigit(in[i + 1]) * 16 + HexDigit(in[i + 2])));
            i += 2;
        } else if (in[i] == '=' && i + 1 == in.size()) {
            break; // a soft break at the very end
        } else {
            out.append(in[i]);
        }
    }
    return out;
}

// The printable characters windows-1252 puts where ISO-8859-1 has C1 controls.
constexpr char16_t kCp1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString FromCp1252(QByteArrayView bytes) {
    QString text = QString::fromLatin1(bytes);
    for (QChar& c : text)
        if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
            c = QChar(kCp1252[c.unicode() - 0x80]);
    return text;
}

} // namespace

qsizetype ValueColon(QByteArrayView line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return line.indexOf(':');
}

QString DecodeValue(const RawProperty& property, QList<VCardProblem>& problems) {
    QByteArrayView charset;
    bool quotedPrintable = false;
    ForEachParam(property.params, [&](QByteArrayView key, QByteArrayView value) {
        if (Is(key, "CHARSET"))
            charset = Unquote(value);
        else if ((Is(key, "ENCODING") || key.isEmpty()) && Is(value, "QUOTED-PRINTABLE"))
            quotedPrintable = true;
    });
    QByteArray bytes = property.value;
    if (quotedPrintable) // 2.1's, and that of 3.0 writers that still use it
        bytes = DecodeQuotedPrintable(bytes);

    if (Is(charset, "ISO-8859-1") || Is(charset, "ISO8859-1") || Is(charset, "LATIN1"))
        return QString::fromLatin1(bytes);
    if (Is(charset, "WINDOWS-1252") || Is(charset, "CP1252"))
        return FromCp1252(bytes);
    const bool utf8 =
        charset.isEmpty() || Is(charset, "UTF-8") || Is(charset, "UTF8") || Is(charset, "US-ASCII");
    // Other character sets by name, as far as Qt knows them (through ICU where it has it).
    QStringDecoder decoder(QStringConverter::Utf8);
    if (!utf8)
        decoder = QStringDecoder(charset.toByteArray().constData());
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringConverter::Utf8);
        problems.append({property.line, QStringLiteral("unknown character set %1, read as UTF-8")
                                            .arg(QString::fromLatin1(charset))});
    }
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        problems.append({property.line, QStringLiteral("invalid bytes for the character set, "
                                                       "replaced")});
    return text;
}

QString Unescape(const QString& text, bool version21) {
    if (!text.contains(u'\\'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const QChar next = text.at(i + 1);
        if (version21 && next != u';') {
            out.append(c);
            continue;
        }
        ++i;
        out.append(next == u'n' || next == u'N' ? QChar(u'\n') : next);
    }
    return out;
}

namespace {

QStringList Components(const QString& text, bool version21) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text.at(i) == u'\\') {
            ++i;
            continue;
        }
        if (i < text.size() && text.at(i) != u';')
            continue;
        parts.append(Unescape(text.mid(start, i - start), version21).trimmed());
        start = i + 1;
    }
    return parts;
}

} // namespace

QString NameFromN(const QString& text, bool version21) {
    const QStringList parts = Components(text, version21);
    const QString family = parts.value(0);
    const QString given = parts.value(1);
    if (given.isEmpty() || family.isEmpty())
        return given + family;
    return given + u' ' + family;
}

QString FirstComponent(const QString& text, bool version21) {
    return Components(text, version21).value(0);
}

bool IsFax(QByteArrayView params) {
    bool fax = false;
    ForEachParam(params, [&](QByteArrayView key, QByteArrayView value) {
        if (!key.isEmpty() && !Is(key, "TYPE"))
            return;
        for (const QByteArray& type : Unquote(value).toByteArray().split(','))
            fax = fax || Is(Unquote(type.trimmed()), "FAX");
    });
    return fax;
}

FaxPlace FaxPlaceOf(QByteArrayView params) {
    bool work = false;
    bool home = false;
    ForEachParam(params, [&](QByteArrayView key, QByteArrayView value) {
        if (!key.isEmpty() && !Is(key, "TYPE"))
            return;
        for (const QByteArray& type : Unquote(value).toByteArray().split(',')) {
            const QByteArrayView word = Unquote(type.trimmed());
            work = work || Is(word, "WORK");
            home = home || Is(word, "HOME");
        }
    });
    if (work)
        return FaxPlace::Work;
    return home ? FaxPlace::Home : FaxPlace::Unspecified;
}

QString CleanNumber(QString number) {
    number = number.trimmed();
    if (number.startsWith(u"tel:", Qt::CaseInsensitive)) {
        number = number.mid(4);
        number.truncate(number.indexOf(u';') < 0 ? number.size() : number.indexOf(u';'));
        number = QString::fromUtf8(QByteArray::fromPercentEncoding(number.toUtf8()));
    }
    QString clean;
    clean.reserve(number.size());
    for (const QChar c : number)
        clean.append(c.category() == QChar::Other_Control ? QChar(u' ') : c);
    return clean.simplified();
}

} // namespace faxapp
