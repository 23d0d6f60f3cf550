#pragma once

#include <QDateTime>

// Today's date and the present time, injectable for tests.
class Clock {
public:
    virtual ~Clock() = default;
    // Local time, whole seconds.
    virtual QDateTime Now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime Now() const override {
        QDateTime now = QDateTime::currentDateTime();
        now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
        return now;
    }
};
