#pragma once

// Brings contacts of another address book into the vCard folder: a .vcf file with one or many
// cards, or a CSV export. Each contact with a fax number that the address book does not have
// yet becomes a file of its own, with everything its card or row had. An import is planned
// first, so that the user sees how many contacts it adds before anything is written.

#include "faxapp/contacts/ContactWriter.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace faxapp {

struct ContactImportPlan {
    QList<NewContact> contacts; // to be added
    int skipped = 0;            // contacts without a fax number or not fit to be stored
    int duplicates = 0;         // already in the address book (or earlier in the file)
    QStringList problems;       // one line each, for the user
};

struct ContactImportResult {
    int imported = 0;
    int skipped = 0; // contacts without a fax number or that could not be stored
    int duplicates = 0;
    QStringList problems;
};

// Reads the file: *.vcf / *.vcard (or a file starting with BEGIN:VCARD) as vCards, any other
// file as CSV; at most kMaxImportContacts contacts. A contact with the name and the fax
// numbers of one the folder already has is counted, not added.
ContactImportPlan PlanContactImport(const QString& folder, const QString& sourcePath);
// Writes the plan's contacts.
ContactImportResult StoreContactImport(const QString& folder, ContactImportPlan plan);
// Both, without asking.
ContactImportResult ImportContacts(const QString& folder, const QString& sourcePath);

} // namespace faxapp
