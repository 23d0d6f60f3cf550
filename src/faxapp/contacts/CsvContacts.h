#pragma once

// Contacts from a CSV export of another address book (a spreadsheet, a mail program): a
// header line names the columns; the name and the fax columns are found by their headers.

#include "faxapp/contacts/Contact.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace faxapp {

struct CsvContacts {
    QList<Contact> contacts;
    int skipped = 0;      // rows without a fax number or without a name
    QStringList problems; // "Zeile <n>: <what>", or what is wrong with the whole file
};

// bytes: UTF-8 with or without a byte order mark, else Windows-1252 (UTF-16 with its mark is
// read too). Fields are separated by commas, semicolons or tabs, whichever the header uses;
// quoted fields may hold separators, line breaks and "" for a quote.
CsvContacts ReadCsvContacts(QByteArrayView bytes);

// The bytes as text by the rules above.
QString DecodeCsvText(QByteArrayView bytes);

} // namespace faxapp
