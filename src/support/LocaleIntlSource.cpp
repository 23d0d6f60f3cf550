#include "support/LocaleIntlSource.h"

#include "support/ThreadLocale.h"

#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace {

// One strftime conversion: "%", flags, width, an E or O modifier, the conversion letter.
struct Conversion {
    QChar letter;
    bool noPadding = false;
    qsizetype end = 0; // index after the conversion
};

std::optional<Conversion> ParseConversion(const QString& format, qsizetype percent) {
    qsizetype i = percent + 1;
    Conversion conversion;
    while (i < format.size() && QStringView(u"-_0^#").contains(format[i])) {
        if (format[i] == u'-')
            conversion.noPadding = true;
        ++i;
    }
    while (i < format.size() && format[i].isDigit())
        ++i;
    if (i < format.size() && (format[i] == u'E' || format[i] == u'O'))
        ++i;
    if (i >= format.size())
        return std::nullopt;
    conversion.letter = format[i];
    conversion.end = i + 1;
    return conversion;
}

// Text in the locale that the calling thread uses, as the C library decodes it.
std::optional<QString> Decode(const char* text) {
    if (!text)
        return std::nullopt;
    std::mbstate_t state{};
    const char* source = text;
    const std::size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1))
        return std::nullopt;
    std::wstring wide(length, L'\0');
    source = text;
    state = std::mbstate_t{};
    std::mbsrtowcs(wide.data(), &source, length, &state);
    return QString::fromStdWString(wide);
}

std::optional<QString> NonEmpty(const std::optional<QString>& text) {
    if (text && !text->isEmpty())
        return text;
    return std::nullopt;
}

std::optional<int> Field(char value) {
    if (value == CHAR_MAX || value < 0)
        return std::nullopt;
    return static_cast<int>(value);
}

// The C and POSIX locales describe no region.
bool IsNeutral(locale_t locale, int category) {
    const char* name = nl_langinfo_l(_NL_LOCALE_NAME(category), locale);
    if (!name)
        return true;
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

} // namespace

std::optional<QString> LocaleIntlSource::DatePicture(const QString& dateFormat) {
    QString picture;
    for (qsizetype i = 0; i < dateFormat.size();) {
        const QChar c = dateFormat[i];
        if (c != u'%') {
            // A literal d, M or y would read as a field of the picture.
            if (c == u'd' || c == u'M' || c == u'y')
                return std::nullopt;
            picture += c;
            ++i;
            continue;
        }
        const auto conversion = ParseConversion(dateFormat, i);
        if (!conversion)
            return std::nullopt;
        switch (conversion->letter.unicode()) {
        case u'd':
            picture += conversion->noPadding ? u"d" : u"dd";
            break;
        case u'e':
            picture += u"d";
            break;
        case u'm':
            picture += conversion->noPadding ? u"M" : u"MM";
            break;
        case u'y':
            picture += u"yy";
            break;
        case u'Y':
            picture += u"yyyy";
            break;
        case u'b':
        case u'h':
            picture += u"MMM";
            break;
        case u'B':
            picture += u"MMMM";
            break;
        case u'a':
            picture += u"ddd";
            break;
        case u'A':
            picture += u"dddd";
            break;
        case u'D':
            picture += u"MM/dd/yy";
            break;
        case u'F':
            picture += u"yyyy-MM-dd";
            break;
        case u'n':
            picture += u'\n';
            break;
        case u't':
            picture += u'\t';
            break;
        case u'%':
            picture += u'%';
            break;
        default:
            return std::nullopt;
        }
        i = conversion->end;
    }
    if (picture.isEmpty())
        return std::nullopt;
    return picture;
}

LocaleIntlSource::Clock LocaleIntlSource::ClockFromFormat(const QString& timeFormat,
                                                          const QString& amPmFormat) {
    // Expand the shorthands once; %r stands for the 12-hour format of the locale.
    QString format;
    for (qsizetype i = 0; i < timeFormat.size();) {
        if (timeFormat[i] != u'%') {
            format += timeFormat[i++];
            continue;
        }
        const auto conversion = ParseConversion(timeFormat, i);
        if (!conversion) {
            format += timeFormat.mid(i);
            break;
        }
        if (conversion->letter == u'T')
            format += u"%H:%M:%S";
        else if (conversion->letter == u'R')
            format += u"%H:%M";
        else if (conversion->letter == u'r')
            format += amPmFormat;
        else
            format += timeFormat.mid(i, conversion->end - i);
        i = conversion->end;
    }

    Clock clock;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u'%')
            continue;
        const auto hour = ParseConversion(format, i);
        if (!hour)
            break;
        if (hour->letter == u'%') {
            i = hour->end - 1;
            continue;
        }
        if (hour->letter == u'H' || hour->letter == u'k')
            clock.iTime = 1;
        else if (hour->letter == u'I' || hour->letter == u'l')
            clock.iTime = 0;
        else {
            i = hour->end - 1;
            continue;
        }
        // The separator is the literal text between the hour and a minute conversion.
        QString separator;
        qsizetype j = hour->end;
        while (j < format.size()) {
            if (format[j] != u'%') {
                separator += format[j++];
                continue;
            }
            const auto next = ParseConversion(format, j);
            if (!next)
                break;
            if (next->letter == u'%') {
                separator += u'%';
                j = next->end;
                continue;
            }
            if (next->letter == u'M' && !separator.isEmpty())
                clock.sTime = separator;
            break;
        }
        break;
    }
    return clock;
}

