#pragma once

// A contact of the user's vCard folder as kalmofax sees it: a name and its fax numbers. The
// folder keeps one vCard file a contact (the layout vdirsyncer keeps in step with CardDAV
// servers); fileName is the contact's file in it, empty for a contact not stored yet.

#include <QString>
#include <QStringList>

namespace faxapp {

struct Contact {
    QString uid;            // the vCard's UID, empty when it has none
    QString name;           // FN, else built from N
    QStringList faxNumbers; // the TEL properties typed FAX, in the file's order
    QString fileName;       // the file in the vCard folder
};

} // namespace faxapp
