#include "support/CInternational.h"

#include "support/LocaleIntlSource.h"
#include "support/ThreadLocale.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <string>
#include <vector>

CInternational theInternational(std::make_shared<LocaleIntlSource>());

locale_t ThreadLocale::Classic() {
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return classic;
}

namespace {

// A setting's text as literal text of a strftime or printf pattern.
QString Literal(const QString& text) {
    QString escaped = text;
    escaped.replace(u'%', QStringLiteral("%%"));
    return escaped;
}

// A date pattern under construction: literal picture text and the conversions put in its
// place. The picture's fields are searched for in the literal text only, so a replacement
// never reaches into a conversion made by an earlier one.
class DatePattern {
public:
    explicit DatePattern(const QString& picture) { m_pieces.push_back({picture, false}); }

    bool ReplaceFirst(const QString& find, const QString& conversion) {
        if (find.isEmpty())
            return false;
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            if (m_pieces[i].conversion)
                continue;
            const qsizetype at = m_pieces[i].text.indexOf(find);
            if (at < 0)
                continue;
            const QString before = m_pieces[i].text.left(at);
            const QString after = m_pieces[i].text.mid(at + find.size());
            if (conversion.isEmpty()) {
                m_pieces[i].text = before + after;
            } else {
                m_pieces[i].text = before;
                m_pieces.insert(m_pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                {{conversion, true}, {after, false}});
            }
            return true;
        }
        return false;
    }

    QString Pattern() const {
        QString pattern;
        for (const Piece& piece : m_pieces)
            pattern += piece.conversion ? piece.text : Literal(piece.text);
        return pattern;
    }

private:
    struct Piece {
        QString text;
        bool conversion;
    };
    std::vector<Piece> m_pieces;
};

// printf of one pattern, numbers always with "." as decimal point whatever the process's
// locale, into a buffer as long as the result.
template <typename... Args> QString PrintPattern(const QString& pattern, Args... args) {
    const QByteArray format = pattern.toUtf8();
    const ThreadLocale scope(ThreadLocale::Classic());
    const int length = std::snprintf(nullptr, 0, format.constData(), args...);
    if (length <= 0)
        return {};
    QByteArray out(length, '\0');
    std::snprintf(out.data(), static_cast<std::size_t>(length) + 1, format.constData(), args...);
    return QString::fromUtf8(out);
}

// strftime of one pattern in the locale's language. wcsftime returns 0 both for an empty
// result and for a buffer too small, so the buffer grows up to a bound that no pattern of
// this length can exceed.
QString FormatCalendar(const QString& pattern, const std::tm& tm) {
    if (pattern.isEmpty())
        return {};
    const std::wstring format = pattern.toStdWString();
    const std::size_t limit = format.size() * 64 + 1024;
    for (std::size_t size = format.size() * 2 + 256; size <= limit; size *= 2) {
        std::wstring out(size, L'\0');
        const std::size_t length = std::wcsftime(out.data(), size, format.c_str(), &tm);
        if (length > 0) {
            out.resize(length);
            return QString::fromStdWString(out);
        }
    }
    return {};
}

bool ToLocalCalendar(std::time_t time, std::tm& tm) {
    return localtime_r(&time, &tm) != nullptr;
}

} // namespace

CInternational::CInternational(std::shared_ptr<const IntlSource> source)
    : m_source(std::move(source)) {}

void CInternational::SetSource(std::shared_ptr<const IntlSource> source) {
    m_source = std::move(source);
    Reset();
}

QString CInternational::ReadProfileString(const QString& key, const QString& defaultValue) const {
    std::optional<QString> value = m_source ? m_source->ReadString(key) : std::nullopt;
    if (!value)
        return defaultValue;
    QString text = *value;
    // A profile text ends at its first NUL and holds at most kMaxSettingLength characters;
    // the cut never splits a character made of two UTF-16 units.
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    if (text.size() > kMaxSettingLength) {
        qsizetype keep = kMaxSettingLength;
        if (text[keep - 1].isHighSurrogate())
            --keep;
        text.truncate(keep);
    }
    return text;
}

int CInternational::ReadProfileInt(const QString& key, int defaultValue) const {
    const std::optional<int> value = m_source ? m_source->ReadInt(key) : std::nullopt;
    return value.value_or(defaultValue);
}

