#pragma once

// The automation classes kalmofax serves on the session bus (`kalmofax serve <ProgID>`).

#include "platform/AutomationServer.h"

#include <memory>

namespace faxapp::carddav {
class BookService;
}

namespace faxapp {

// KalmoJournal.Document over the journal of the data folder.
dbusauto::ServedClass JournalClass(const QString& dataDir);
// KalmoAdr.Document over the vCard folder.
dbusauto::ServedClass AddressBookClass(const QString& contactsDir);
// MAPI.Session over the company directories set up under Fax\Directories.
dbusauto::ServedClass DirectorySessionClass();
// Outlook.Application over the CardDAV address books: the accounts are the top-level folders,
// their address books the contacts folders below them.
dbusauto::ServedClass OutlookApplicationClass(const std::shared_ptr<carddav::BookService>& books);

} // namespace faxapp
