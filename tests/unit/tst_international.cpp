#include "TestRegistry.h"
#include "platform/StoreIntlSource.h"
#include "support/CInternational.h"
#include "support/LocaleIntlSource.h"

#include <QTest>
#include <clocale>
#include <ctime>
#include <limits>

namespace {

// Settings given as a map: texts as QString, integers as int. Counts the reads of iCountry,
// which Load reads first.
class MapSource final : public IntlSource {
public:
    explicit MapSource(const QVariantMap& values) {
        for (auto it = values.begin(); it != values.end(); ++it)
            m_values.insert(it.key().toLower(), it.value());
    }
    std::optional<QString> ReadString(const QString& key) const override {
        const QVariant value = m_values.value(key.toLower());
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    }
    std::optional<int> ReadInt(const QString& key) const override {
        if (key.compare(u"iCountry", Qt::CaseInsensitive) == 0)
            ++m_countryReads;
        const QVariant value = m_values.value(key.toLower());
        if (value.typeId() != QMetaType::Int)
            return std::nullopt;
        return value.toInt();
    }
    int CountryReads() const { return m_countryReads; }

private:
    QHash<QString, QVariant> m_values;
    mutable int m_countryReads = 0;
};

std::shared_ptr<MapSource> Settings(const QVariantMap& values) {
    return std::make_shared<MapSource>(values);
}

// A local time in January (no daylight-saving change near it).
std::time_t Local(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

const QVariantMap kGerman{{"sShortDate", QString("dd.MM.yyyy")},
                          {"iTime", 1},
                          {"sTime", QString(":")},
                          {"sDecimal", QString(",")}};

bool LocaleAvailable(const char* name) {
    locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (!locale)
        return false;
    freelocale(locale);
    return true;
}

} // namespace

class TestInternational : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void patterns_data();
    void patterns();
    void currency_data();
    void currency();
    void currencyFloatingPoint();
    void longTexts();
    void time_data();
    void time();
    void dates();
    void noCalendarForm();
    void duration_data();
    void duration();
    void loading();
    void globalObject();
    void datePicture_data();
    void datePicture();
    void clockFromFormat_data();
    void clockFromFormat();
    void negativePlacement_data();
    void negativePlacement();
    void localeValues_data();
    void localeValues();
    void storeBeforeLocale();
    void germanLocaleWithEmptyStore();
    void namesFromProcessLocale();
};

