#pragma once

// The automation classes kalmofax serves on the session bus (`kalmofax serve <ProgID>`).

#include "platform/AutomationServer.h"

namespace faxapp {

// KalmoJournal.Document over the journal of the data folder.
dbusauto::ServedClass JournalClass(const QString& dataDir);
// KalmoAdr.Document over the vCard folder.
dbusauto::ServedClass AddressBookClass(const QString& contactsDir);
// MAPI.Session over the company directories set up under Fax\Directories.
dbusauto::ServedClass DirectorySessionClass();

} // namespace faxapp
