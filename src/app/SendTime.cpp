#include "app/SendTime.h"

#include <ctime>

namespace {

// atoi of a fixed field: leading blanks, an optional sign, then digits.
int FieldValue(const QString& text, qsizetype from, qsizetype length) {
    const QString field = text.mid(from, length);
    qsizetype i = 0;
    while (i < field.size() && field.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < field.size() && (field.at(i) == u'-' || field.at(i) == u'+'))
        negative = field.at(i++) == u'-';
    int value = 0;
    for (; i < field.size() && field.at(i) >= u'0' && field.at(i) <= u'9'; ++i)
        value = value * 10 + (field.at(i).unicode() - u'0');
    return negative ? -value : value;
}

} // namespace

std::optional<QDateTime> ParseSendTimeText(const QString& text) {
    if (text.size() < 16)
        return std::nullopt;
    const int day = FieldValue(text, 0, 2);
    const int month = FieldValue(text, 3, 2);
    const int year = FieldValue(text, 6, 4);
    const int hour = FieldValue(text, 11, 2);
    const int minute = FieldValue(text, 14, 2);
    if (day < 1 || day > 31 || month < 1 || month > 12 || year < 1980 || year > 2035 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    // mktime would roll a day the month does not have (31.02.) into the next month.
    if (!QDate::isValid(year, month, day))
        return std::nullopt;
    std::tm tm{};
    tm.tm_mday = day;
    tm.tm_mon = month - 1;
    tm.tm_year = year - 1900;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t));
}