void TestInternational::patterns_data() {
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<QStringList>("dates"); // styles 0, 1, 2
    QTest::addColumn<QStringList>("times"); // without, with seconds, am, pm suffix
    QTest::addColumn<QStringList>("money"); // positive, negative
    QTest::addColumn<QStringList>("durations");

    QTest::newRow("no values") << QVariantMap{} << QStringList{"%m/%d/", "%m/%d/%y", "%m/%d/%Y"}
                               << QStringList{"%I:%M", "%I:%M:%S", " AM", " PM"}
                               << QStringList{"$%.2f", "($%.2f)"}
                               << QStringList{"%ld:%02d", "%ld:%02d:%02d"};
    QTest::newRow("german") << kGerman << QStringList{"%d.%m.", "%d.%m.%y", "%d.%m.%Y"}
                            << QStringList{"%H:%M", "%H:%M:%S", "", ""}
                            << QStringList{"$%.2f", "($%.2f)"}
                            << QStringList{"%ld:%02d", "%ld:%02d:%02d"};
    QTest::newRow("long names") << QVariantMap{{"sShortDate", QString("dddd, MMMM dd, yyyy")}}
                                << QStringList{"%A, %B %d, ", "%A, %B %d, %y", "%A, %B %d, %Y"}
                                << QStringList{"%I:%M", "%I:%M:%S", " AM", " PM"}
                                << QStringList{"$%.2f", "($%.2f)"}
                                << QStringList{"%ld:%02d", "%ld:%02d:%02d"};
    QTest::newRow("short names, one-digit day, two-digit year")
        << QVariantMap{{"sShortDate", QString("ddd d MMM yy")}}
        << QStringList{"%a %d %b ", "%a %d %b %y", "%a %d %b %Y"}
        << QStringList{"%I:%M", "%I:%M:%S", " AM", " PM"} << QStringList{"$%.2f", "($%.2f)"}
        << QStringList{"%ld:%02d", "%ld:%02d:%02d"};
    QTest::newRow("designators and separator")
        << QVariantMap{{"iTime", 0},
                       {"s1159", QString("vorm.")},
                       {"s2359", QString("nachm.")},
                       {"sTime", QString(".")}}
        << QStringList{"%m/%d/", "%m/%d/%y", "%m/%d/%Y"}
        << QStringList{"%I.%M", "%I.%M.%S", " vorm.", " nachm."} << QStringList{"$%.2f", "($%.2f)"}
        << QStringList{"%ld.%02d", "%ld.%02d.%02d"};
    // A "%" in a setting stays literal text of the patterns.
    QTest::newRow("percent signs")
        << QVariantMap{{"sShortDate", QString("d%M%yy")},
                       {"sTime", QString("%")},
                       {"sCurrency", QString("%s")}}
        << QStringList{"%d%%%m%%", "%d%%%m%%%y", "%d%%%m%%%Y"}
        << QStringList{"%I%%%M", "%I%%%M%%%S", " AM", " PM"} << QStringList{"%%s%.2f", "(%%s%.2f)"}
        << QStringList{"%ld%%%02d", "%ld%%%02d%%%02d"};
    // A field found again next to a conversion already made is not merged into it.
    QTest::newRow("five y") << QVariantMap{{"sShortDate", QString("yyyyy")}}
                            << QStringList{"y", "%yy", "%Yy"}
                            << QStringList{"%I:%M", "%I:%M:%S", " AM", " PM"}
                            << QStringList{"$%.2f", "($%.2f)"}
                            << QStringList{"%ld:%02d", "%ld:%02d:%02d"};
}

void TestInternational::patterns() {
    QFETCH(QVariantMap, settings);
    QFETCH(QStringList, dates);
    QFETCH(QStringList, times);
    QFETCH(QStringList, money);
    QFETCH(QStringList, durations);

    CInternational intl(Settings(settings));
    intl.Load();
    QCOMPARE((QStringList{intl.DateFormat(0), intl.DateFormat(1), intl.DateFormat(2)}), dates);
    QCOMPARE((QStringList{intl.TimeFormat(false), intl.TimeFormat(true), intl.AmSuffix(),
                          intl.PmSuffix()}),
             times);
    QCOMPARE((QStringList{intl.CurrencyFormat(), intl.NegCurrencyFormat()}), money);
    QCOMPARE((QStringList{intl.DurationFormat(false), intl.DurationFormat(true)}), durations);
}

