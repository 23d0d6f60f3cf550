#pragma once

// The bytes of the vCards kalmofax writes: a new card for a new contact, and the edit of a
// card that came from elsewhere (a CardDAV server through a sync program), which changes
// only the name and the fax numbers and keeps every other line as it was, byte for byte.

#include "faxapp/contacts/Contact.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

namespace faxapp {

// A text value with \\ \, \; and \n escaped (vCard 3.0 and 4.0).
QString EscapeVCardText(const QString& value);
// One content line (UTF-8, no line end) folded at 75 octets, continuation lines starting
// with a blank; a UTF-8 sequence is never split. Ends in CR LF.
QByteArray FoldVCardLine(QByteArrayView line);
// The N value built from a display name: "Family, Given" or "Given ... Family"; a company
// name ("... GmbH") is all family name.
QString StructuredName(const QString& name);

// A vCard 4.0 for a contact not stored yet; uid is the complete UID value. moreLines are
// further content lines (unfolded, without line end) put before REV; an N line among them
// takes the place of the one built from the name.
QByteArray NewVCard(const Contact& contact, const QString& uid, const QDateTime& revision,
                    const QList<QByteArray>& moreLines = {});

// The one card in card with its UID lines replaced by "UID:<uid>" after VERSION; every other
// line keeps its bytes. Empty when the bytes are not a card of a sensible size.
QByteArray WithUid(QByteArrayView card, const QString& uid);

// How many cards (BEGIN:VCARD lines) the bytes hold.
int CountVCards(QByteArrayView bytes);

// The card in original with FN and the TEL properties typed FAX replaced by the contact's,
// in the card's own version (2.1, 3.0 or 4.0). Unchanged parts keep their bytes; a card
// whose name and fax numbers are already the contact's comes back as it was. False with the
// reason when the bytes are not exactly one card.
bool EditVCard(QByteArrayView original, const Contact& contact, QByteArray& edited, QString& error);

} // namespace faxapp