void CInternational::Load() {
    m_iCountry = ReadProfileInt(QStringLiteral("iCountry"), 1);
    const int iCurrency = ReadProfileInt(QStringLiteral("iCurrency"), 0);
    const int iCurrDigits = ReadProfileInt(QStringLiteral("iCurrDigits"), 2);
    const int iNegCurr = ReadProfileInt(QStringLiteral("iNegCurr"), 0);
    const QString sCurrency = ReadProfileString(QStringLiteral("sCurrency"), QStringLiteral("$"));
    m_sDecimal = ReadProfileString(QStringLiteral("sDecimal"), QStringLiteral("."));
    const QString sShortDate =
        ReadProfileString(QStringLiteral("sShortDate"), QStringLiteral("M/d/yy"));
    m_iTime = ReadProfileInt(QStringLiteral("iTime"), 0);
    m_s1159 = ReadProfileString(QStringLiteral("s1159"), QStringLiteral("AM"));
    m_s2359 = ReadProfileString(QStringLiteral("s2359"), QStringLiteral("PM"));
    m_sTime = ReadProfileString(QStringLiteral("sTime"), QStringLiteral(":"));

    BuildCurrencyFormats(iCurrency, iCurrDigits, iNegCurr, sCurrency);
    BuildDateFormats(sShortDate);
    BuildTimeFormats(m_iTime, m_sTime, m_s1159, m_s2359);
}

void CInternational::Reset() {
    m_iCountry = 0;
    m_s1159.clear();
    m_s2359.clear();
    m_sTime.clear();
    m_strCurrencyFormat.clear();
    m_strNegCurrencyFormat.clear();
    m_sDecimal.clear();
    for (QString& format : m_strDateFormat)
        format.clear();
    m_strTimeFormatSeconds.clear();
    m_strTimeFormat.clear();
    m_strDurationFormatSeconds.clear();
    m_strDurationFormat.clear();
    m_strAmSuffix.clear();
    m_strPmSuffix.clear();
}

bool CInternational::ReplaceFirst(QString& text, const QString& find, const QString& replacement) {
    if (text.isEmpty() || find.isEmpty())
        return false;
    const qsizetype at = text.indexOf(find);
    if (at < 0)
        return false;
    text.replace(at, find.size(), replacement);
    return true;
}

void CInternational::BuildCurrencyFormats(int iCurrency, int iCurrDigits, int iNegCurr,
                                          const QString& sCurrency) {
    // A negative precision would be no conversion at all, a huge one a huge text.
    const int digits = std::clamp(iCurrDigits, 0, kMaxCurrencyDigits);
    const QString s = Literal(sCurrency);
    const QString f = QStringLiteral("%.") + QString::number(digits) + u'f';

    switch (iCurrency) {
    case 1:
        m_strCurrencyFormat = f + s;
        break;
    case 2:
        m_strCurrencyFormat = s + u' ' + f;
        break;
    case 3:
        m_strCurrencyFormat = f + u' ' + s;
        break;
    default:
        m_strCurrencyFormat = s + f;
        break;
    }

    switch (iNegCurr) {
    case 1:
    case 9:
        m_strNegCurrencyFormat = u'-' + s + f;
        break;
    case 2:
        m_strNegCurrencyFormat = s + u'-' + f;
        break;
    case 3:
        m_strNegCurrencyFormat = s + f + u'-';
        break;
    case 4:
        m_strNegCurrencyFormat = u'(' + f + s + u')';
        break;
    case 5:
        m_strNegCurrencyFormat = u'-' + f + s;
        break;
    case 6:
        m_strNegCurrencyFormat = f + u'-' + s;
        break;
    case 7:
        m_strNegCurrencyFormat = f + s + u'-';
        break;
    case 8:
        m_strNegCurrencyFormat = u'-' + f + u' ' + s;
        break;
    default:
        m_strNegCurrencyFormat = u'(' + s + f + u')';
        break;
    }
}