void TestInternational::currency_data() {
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<int>("amount");
    QTest::addColumn<QString>("text");

    QTest::newRow("default") << QVariantMap{} << 1234 << "$12.34";
    QTest::newRow("default negative") << QVariantMap{} << -1234 << "($12.34)";
    QTest::newRow("zero") << QVariantMap{} << 0 << "$0.00";
    QVariantMap dm = kGerman;
    dm.insert("iCurrency", 3);
    dm.insert("sCurrency", QString("DM"));
    dm.insert("iCurrDigits", 2);
    QTest::newRow("DM after the amount") << dm << 1234 << "12,34 DM";
    QTest::newRow("iCurrency 1") << QVariantMap{{"iCurrency", 1}} << 1234 << "12.34$";
    QTest::newRow("iCurrency 2") << QVariantMap{{"iCurrency", 2}} << 1234 << "$ 12.34";
    QTest::newRow("iCurrency 7") << QVariantMap{{"iCurrency", 7}} << 1234 << "$12.34";

    const char* negatives[] = {"($12.34)", "-$12.34", "$-12.34", "$12.34-",  "(12.34$)",
                               "-12.34$",  "12.34-$", "12.34$-", "-12.34 $", "-$12.34"};
    for (int code = 0; code <= 9; ++code)
        QTest::addRow("iNegCurr %d", code)
            << QVariantMap{{"iNegCurr", code}} << -1234 << QString::fromLatin1(negatives[code]);
    QTest::newRow("iNegCurr 12") << QVariantMap{{"iNegCurr", 12}} << -1234 << "($12.34)";
    QTest::newRow("iNegCurr -1") << QVariantMap{{"iNegCurr", -1}} << -1234 << "($12.34)";

    QTest::newRow("dot of a symbol before the amount")
        << QVariantMap{{"sCurrency", QString("S/.")}, {"sDecimal", QString(",")}} << 1234
        << "S/,12.34";
    QTest::newRow("no decimals") << QVariantMap{{"iCurrDigits", 0}} << 1234 << "$12";
    QTest::newRow("three decimals") << QVariantMap{{"iCurrDigits", 3}} << 1234 << "$12.340";
    QTest::newRow("negative decimals") << QVariantMap{{"iCurrDigits", -3}} << 1234 << "$12";
    QTest::newRow("empty decimal separator")
        << QVariantMap{{"sDecimal", QString("")}} << 1234 << "$1234";
    QTest::newRow("conversion in the symbol")
        << QVariantMap{{"sCurrency", QString("%s%n")}} << 1234 << "%s%n12.34";
    QTest::newRow("euro") << QVariantMap{{"sCurrency", QString("€")},
                                         {"iCurrency", 3},
                                         {"sDecimal", QString(",")}}
                          << 1234 << "12,34 €";
    QTest::newRow("most negative")
        << QVariantMap{} << std::numeric_limits<int>::min() << "($21474836.48)";
}

void TestInternational::currency() {
    QFETCH(QVariantMap, settings);
    QFETCH(int, amount);
    QFETCH(QString, text);

    CInternational intl(Settings(settings));
    QString out;
    QCOMPARE(intl.FormatCurrency(out, static_cast<qint32>(amount)), text.size());
    QCOMPARE(out, text);
}

void TestInternational::currencyFloatingPoint() {
    CInternational intl(Settings({{"iNegCurr", 8}, {"sDecimal", QString(",")}}));
    QString out;
    QCOMPARE(intl.FormatCurrency(out, 1234.0), 6);
    QCOMPARE(out, "$12,34");
    intl.FormatCurrency(out, -250000.0);
    QCOMPARE(out, "-2500,00 $");
    // Far beyond any fixed buffer.
    intl.FormatCurrency(out, 1e300);
    QVERIFY(out.size() > 290);
    QVERIFY(out.startsWith(u"$1"));
}

void TestInternational::longTexts() {
    const QString symbol = QString(u'€').repeated(200);
    const QString separator = QStringLiteral("%-sep-%");
    CInternational intl(Settings({{"sCurrency", symbol},
                                  {"iNegCurr", 5},
                                  {"sTime", separator},
                                  {"s1159", QString(300, u'a')}}));
    QString out;
    intl.FormatCurrency(out, 1234);
    // A setting holds at most 79 characters; the rest of the text is whole.
    QCOMPARE(out, symbol.left(CInternational::kMaxSettingLength) + "12.34");
    intl.FormatCurrency(out, -5);
    QCOMPARE(out, "-0.05" + symbol.left(CInternational::kMaxSettingLength));

    intl.FormatDuration(out, 3725, 1);
    QCOMPARE(out, "1" + separator + "02" + separator + "05");
    intl.FormatTime(out, Local(2024, 1, 15, 9, 5, 7), 1);
    QCOMPARE(out, "09" + separator + "05" + separator + "07 " +
                      QString(CInternational::kMaxSettingLength, u'a'));

    // A character of two UTF-16 units at the cut is left out whole.
    const QString clef = QStringLiteral("\U0001D11E");
    CInternational cut(Settings({{"sCurrency", QString(78, u'x') + clef}}));
    cut.FormatCurrency(out, 100);
    QCOMPARE(out, QString(78, u'x') + "1.00");
    // A text ends at a NUL, as a profile text does.
    CInternational nul(Settings({{"sCurrency", QString("EU") + QChar(0) + "R"}}));
    nul.FormatCurrency(out, 100);
    QCOMPARE(out, "EU1.00");
}

