// CSV exports as the address book program imports them, any bytes. What is read is bounded by
// the limit asked for; every contact read has a name and a fax number; and a contact fit to be
// stored, written as the card the import makes, reads back with the same name and numbers
// (blanks inside a number aside: the reader takes a run of them as one).

#include "FuzzInput.h"
#include "faxapp/contacts/ContactWriter.h"
#include "faxapp/contacts/CsvContacts.h"
#include "faxapp/contacts/VCardEdit.h"
#include "faxapp/contacts/VCardReader.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    constexpr int kLimit = 20;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const faxapp::CsvContacts csv = faxapp::ReadCsvContacts(bytes, kLimit);
    FUZZ_CHECK(csv.contacts.size() <= kLimit);
    for (const faxapp::NewContact& made : csv.contacts) {
        FUZZ_CHECK(!made.contact.name.trimmed().isEmpty());
        FUZZ_CHECK(!made.contact.faxNumbers.isEmpty());
        QString why;
        if (!faxapp::CheckContact(made.contact, why))
            continue; // refused when it is stored
        const QByteArray card =
            faxapp::NewVCard(made.contact, QStringLiteral("fuzz"),
                             QDateTime(QDate(2026, 1, 1), QTime(0, 0)), made.lines);
        const faxapp::VCardParse back = faxapp::ParseVCards(card);
        FUZZ_CHECK(back.contacts.size() == 1);
        FUZZ_CHECK(back.contacts.front().name == made.contact.name);
        const QStringList numbers = back.contacts.front().faxNumbers;
        FUZZ_CHECK(numbers.size() == made.contact.faxNumbers.size());
        for (qsizetype i = 0; i < numbers.size(); ++i)
            FUZZ_CHECK(numbers[i].simplified() == made.contact.faxNumbers[i].simplified());
    }
    return 0;
}
