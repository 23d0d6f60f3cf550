#pragma once

// A contact of the user's vCard folder as kalmofax sees it: a name and its fax numbers. The
// folder keeps one vCard file a contact (the layout vdirsyncer keeps in step with CardDAV
// servers); fileName is the contact's file in it, empty for a contact not stored yet.

#include <QList>
#include <QString>
#include <QStringList>

namespace faxapp {

// Where a fax number rings, from its TEL's TYPE: WORK, HOME, or neither (both count as work).
enum class FaxPlace { Unspecified, Work, Home };

struct Contact {
    QString uid;                    // the vCard's UID, empty when it has none
    QString name;                   // FN, else built from N
    QStringList faxNumbers;         // the TEL properties typed FAX, in the file's order
    QString fileName;               // the file in the vCard folder
    QList<FaxPlace> faxPlaces = {}; // where each of faxNumbers rings, in the same order
};

// The first number of the contact that rings at place, empty when there is none.
inline QString FaxNumberAt(const Contact& contact, FaxPlace place) {
    for (qsizetype i = 0; i < contact.faxNumbers.size() && i < contact.faxPlaces.size(); ++i)
        if (contact.faxPlaces.at(i) == place)
            return contact.faxNumbers.at(i);
    return {};
}

} // namespace faxapp