void TestInternational::time_data() {
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("withSeconds");
    QTest::addColumn<QString>("text");

    const QVariantMap twelve{{"iTime", 0}, {"s1159", QString("am")}, {"s2359", QString("pm")}};
    QTest::newRow("11:59") << twelve << 11 << 59 << 0 << "11:59 am";
    QTest::newRow("12:00") << twelve << 12 << 0 << 0 << "12:00 pm";
    QTest::newRow("12:30") << twelve << 12 << 30 << 0 << "12:30 pm";
    QTest::newRow("00:30") << twelve << 0 << 30 << 0 << "12:30 am";
    QTest::newRow("23:59 with seconds") << twelve << 23 << 59 << 1 << "11:59:08 pm";
    QTest::newRow("flag 2 is no seconds") << twelve << 23 << 59 << 2 << "11:59 pm";
    QTest::newRow("defaults") << QVariantMap{} << 15 << 7 << 0 << "03:07 PM";
    QTest::newRow("24-hour") << kGerman << 15 << 7 << 0 << "15:07";
    QTest::newRow("24-hour with seconds") << kGerman << 0 << 30 << 1 << "00:30:08";
    QTest::newRow("empty designators")
        << QVariantMap{{"s1159", QString("")}, {"s2359", QString("")}} << 8 << 0 << 0 << "08:00 ";
}

void TestInternational::time() {
    QFETCH(QVariantMap, settings);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, withSeconds);
    QFETCH(QString, text);

    CInternational intl(Settings(settings));
    QString out;
    QCOMPARE(intl.FormatTime(out, Local(2024, 1, 15, hour, minute, 8), withSeconds), text.size());
    QCOMPARE(out, text);
}

void TestInternational::dates() {
    const std::time_t when = Local(2024, 1, 5, 10, 0);
    QString out;
    CInternational us(Settings({}));
    QCOMPARE(us.FormatDate(out, when, 0), 6);
    QCOMPARE(out, "01/05/");
    us.FormatDate(out, when, 1);
    QCOMPARE(out, "01/05/24");
    us.FormatDate(out, when, 2);
    QCOMPARE(out, "01/05/2024");

    CInternational german(Settings(kGerman));
    german.FormatDate(out, when, 0);
    QCOMPARE(out, "05.01.");
    german.FormatDate(out, when, 1);
    QCOMPARE(out, "05.01.24");
    QCOMPARE(german.FormatDate(out, when, 2), 10);
    QCOMPARE(out, "05.01.2024");

    // Names as the process's locale gives them (C here).
    CInternational names(Settings({{"sShortDate", QString("dddd, MMMM dd, yyyy")}}));
    names.FormatDate(out, when, 2);
    QCOMPARE(out, "Friday, January 05, 2024");
}

void TestInternational::noCalendarForm() {
    CInternational intl(Settings({}));
    QString out = "old";
    const std::time_t never = std::numeric_limits<std::time_t>::max();
    QCOMPARE(intl.FormatDate(out, never, 2), 0);
    QVERIFY(out.isEmpty());
    out = "old";
    QCOMPARE(intl.FormatTime(out, never, 1), 0);
    QVERIFY(out.isEmpty());
    out = "old";
    QCOMPARE(intl.FormatDate(out, Local(2024, 1, 5, 10, 0), 3), 0);
    QVERIFY(out.isEmpty());
}

void TestInternational::duration_data() {
    QTest::addColumn<QVariantMap>("settings");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("withSeconds");
    QTest::addColumn<QString>("without");

    QTest::newRow("3725") << QVariantMap{} << 3725 << "1:02:05"
                          << "1:02";
    QTest::newRow("59") << QVariantMap{} << 59 << "0:00:59"
                        << "0:00";
    QTest::newRow("100 hours") << QVariantMap{} << 360000 << "100:00:00"
                               << "100:00";
    QTest::newRow("largest") << QVariantMap{} << std::numeric_limits<qint32>::max()
                             << "596523:14:07"
                             << "596523:14";
    QTest::newRow("separator") << QVariantMap{{"sTime", QString(".")}} << 3725 << "1.02.05"
                               << "1.02";
}

