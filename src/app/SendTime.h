#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// A send time handed over as DD.MM.YYYY HH:MM: the five numbers are read from fixed places
// (the characters between them are not looked at) and must lie in day 1-31, month 1-12,
// year 1980-2035, hour 0-23, minute 0-59. The local time with seconds 0, daylight saving
// time as the system decides; nullopt when the text is rejected.
std::optional<QDateTime> ParseSendTimeText(const QString& text);
