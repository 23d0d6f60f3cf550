#pragma once

#include <QString>

class AutomationClient;
class BusyIndicator;
class DispatchDriver;
class MapiSession;
class Messenger;
class RecipientList;

// The send dialog's Outlook settings (section "Fax").
struct OutlookSettings {
    // 0 no Outlook rows; 1 the personal address book through CDO; anything else the contacts
    // folder of Outlook.Application.
    int m_bUseOutlook = 0;
    QString m_strOutlookProfile;     // MAPI profile for CDO; empty: the default
    QString m_strOutlookAddressBook; // CDO address list; empty: the first one
    QString m_strOutlookContacts;    // contacts folder; empty: Outlook's default one
};

// Adds the Outlook rows (image 1) after the own address book's, from CDO when m_bUseOutlook is
// 1, else from Outlook's contacts folder. Failures are shown (609, 618 to 623); the rows read
// before an error stay and the wait cursor ends on every path.
void LoadOutlookAddresses(RecipientList& list, const OutlookSettings& settings,
                          MapiSession& session, AutomationClient& automation, Messenger& messenger,
                          BusyIndicator& busy);

// Searches folders and their sub-folders depth first for the contacts folder of that exact
// name and reads the first one found; false when there is none. Throws AutomationError.
bool FindContactsFolder(RecipientList& list, DispatchDriver& folders, const QString& name);
// Adds the rows of the contacts in folder. Throws AutomationError.
void ReadContactsFolder(RecipientList& list, DispatchDriver& folder);
// Adds one row per non-empty number of a contact, inserting at counter and counting on. The
// business and home rows carry a suffix when the contact has another number.
void AddContactEntries(RecipientList& list, int& counter, const QString& name,
                       const QString& primaryFax, const QString& businessFax,
                       const QString& homeFax);

// DISPIDs of Outlook.Application and the objects it hands out.
namespace outlook {
inline constexpr int kAppGetNamespace = 0x110;   // method ("MAPI") -> namespace
inline constexpr int kFolders = 0x2103;          // get -> folders (namespace and folder)
inline constexpr int kGetDefaultFolder = 0x210B; // method (VT_I4 kind) -> folder
inline constexpr int kGetFirst = 0x56;           // method -> first, null when none
inline constexpr int kGetNext = 0x57;            // method -> next, null at the end
inline constexpr int kCount = 0x50;              // get -> number of folders
inline constexpr int kName = 0x3001;             // get -> folder name, contact's name
inline constexpr int kDefaultItemType = 0x3106;  // get -> kind of item the folder holds
inline constexpr int kItems = 0x3100;            // get -> items of a folder
inline constexpr int kHomeFax = 0x3A25;          // get -> contact's home fax
inline constexpr int kBusinessFax = 0x3A24;      // get -> contact's business fax
inline constexpr int kFolderContacts = 10;       // default folder kind: contacts
inline constexpr int kContactItem = 2;           // item kind of a contacts folder
} // namespace outlook
