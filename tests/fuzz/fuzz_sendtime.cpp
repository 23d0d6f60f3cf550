// The send time handed over as text: the input as UTF-8. An accepted time lies in the years
// allowed, has no seconds, and when the five fields are plain digits it is accepted exactly
// when they name a date of the calendar and a time of the day, and it is that date.

#include "FuzzInput.h"
#include "app/SendTime.h"

#include <QDate>
#include <QTime>

namespace {

// The number of a field made of ASCII digits only; -1 otherwise.
int PlainField(const QString& text, qsizetype from, qsizetype length) {
    int value = 0;
    for (qsizetype i = from; i < from + length; ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < u'0' || u > u'9')
            return -1;
        value = value * 10 + (u - u'0');
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QDateTime> time = ParseSendTimeText(text);
    if (text.size() < 16) {
        FUZZ_CHECK(!time);
        return 0;
    }
    if (time) {
        FUZZ_CHECK(time->isValid());
        FUZZ_CHECK(time->date().year() >= 1980 && time->date().year() <= 2035);
        FUZZ_CHECK(time->time().second() == 0 && time->time().msec() == 0);
    }

    const int day = PlainField(text, 0, 2);
    const int month = PlainField(text, 3, 2);
    const int year = PlainField(text, 6, 4);
    const int hour = PlainField(text, 11, 2);
    const int minute = PlainField(text, 14, 2);
    if (day < 0 || month < 0 || year < 0 || hour < 0 || minute < 0)
        return 0;
    const QDate date(year, month, day);
    const bool valid = date.isValid() && year >= 1980 && year <= 2035 && hour <= 23 && minute <= 59;
    FUZZ_CHECK(time.has_value() == valid);
    if (!time)
        return 0;
    FUZZ_CHECK(time->date() == date);
    // A time that the clock skips when daylight saving time begins is moved on; any other is
    // kept.
    const QDateTime local(date, QTime(hour, minute));
    if (local.isValid() && local.time() == QTime(hour, minute))
        FUZZ_CHECK(time->time() == QTime(hour, minute));
    return 0;
}