void TestInternational::duration() {
    QFETCH(QVariantMap, settings);
    QFETCH(int, seconds);
    QFETCH(QString, withSeconds);
    QFETCH(QString, without);

    CInternational intl(Settings(settings));
    QString out;
    QCOMPARE(intl.FormatDuration(out, seconds, 1), withSeconds.size());
    QCOMPARE(out, withSeconds);
    QCOMPARE(intl.FormatDuration(out, seconds, 0), without.size());
    QCOMPARE(out, without);
    intl.FormatDuration(out, seconds, 2);
    QCOMPARE(out, without);
}

void TestInternational::loading() {
    auto settings = Settings({{"iCountry", 49}, {"iTime", 1}});
    CInternational intl(settings);
    QVERIFY(!intl.IsLoaded());
    QString out;
    intl.FormatDuration(out, 1, 1);
    intl.FormatCurrency(out, 1);
    QCOMPARE(settings->CountryReads(), 1);
    QCOMPARE(intl.Country(), 49);

    intl.Reset();
    QVERIFY(!intl.IsLoaded());
    QCOMPARE(intl.TimeMode(), 1);
    QVERIFY(intl.TimeFormat(false).isEmpty());
    QVERIFY(intl.DateFormat(2).isEmpty());
    intl.FormatTime(out, Local(2024, 1, 5, 15, 7), 0);
    QCOMPARE(settings->CountryReads(), 2);
    QCOMPARE(out, "15:07");

    // iCountry 0 keeps the object unloaded: every call reads the settings again.
    auto unset = Settings({{"iCountry", 0}});
    CInternational again(unset);
    again.FormatCurrency(out, 1234);
    QCOMPARE(out, "$12.34");
    again.FormatDate(out, Local(2024, 1, 5, 10, 0), 2);
    again.FormatTime(out, Local(2024, 1, 5, 10, 0), 0);
    QCOMPARE(unset->CountryReads(), 3);
    QVERIFY(!again.IsLoaded());

    // A new source is read on the next call.
    intl.SetSource(Settings({{"sDecimal", QString(",")}}));
    QVERIFY(!intl.IsLoaded());
    intl.FormatCurrency(out, 1234);
    QCOMPARE(out, "$12,34");
    QCOMPARE(intl.Country(), 1);
}

void TestInternational::globalObject() {
    const auto previous = theInternational.Source();
    theInternational.SetSource(Settings(kGerman));
    const std::time_t when = Local(2024, 1, 5, 15, 7, 30);
    QCOMPARE(GetDateText(when), "05.01.2024");
    QCOMPARE(GetTimeText(when), "15:07");
    theInternational.SetSource(previous);
    // The environment's locale is C here, which supplies nothing.
    QCOMPARE(GetDateText(when), "01/05/2024");
    QCOMPARE(GetTimeText(when), "03:07 PM");
}

void TestInternational::datePicture_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("picture"); // "-": none

    QTest::newRow("german") << "%d.%m.%Y"
                            << "dd.MM.yyyy";
    QTest::newRow("C") << "%m/%d/%y"
                       << "MM/dd/yy";
    QTest::newRow("no padding") << "%-d.%-m.%Y"
                                << "d.M.yyyy";
    QTest::newRow("blank-padded day") << "%e/%m/%y"
                                      << "d/MM/yy";
    QTest::newRow("ISO") << "%F"
                         << "yyyy-MM-dd";
    QTest::newRow("names") << "%A %e %B %Y"
                           << "dddd d MMMM yyyy";
    QTest::newRow("short names") << "%a %b %d %y"
                                 << "ddd MMM dd yy";
    QTest::newRow("modifiers") << "%Ey/%Om/%Od"
                               << "yy/MM/dd";
    QTest::newRow("letters") << "%Y年%m月%d日"
                             << "yyyy年MM月dd日";
    QTest::newRow("century") << "%C%y"
                             << "-";
    QTest::newRow("literal d") << "day %d"
                               << "-";
    QTest::newRow("dangling percent") << "%d.%"
                                      << "-";
    QTest::newRow("empty") << ""
                           << "-";
}

