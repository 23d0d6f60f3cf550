#pragma once

// Changes to the user's vCard folder. Each file is written whole under a new name and renamed
// into place, so that a sync program never sees half a file.

#include "faxapp/contacts/Contact.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace faxapp {

// Stores the contact: a new file (fileName set on success) or the contact's existing file,
// whose other properties are kept. False with the reason in error.
bool SaveContact(const QString& folder, Contact& contact, QString& error);
// A contact to store as a new file, with what its source had beyond name and fax numbers.
struct NewContact {
    Contact contact;
    QByteArray card;         // a whole vCard to store as it is, but for its UID; empty: made
    QList<QByteArray> lines; // a made card's further content lines (ORG, N, TEL, EMAIL, NOTE)
};

// Stores contacts as new files, whatever their fileName: each gets a file of its own, its
// fileName and, when it has none, a uid. The folder's entries are made durable once at the
// end rather than after each file, which halves the time of an import of thousands. The
// number stored; errors gets "<name>: <reason>" for each contact not stored.
int SaveNewContacts(const QString& folder, QList<NewContact>& contacts, QStringList& errors);
// Removes the contact's file. False with the reason in error.
bool RemoveContact(const QString& folder, const Contact& contact, QString& error);

// Is the contact fit to be written: a name, fax numbers of digits and + - ( ) / and blanks,
// no control characters anywhere? False with the reason in error.
bool CheckContact(const Contact& contact, QString& error);
// A contact file's name in the folder: "<name>.vcf", no folder part, not hidden.
bool IsContactFileName(const QString& fileName);

} // namespace faxapp
