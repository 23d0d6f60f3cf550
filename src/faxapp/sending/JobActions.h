#pragma once

// What the journal window asks of the sending side for one of its rows: the job sent once
// more, as a new job file in Comjob with its own row, the way kalmosend hands over a job; and a
// job that waits at the fax server cancelled there (the engine then files it as cancelled).

#include "faxapp/sending/FaxSettings.h"
#include "support/Result.h"

#include <QString>

class Clock;

namespace faxapp {

class JournalStore;
struct JournalEntry;

// Problem::messageId of a job that is not (any more) at a fax server.
inline constexpr int kJobNotAtServer = 1;

// Writes a job file for the row's document (or poll) and number, to be sent at once, under
// the next free job file name of the day, and adds its row; the job file is taken back when the
// row cannot be added. The format and resolution are those of the row's own job file where it
// is still filed, else the document's. The new job file's name.
Result<QString> SendAgain(const QString& dataDir, JournalStore& journal, const JournalEntry& entry,
                          const Clock& clock);

// Asks the fax server that has the job of jobFile (as its sending record names it) to end it;
// the problem's reason holds the server's words.
Result<void> CancelAtServer(const FaxSettings& settings, const QString& jobFile);

} // namespace faxapp
