#pragma once

// The values of single vCard properties: parameters, quoted-printable, character sets,
// escapes, names and fax numbers. The line structure is VCardReader's.

#include "faxapp/contacts/VCardReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace faxapp {

// A kept property of a card as read: ";PARAM=...;..." (empty without parameters), the value
// as it stands after the colon, and the line it started on.
struct RawProperty {
    QByteArray params;
    QByteArray value;
    int line = 0;
};

// Position of the colon that ends name and parameters: the first one outside double quotes
// (TYPE="a:b"), else the first one. The line must contain a colon.
qsizetype ValueColon(QByteArrayView line);

// The value as text: quoted-printable undone, decoded by its CHARSET (UTF-8 without one).
// Invalid bytes become U+FFFD and are reported, as is an unknown character set.
QString DecodeValue(const RawProperty& property, QList<VCardProblem>& problems);

// Undoes the backslash escapes of a text value (2.1 knows only "\;").
QString Unescape(const QString& text, bool version21);

// "Given Family" from N's Family;Given;Additional;Prefix;Suffix (escapes still in text).
QString NameFromN(const QString& text, bool version21);

// The first component of a structured value such as ORG's "Company;Department", unescaped.
QString FirstComponent(const QString& text, bool version21);

// True when the TYPE parameters (TYPE=FAX, type=fax, TYPE="fax,voice", 2.1's bare FAX) say fax.
bool IsFax(QByteArrayView params);

// Where a fax TEL rings by its TYPE parameters: WORK wins over HOME, neither is Unspecified.
FaxPlace FaxPlaceOf(QByteArrayView params);

// The number to dial: "tel:" and URI parameters removed, no control characters, trimmed.
QString CleanNumber(QString number);

} // namespace faxapp
