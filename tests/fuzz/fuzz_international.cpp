// Regional settings: an IntlSource answers the classic keys with values from the input (for
// each key a byte: 0 unknown, else the value follows: a text field, in which byte 1 stands for
// NUL, or an integer, one byte or with bit 1 four), then an amount and a duration. Whatever the
// settings, every text's length is what the call returns; a time is the hour, the minute and the
// second with the separator and the suffix; a duration the hours, minutes and seconds with the
// separator; a date picture without fields comes out as it is and its year fields as the year; an
// amount has the digits of its value, the currency symbol and the decimal separator.

#include "FuzzInput.h"
#include "support/CInternational.h"

#include <QHash>
#include <cstdlib>

namespace {

class FuzzIntlSource final : public IntlSource {
public:
    std::optional<QString> ReadString(const QString& key) const override {
        const auto it = texts.constFind(key.toLower());
        return it == texts.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
    std::optional<int> ReadInt(const QString& key) const override {
        const auto it = numbers.constFind(key.toLower());
        return it == numbers.constEnd() ? std::nullopt : std::optional<int>(*it);
    }
    QHash<QString, QString> texts;
    QHash<QString, int> numbers;
};

// A text setting as the program takes it: up to the first NUL, at most 79 characters, no
// half of a surrogate pair at the end.
QString Setting(const FuzzIntlSource& source, const char* key, const char* defaultValue) {
    QString text = source.ReadString(QLatin1String(key)).value_or(QLatin1String(defaultValue));
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0)
        text.truncate(nul);
    if (text.size() > CInternational::kMaxSettingLength)
        text.truncate(CInternational::kMaxSettingLength -
                      (text.at(CInternational::kMaxSettingLength - 1).isHighSurrogate() ? 1 : 0));
    return text;
}

QString AsciiDigits(const QString& text) {
    QString digits;
    for (QChar c : text)
        if (c >= u'0' && c <= u'9')
            digits += c;
    return digits;
}

QString TwoDigits(qint64 n) {
    return QString::number(n).rightJustified(2, u'0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    auto source = std::make_shared<FuzzIntlSource>();
    for (const char* key : {"iCountry", "iCurrency", "iCurrDigits", "iNegCurr", "iTime"}) {
        const std::uint8_t present = input.Byte();
        if (present != 0)
            source->numbers.insert(QString::fromLatin1(key).toLower(),
                                   (present & 2) != 0 ? input.Int32()
                                                      : static_cast<std::int8_t>(input.Byte()));
    }
    for (const char* key : {"sCurrency", "sDecimal", "sShortDate", "s1159", "s2359", "sTime"}) {
        if (input.Byte() != 0)
            source->texts.insert(QString::fromLatin1(key).toLower(),
                                 input.Text().replace(u'\x01', u'\0'));
    }
    const qint32 amount = input.Int32();
    const qint32 seconds = input.Int32() & 0x7fffffff;

    CInternational intl(source);
    const QString sep = Setting(*source, "sTime", ":");
    const QString picture = Setting(*source, "sShortDate", "M/d/yy");
    const QString currency = Setting(*source, "sCurrency", "$");
    const QString decimal = Setting(*source, "sDecimal", ".");
    const bool clock24 = source->ReadInt(QStringLiteral("iTime")).value_or(0) == 1;
    const int digits =
        std::clamp(source->ReadInt(QStringLiteral("iCurrDigits")).value_or(2), 0, 99);

    // 5 March 2024, 14:07:09 local time.
    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 14;
    tm.tm_min = 7;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    const std::time_t when = std::mktime(&tm);

    QString text;
    for (int withSeconds = 0; withSeconds < 2; ++withSeconds) {
        FUZZ_CHECK(intl.FormatTime(text, when, withSeconds) == text.size());
        QString expected =
            (clock24 ? QStringLiteral("14") : QStringLiteral("02")) + sep + QStringLiteral("07");
        if (withSeconds)
            expected += sep + QStringLiteral("09");
        if (!clock24)
            expected += u' ' + Setting(*source, "s2359", "PM");
        FUZZ_CHECK(text == expected);

        FUZZ_CHECK(intl.FormatDuration(text, seconds, withSeconds) == text.size());
        expected = QString::number(seconds / 3600) + sep + TwoDigits(seconds / 60 % 60);
        if (withSeconds)
            expected += sep + TwoDigits(seconds % 60);
        FUZZ_CHECK(text == expected);
    }

    const bool hasFields =
        picture.contains(u'd') || picture.contains(u'M') || picture.contains(u'y');
    for (int style = 0; style < 3; ++style) {
        FUZZ_CHECK(intl.FormatDate(text, when, style) == text.size());
        if (!hasFields)
            FUZZ_CHECK(text == picture);
        if (picture.contains(QLatin1String("yy")) && style > 0)
            FUZZ_CHECK(text.contains(style == 2 ? QLatin1String("2024") : QLatin1String("24")));
    }
    FUZZ_CHECK(intl.FormatDate(text, when, 3) == 0 && text.isEmpty());

    FUZZ_CHECK(intl.FormatCurrency(text, amount) == text.size());
    const auto plain = [](const QString& s) {
        return !s.contains(u'.') && AsciiDigits(s).isEmpty();
    };
    // With more than six decimals the binary error of amount * 0.01 may show.
    if (digits >= 2 && digits <= 6 && plain(currency) && plain(decimal)) {
        const qint64 cents = std::llabs(static_cast<qint64>(amount));
        const QString expected =
            QString::number(cents / 100) + TwoDigits(cents % 100) + QString(digits - 2, u'0');
        FUZZ_CHECK(AsciiDigits(text) == expected);
        FUZZ_CHECK(text.contains(currency) && text.contains(decimal));
    }
    return 0;
}
