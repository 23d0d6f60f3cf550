#pragma once

// Reads vCards (2.1, 3.0, 4.0) from bytes: one or many cards; what kalmofax needs of each is a
// Contact. Cards that cannot be read are reported and skipped, the others still come.

#include "faxapp/contacts/Contact.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace faxapp {

struct VCardProblem {
    int line = 0; // 1-based line of the input where the problem was seen, 0 for none
    QString what;
};

struct VCardParse {
    QList<Contact> contacts;
    QList<VCardProblem> problems;
};

VCardParse ParseVCards(QByteArrayView bytes);

} // namespace faxapp