void TestInternational::datePicture() {
    QFETCH(QString, format);
    QFETCH(QString, picture);
    QCOMPARE(LocaleIntlSource::DatePicture(format).value_or("-"), picture);
}

void TestInternational::clockFromFormat_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("iTime");     // -1: none
    QTest::addColumn<QString>("sTime"); // "-": none

    QTest::newRow("%T") << "%T" << 1 << ":";
    QTest::newRow("%r") << "%r" << 0 << ":";
    QTest::newRow("%R") << "%R" << 1 << ":";
    QTest::newRow("dots") << "%H.%M.%S" << 1 << ".";
    QTest::newRow("k") << "%k:%M" << 1 << ":";
    QTest::newRow("l") << "%l h %M" << 0 << " h ";
    QTest::newRow("no separator") << "%H%M" << 1 << "-";
    QTest::newRow("no minutes") << "%H Uhr" << 1 << "-";
    QTest::newRow("no hour") << "%M:%S" << -1 << "-";
    QTest::newRow("empty") << "" << -1 << "-";
}

void TestInternational::clockFromFormat() {
    QFETCH(QString, format);
    QFETCH(int, iTime);
    QFETCH(QString, sTime);
    const auto clock = LocaleIntlSource::ClockFromFormat(format, "%I:%M:%S %p");
    QCOMPARE(clock.iTime.value_or(-1), iTime);
    QCOMPARE(clock.sTime.value_or("-"), sTime);
}

void TestInternational::negativePlacement_data() {
    QTest::addColumn<int>("precedes");
    QTest::addColumn<int>("space");
    QTest::addColumn<int>("sign");
    QTest::addColumn<int>("code"); // -1: none

    QTest::newRow("-$1.1") << 1 << 0 << 1 << 1;
    QTest::newRow("$-1.1") << 1 << 0 << 4 << 2;
    QTest::newRow("1.1-$") << 0 << 0 << 3 << 6;
    QTest::newRow("-1.1 $") << 0 << 1 << 1 << 8;
    QTest::newRow("$ -1.1") << 1 << 1 << 4 << 12;
    QTest::newRow("unset") << 127 << 0 << 1 << -1;
}

void TestInternational::negativePlacement() {
    QFETCH(int, precedes);
    QFETCH(int, space);
    QFETCH(int, sign);
    QFETCH(int, code);
    QCOMPARE(LocaleIntlSource::NegativeCurrencyPlacement(precedes, space, sign).value_or(-1), code);
}

void TestInternational::localeValues_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QVariantMap>("values"); // every key the locale must supply, nothing else

    QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8")
                           << QVariantMap{{"sShortDate", QString("dd.MM.yyyy")},
                                          {"iTime", 1},
                                          {"sTime", QString(":")},
                                          {"sDecimal", QString(",")},
                                          {"sCurrency", QString("€")},
                                          {"iCurrency", 3},
                                          {"iCurrDigits", 2},
                                          {"iNegCurr", 8},
                                          {"iCountry", 49}};
    QTest::newRow("en_US") << QByteArray("en_US.UTF-8")
                           << QVariantMap{{"sShortDate", QString("MM/dd/yyyy")},
                                          {"iTime", 0},
                                          {"sTime", QString(":")},
                                          {"s1159", QString("AM")},
                                          {"s2359", QString("PM")},
                                          {"sDecimal", QString(".")},
                                          {"sCurrency", QString("$")},
                                          {"iCurrency", 0},
                                          {"iCurrDigits", 2},
                                          {"iNegCurr", 1},
                                          {"iCountry", 1}};
    QTest::newRow("C") << QByteArray("C.UTF-8") << QVariantMap{};
    QTest::newRow("POSIX") << QByteArray("POSIX") << QVariantMap{};
}

