#pragma once

#include "platform/Automation.h"

namespace standin {

// KalmoJournal.Document: records each call as one line of the file named by
// KALMO_STANDIN_JOURNAL and answers as scripted (docs/standin.md).
DispatchPtr MakeJournalDocument();

} // namespace standin
