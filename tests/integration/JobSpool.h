#pragma once

// The data folder and fixed clock of the tests of the job hand-off, and their helpers.

#include "DataFolder.h"
#include "ServiceFakes.h"
#include "fax/FaxContract.h"
#include "support/Clock.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace jobspool {

using ::DataFolder;
using ::FixedClock;

inline const QDateTime kChristmasEve(QDate(2024, 12, 24), QTime(10, 0));

// The value of one line of a job file ("ADDRESS :" -> the number).
inline QByteArray JobValue(const QByteArray& bytes, const QByteArray& key) {
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).chopped(1);
    }
    return "<missing>";
}

} // namespace jobspool