void TestInternational::localeValues() {
    QFETCH(QByteArray, locale);
    QFETCH(QVariantMap, values);
    const LocaleIntlSource source(locale);
    if (!source.IsAvailable())
        QSKIP("locale not installed");

    const QStringList keys{"iCountry",  "iCurrency", "iCurrDigits", "iNegCurr",
                           "sCurrency", "sDecimal",  "sShortDate",  "iTime",
                           "s1159",     "s2359",     "sTime"};
    for (const QString& key : keys) {
        const QVariant expected = values.value(key);
        if (key.startsWith(u'i')) {
            QCOMPARE(source.ReadInt(key.toUpper()).has_value(), expected.isValid());
            if (expected.isValid())
                QCOMPARE(*source.ReadInt(key), expected.toInt());
        } else {
            QCOMPARE(source.ReadString(key.toUpper()).has_value(), expected.isValid());
            if (expected.isValid())
                QCOMPARE(*source.ReadString(key), expected.toString());
        }
    }
}

void TestInternational::storeBeforeLocale() {
    if (!LocaleAvailable("de_DE.UTF-8"))
        QSKIP("de_DE.UTF-8 not installed");
    TestRegistry registry;
    const QString key = QString::fromUtf16(StoreIntlSource::kKey);
    TestRegistry::Set(registry.User(), "CONTROL PANEL\\international", "SSHORTDATE", "yyyy-MM-dd");
    QVERIFY(registry.User().SetValue(key, "iTime", RegValue::FromInteger(0)));
    TestRegistry::Set(registry.User(), key, "iNegCurr", "5 or so");
    TestRegistry::Set(registry.User(), key, "s1159", "");

    const auto store = std::make_shared<StoreIntlSource>(registry.User());
    QCOMPARE(store->ReadInt("inegcurr"), 5);
    QCOMPARE(store->ReadString("iTime"), "0");
    QCOMPARE(store->ReadString("sDecimal"), std::nullopt);

    CInternational intl(
        std::make_shared<LayeredIntlSource>(std::vector<std::shared_ptr<const IntlSource>>{
            store, std::make_shared<LocaleIntlSource>("de_DE.UTF-8")}));
    QString out;
    intl.FormatDate(out, Local(2024, 1, 5, 15, 7), 2);
    QCOMPARE(out, "2024-01-05");
    // iTime 0 from the store; the locale has no designators, the empty one of the store wins.
    intl.FormatTime(out, Local(2024, 1, 5, 9, 7), 0);
    QCOMPARE(out, "09:07 ");
    intl.FormatTime(out, Local(2024, 1, 5, 15, 7), 0);
    QCOMPARE(out, "03:07 PM");
    intl.FormatCurrency(out, -1234);
    QCOMPARE(out, "-12,34€");

    // A later change in the store is seen after Reset.
    TestRegistry::Set(registry.User(), key, "sDecimal", "'");
    intl.Reset();
    intl.FormatCurrency(out, 1234);
    QCOMPARE(out, "12'34 €");
}

void TestInternational::germanLocaleWithEmptyStore() {
    if (!LocaleAvailable("de_DE.UTF-8"))
        QSKIP("de_DE.UTF-8 not installed");
    TestRegistry registry;
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    CInternational intl(MakeRegionalSettingsSource(registry.User()));
    qputenv("LC_ALL", saved);

    QString out;
    intl.FormatDate(out, Local(2024, 1, 5, 15, 7), 2);
    QCOMPARE(out, "05.01.2024");
    intl.FormatTime(out, Local(2024, 1, 5, 15, 7), 0);
    QCOMPARE(out, "15:07");
    intl.FormatCurrency(out, 123456);
    QCOMPARE(out, "1234,56 €");
    QCOMPARE(intl.Country(), 49);
}

void TestInternational::namesFromProcessLocale() {
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    if (!std::setlocale(LC_TIME, "de_DE.UTF-8"))
        QSKIP("de_DE.UTF-8 not installed");
    CInternational intl(Settings({{"sShortDate", QString("dddd, d. MMMM yyyy")}}));
    QString out;
    intl.FormatDate(out, Local(2024, 3, 1, 10, 0), 2);
    std::setlocale(LC_TIME, previous.c_str());
    QCOMPARE(out, "Freitag, 01. März 2024");
}

QTEST_GUILESS_MAIN(TestInternational)
#include "tst_international.moc"
