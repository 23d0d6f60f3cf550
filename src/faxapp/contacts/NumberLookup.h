#pragma once

// Finds the contact of a fax number as a job names it: numbers are compared as they are
// dialled, whatever blanks, dashes, brackets or "tel:" they are written with.

#include "faxapp/contacts/Contact.h"

#include <QList>
#include <QString>

namespace faxapp {

// The number as it is dialled: the reader's clean number, only its digits, a leading "+"
// written as "00". Empty for a text without digits.
QString DialKey(const QString& number);

// The name of the first contact with that fax number; empty when none has it.
QString NameOfNumber(const QList<Contact>& contacts, const QString& number);

// The same, reading the vCard folder (a missing or unreadable folder knows no names).
QString NameOfNumberIn(const QString& contactsDir, const QString& number);

} // namespace faxapp
