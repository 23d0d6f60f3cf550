#pragma once

#include <QString>
#include <cstdint>

// The job record of one OK: filled once, reused for every recipient; only the number, the
// job file name and the resolution change from one recipient to the next.
struct FaxJob {
    QString document;                           // full path of the fax document
    QString number;                             // the recipient's number
    QString sendTime = QStringLiteral("IMMED"); // "IMMED" or YY-MM-DD-hh:mm
    QString jobFileName;                        // name inside Comjob, e.g. 24120007.FX3
    QString remark;                             // for the journal only
    bool poll = false;
    std::int32_t resolution = 0; // 98 or 196 for a send job, 0 for a poll job
};
