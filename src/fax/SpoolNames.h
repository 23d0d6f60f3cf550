#pragma once

#include "fax/PosixFile.h"

#include <QDate>
#include <QDateTime>
#include <QString>

class Clock;
class SpoolFolder;

// Names in the fax application's spool. Each lookup lists a folder once instead of probing
// the disk for every counter value, so a large spool costs one pass per call.

// "DDMM" of date: day and month, two digits each; the first part of a job file name.
QString JobFileDayPrefix(const QDate& date);
// The smallest job file name "DDMMnnnn.FX3" of today that is free in Comjob, Comerr and
// Comack; empty when all 10,000 names of the day are taken.
QString MakeJobFileName(const QString& dataDir, const Clock& clock);
// Full path of the job file name in Comjob.
QString JobFilePath(const QString& dataDir, const QString& jobFileName);

// A document's place in Faxsend, "<data>/Faxsend/_FXnnnnn" with the smallest counter for
// which neither base.SFF nor base.CFF exists, claimed: base.SFF, and base.CFF for a colour print,
// made exclusively and held open, so that the document is written through the descriptors of the
// claim and never through a name that another process or a link may have taken since.
struct FaxSendClaim {
    QString base; // full path without extension
    QString sffName;
    QString cffName; // empty unless colour
    PosixFile sff;
    PosixFile cff;
};
// Claims the smallest free base in the open Faxsend folder. False (errno set) when nothing
// can be created there.
bool ClaimFaxSendDocument(const SpoolFolder& faxsend, bool colour, FaxSendClaim& claim);

// "<folder>/Tmpnnnnn" (no extension): the smallest counter that no file name in folder
// begins with.
QString MakeTempName(const QString& folder);

// "YY-MM-DD-hh:mm" of the local time of time.
QString FormatSendTime(const QDateTime& time);
