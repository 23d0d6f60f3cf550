#pragma once

#include <QString>

class AutomationClient;
class BusyIndicator;
class Messenger;
class RecipientList;

// Splits an entry of the own address book ("name\nnumber[\n...]"): field n of text by
// separator, empty when there are fewer fields.
QString ExtractSubString(const QString& text, int field, QChar separator);

// Empties the list and fills it with the fax entries of the fax application's address book
// (KalmoAdr.Document). Failures are shown with message 609; the rows read before an error stay.
void LoadOwnAddressBook(RecipientList& list, AutomationClient& automation, Messenger& messenger,
                        BusyIndicator& busy);

// The most entries one refresh reads: an address book that never reports its end stops there,
// with the rows read so far shown.
inline constexpr long long kMaxOwnAddressBookEntries = 1000000;

// DISPIDs of KalmoAdr.Document.
namespace adr {
inline constexpr int kClose = 1;   // (handle)
inline constexpr int kOpen = 2;    // ("Fax") -> handle, 0 when nothing to read
inline constexpr int kNext = 3;    // (handle) -> non-zero while there is another entry
inline constexpr int kCurrent = 4; // (handle) -> "name\nnumber"
} // namespace adr
