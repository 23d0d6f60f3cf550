#pragma once

// Contacts from a CSV export of another address book (a spreadsheet, a mail program): a
// header line names the columns; the name and the fax columns are found by their headers,
// and every other column the row fills goes into the contact's card too.

#include "faxapp/contacts/ContactWriter.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace faxapp {

// An import reads no more records or cards than this, and says so.
constexpr int kMaxImportContacts = 100000;

struct CsvContacts {
    QList<NewContact> contacts;
    int skipped = 0;      // rows without a fax number or without a name
    QStringList problems; // "Zeile <n>: <what>", or what is wrong with the whole file
};

// Reads the device from its start, a piece at a time: only the contacts are kept, and
// reading stops after maxRecords rows. UTF-8 with or without a byte order mark, else
// Windows-1252 (UTF-16 with its mark is read too). Fields are separated by commas,
// semicolons or tabs, whichever the header uses; quoted fields may hold separators, line
// breaks and "" for a quote. The device must be able to seek back to its start.
CsvContacts ReadCsvContacts(QIODevice& device, int maxRecords = kMaxImportContacts);
CsvContacts ReadCsvContacts(QByteArrayView bytes, int maxRecords = kMaxImportContacts);

} // namespace faxapp
