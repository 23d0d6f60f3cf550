#pragma once

#include <QStringList>

class AppBase;

// What the Outlook choices of the options dialog read on Linux, as set up in kalmofax's
// settings: the contacts folder choice a CardDAV account (sub-keys of Fax\CardDav), the personal
// address book choice a directory (sub-keys of Fax\Directories), each in the machine or the
// user store.
struct AddressSources {
    QStringList cardDavAccounts; // sorted, each name once
    QStringList directories;     // sorted, each name once

    // Whether the source of the options dialog's choice (1 directory, 2 and above a CardDAV
    // account) has anything to read; choice 0 needs nothing.
    bool HasSourceFor(int choice) const;
};

AddressSources ReadAddressSources(AppBase& app);