void CInternational::BuildDateFormats(const QString& picture) {
    DatePattern pattern(picture);
    pattern.ReplaceFirst(QStringLiteral("dddd"), QStringLiteral("%A"));
    pattern.ReplaceFirst(QStringLiteral("ddd"), QStringLiteral("%a"));
    if (!pattern.ReplaceFirst(QStringLiteral("dd"), QStringLiteral("%d")))
        pattern.ReplaceFirst(QStringLiteral("d"), QStringLiteral("%d"));
    pattern.ReplaceFirst(QStringLiteral("MMMM"), QStringLiteral("%B"));
    pattern.ReplaceFirst(QStringLiteral("MMM"), QStringLiteral("%b"));
    pattern.ReplaceFirst(QStringLiteral("MM"), QStringLiteral("%m"));
    pattern.ReplaceFirst(QStringLiteral("M"), QStringLiteral("%m"));

    static const QString kYear[3] = {QString(), QStringLiteral("%y"), QStringLiteral("%Y")};
    for (int style = 0; style < 3; ++style) {
        DatePattern withYear = pattern;
        withYear.ReplaceFirst(QStringLiteral("yyyy"), kYear[style]);
        withYear.ReplaceFirst(QStringLiteral("yy"), kYear[style]);
        m_strDateFormat[style] = withYear.Pattern();
    }
}

void CInternational::BuildTimeFormats(int iTime, const QString& sTime, const QString& s1159,
                                      const QString& s2359) {
    const QString separator = Literal(sTime);
    m_strTimeFormat = (iTime == 1 ? QStringLiteral("%H") : QStringLiteral("%I")) + separator +
                      QStringLiteral("%M");
    m_strTimeFormatSeconds = m_strTimeFormat + separator + QStringLiteral("%S");
    if (iTime == 1) {
        m_strAmSuffix.clear();
        m_strPmSuffix.clear();
    } else {
        m_strAmSuffix = u' ' + s1159;
        m_strPmSuffix = u' ' + s2359;
    }
    m_strDurationFormatSeconds = QStringLiteral("%ld") + separator + QStringLiteral("%02d") +
                                 separator + QStringLiteral("%02d");
    m_strDurationFormat = QStringLiteral("%ld") + separator + QStringLiteral("%02d");
}

QString CInternational::DateFormat(int style) const {
    if (style < 0 || style > 2)
        return {};
    return m_strDateFormat[style];
}

int CInternational::FormatAmount(QString& text, double amount) {
    if (amount < 0)
        text = PrintPattern(m_strNegCurrencyFormat, amount * -1);
    else
        text = PrintPattern(m_strCurrencyFormat, amount);
    // The number is printed with "."; the first "." of the text becomes the decimal separator.
    ReplaceFirst(text, QStringLiteral("."), m_sDecimal);
    return static_cast<int>(text.size());
}

int CInternational::FormatCurrency(QString& text, double amount) {
    EnsureLoaded();
    return FormatAmount(text, amount * 0.01);
}

int CInternational::FormatCurrency(QString& text, qint32 amount) {
    EnsureLoaded();
    // In floating point, so that the most negative amount has a magnitude too.
    return FormatAmount(text, static_cast<double>(amount) * 0.01);
}

int CInternational::FormatDate(QString& text, std::time_t time, int style) {
    EnsureLoaded();
    std::tm tm{};
    if (style < 0 || style > 2 || !ToLocalCalendar(time, tm)) {
        text.clear();
        return 0;
    }
    text = FormatCalendar(m_strDateFormat[style], tm);
    return static_cast<int>(text.size());
}

int CInternational::FormatTime(QString& text, std::time_t time, int withSeconds) {
    EnsureLoaded();
    std::tm tm{};
    if (!ToLocalCalendar(time, tm)) {
        text.clear();
        return 0;
    }
    text = FormatCalendar(withSeconds == 1 ? m_strTimeFormatSeconds : m_strTimeFormat, tm);
    text += tm.tm_hour >= 12 ? m_strPmSuffix : m_strAmSuffix;
    return static_cast<int>(text.size());
}

int CInternational::FormatDuration(QString& text, qint32 seconds, int withSeconds) {
    EnsureLoaded();
    const long hours = seconds / 3600;
    const int minutes = static_cast<int>(seconds / 60 - hours * 60);
    const int rest = seconds - (seconds / 60) * 60;
    if (withSeconds == 1)
        text = PrintPattern(m_strDurationFormatSeconds, hours, minutes, rest);
    else
        text = PrintPattern(m_strDurationFormat, hours, minutes);
    return static_cast<int>(text.size());
}

QString GetDateText(std::time_t time) {
    QString text;
    theInternational.FormatDate(text, time, 2);
    return text;
}

QString GetTimeText(std::time_t time) {
    QString text;
    theInternational.FormatTime(text, time, 0);
    return text;
}
