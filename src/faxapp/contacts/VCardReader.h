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

// Where a card is in the input: from its BEGIN line to the end of its END line.
struct VCardSpan {
    qsizetype begin = 0;
    qsizetype end = 0;
};

struct VCardParse {
    QList<Contact> contacts;
    QList<VCardSpan> spans; // the card of each contact, in the same order
    QList<VCardProblem> problems;
};

VCardParse ParseVCards(QByteArrayView bytes);

} // namespace faxapp
