#pragma once

class AutomationClient;
class Messenger;
struct FaxJob;

// DISPIDs of the fax application's journal (KalmoJournal.Document).
namespace journal {
inline constexpr int kDispRecordSend = 1;
inline constexpr int kDispRecordPoll = 2;
} // namespace journal

// Records job in the fax application's journal through a journal object made for this one
// call. 0 = recorded; 1 = the journal could not be reached or failed during the call
// (message 612 shown with the status code and text); 2 = the journal refused the entry (no
// message).
int WriteJournalEntry(const FaxJob& job, AutomationClient& automation, Messenger& messenger);
