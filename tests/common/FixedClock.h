#pragma once

#include "support/Clock.h"

#include <QDateTime>

// A clock that shows the time it is given until a test sets another.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime now = QDateTime::currentDateTime()) : now(std::move(now)) {}
    QDateTime Now() const override { return now; }
    QDateTime now;
};
