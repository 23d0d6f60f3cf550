#pragma once

// The user's vCard folder: one vCard file a contact (*.vcf), as vdirsyncer keeps it in step
// with a CardDAV server.

#include "faxapp/contacts/Contact.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace faxapp {

struct ContactListing {
    QList<Contact> contacts; // every readable contact, fileName set
    QStringList problems;    // "<file>: <what>" for each file or card that could not be read
};

class ContactFolder {
public:
    explicit ContactFolder(QString path) : m_path(std::move(path)) {}
    const QString& Path() const { return m_path; }

    // Reads every card of the folder. A missing folder is an empty address book.
    ContactListing ReadAll() const;

private:
    QString m_path;
};

} // namespace faxapp
