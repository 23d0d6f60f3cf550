// vCard files as the contact folder holds them, any bytes. Every contact read has a name and
// only dialable fax numbers: no empty one, no line break or other control character that could
// split the "name LF number" entry the address book hands the send dialog, nothing around
// them to trim. Every problem names a line of the input (or none), and a broken file gives a
// bounded list of them.

#include "FuzzInput.h"
#include "faxapp/contacts/VCardReader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const faxapp::VCardParse parse = faxapp::ParseVCards(bytes);
    const qsizetype lines = bytes.count('\n') + 1;
    for (const faxapp::Contact& contact : parse.contacts) {
        FUZZ_CHECK(!contact.name.trimmed().isEmpty());
        for (const QString& number : contact.faxNumbers) {
            FUZZ_CHECK(!number.isEmpty() && number == number.trimmed());
            for (const QChar c : number)
                FUZZ_CHECK(c.category() != QChar::Other_Control);
        }
    }
    FUZZ_CHECK(parse.problems.size() <= 101);
    for (const faxapp::VCardProblem& problem : parse.problems) {
        FUZZ_CHECK(problem.line >= 0 && problem.line <= lines);
        FUZZ_CHECK(!problem.what.isEmpty());
    }
    return 0;
}
