#pragma once

// Brings contacts of another address book into the vCard folder: a .vcf file with one or many
// cards, or a CSV export. Each contact with a fax number becomes a file of its own.

#include <QString>
#include <QStringList>

namespace faxapp {

struct ContactImportResult {
    int imported = 0;
    int skipped = 0;      // contacts without a fax number or that could not be stored
    QStringList problems; // one line each, for the user
};

// sourcePath: *.vcf / *.vcard (or a file starting with BEGIN:VCARD) is read as vCards, any
// other file as CSV.
ContactImportResult ImportContacts(const QString& folder, const QString& sourcePath);

} // namespace faxapp