std::optional<int> LocaleIntlSource::CurrencyPlacement(int csPrecedes, int sepBySpace) {
    if (csPrecedes < 0 || csPrecedes > 1 || sepBySpace < 0 || sepBySpace > 2)
        return std::nullopt;
    const bool space = sepBySpace == 1;
    if (csPrecedes == 1)
        return space ? 2 : 0;
    return space ? 3 : 1;
}

std::optional<int> LocaleIntlSource::NegativeCurrencyPlacement(int csPrecedes, int sepBySpace,
                                                               int signPosn) {
    if (csPrecedes < 0 || csPrecedes > 1 || sepBySpace < 0 || sepBySpace > 2 || signPosn < 0 ||
        signPosn > 4)
        return std::nullopt;
    // Rows: symbol before or after the amount, without or with a blank between them;
    // columns: n_sign_posn 0 (parentheses) to 4 (sign right after the symbol).
    static constexpr int kCodes[2][2][5] = {
        {{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},
        {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}},
    };
    return kCodes[csPrecedes][sepBySpace == 1 ? 1 : 0][signPosn];
}

LocaleIntlSource::LocaleIntlSource(const QByteArray& localeName) {
    // An empty name asks newlocale for the environment's locale.
    locale_t locale =
        newlocale(LC_ALL_MASK, localeName.constData(), static_cast<locale_t>(nullptr));
    if (!locale)
        return;
    m_available = true;
    {
        const ThreadLocale scope(locale);

        if (!IsNeutral(locale, LC_TIME)) {
            const auto dateFormat = Decode(nl_langinfo(D_FMT));
            if (dateFormat)
                SetString("sShortDate", DatePicture(*dateFormat));
            const auto timeFormat = Decode(nl_langinfo(T_FMT));
            const auto amPmFormat = Decode(nl_langinfo(T_FMT_AMPM));
            if (timeFormat) {
                const Clock clock = ClockFromFormat(*timeFormat, amPmFormat.value_or(QString()));
                SetInt("iTime", clock.iTime);
                SetString("sTime", clock.sTime);
            }
            SetString("s1159", NonEmpty(Decode(nl_langinfo(AM_STR))));
            SetString("s2359", NonEmpty(Decode(nl_langinfo(PM_STR))));
        }
        if (!IsNeutral(locale, LC_NUMERIC))
            SetString("sDecimal", NonEmpty(Decode(nl_langinfo(RADIXCHAR))));
        if (!IsNeutral(locale, LC_MONETARY)) {
            const lconv* conv = localeconv();
            SetString("sCurrency", NonEmpty(Decode(conv->currency_symbol)));
            SetInt("iCurrDigits", Field(conv->frac_digits));
            const auto precedes = Field(conv->p_cs_precedes);
            const auto space = Field(conv->p_sep_by_space);
            if (precedes && space)
                SetInt("iCurrency", CurrencyPlacement(*precedes, *space));
            const auto negPrecedes = Field(conv->n_cs_precedes);
            const auto negSpace = Field(conv->n_sep_by_space);
            const auto negSign = Field(conv->n_sign_posn);
            if (negPrecedes && negSpace && negSign)
                SetInt("iNegCurr", NegativeCurrencyPlacement(*negPrecedes, *negSpace, *negSign));
        }
        if (!IsNeutral(locale, LC_TELEPHONE)) {
            const auto prefix = Decode(nl_langinfo(_NL_TELEPHONE_INT_PREFIX));
            if (prefix && ParseProfileInt(*prefix) > 0)
                SetInt("iCountry", ParseProfileInt(*prefix));
        }
    }
    freelocale(locale);
}

void LocaleIntlSource::SetString(const char* key, const std::optional<QString>& value) {
    if (value)
        m_strings.insert(QString::fromLatin1(key).toLower(), *value);
}

void LocaleIntlSource::SetInt(const char* key, const std::optional<int>& value) {
    if (value)
        m_ints.insert(QString::fromLatin1(key).toLower(), *value);
}

std::optional<QString> LocaleIntlSource::ReadString(const QString& key) const {
    const auto it = m_strings.constFind(key.toLower());
    if (it == m_strings.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<int> LocaleIntlSource::ReadInt(const QString& key) const {
    const auto it = m_ints.constFind(key.toLower());
    if (it == m_ints.constEnd())
        return std::nullopt;
    return *it;
}
