// The contact editor's change of a vCard from elsewhere. The input is the card, a NUL, the
// name, and the fax numbers, each after a NUL. A card edited with what the reader read of it
// comes back byte for byte; a card edited with a contact fit to be stored reads back with that
// name and those numbers (a run of blanks in a number read as one), keeps every line that is not a
// name or a phone number in order and byte for byte, and comes back as it is when edited with the
// same contact again.

#include "FuzzInput.h"
#include "faxapp/contacts/ContactWriter.h"
#include "faxapp/contacts/VCardEdit.h"
#include "faxapp/contacts/VCardReader.h"

using faxapp::Contact;

namespace {

// The content lines of a card, folded lines joined, each with its line end; nothing when the
// card has quoted-printable lines, whose continuations are not simply told.
QList<QByteArray> ContentLines(const QByteArray& card) {
    QList<QByteArray> lines;
    if (card.toUpper().contains("QUOTED-PRINTABLE"))
        return lines;
    for (qsizetype pos = 0; pos < card.size();) {
        qsizetype end = card.indexOf('\n', pos);
        end = end < 0 ? card.size() : end + 1;
        const QByteArray line = card.mid(pos, end - pos);
        if (!lines.isEmpty() && (line.startsWith(' ') || line.startsWith('\t')))
            lines.last() += line;
        else
            lines.append(line);
        pos = end;
    }
    return lines;
}

// A content line's property name, upper case, without its group, as the reader takes it: up
// to the first ':' or ';'. first: the card's first line, which may start with a byte order mark.
QByteArray NameOf(QByteArray line, bool first) {
    if (first && line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    qsizetype end = 0;
    while (end < line.size() && line[end] != ':' && line[end] != ';' && line[end] != '\n')
        ++end;
    QByteArray name = line.left(end);
    if (name.endsWith('\r') && (end == line.size() || line[end] == '\n'))
        name.chop(1);
    return name.mid(name.lastIndexOf('.') + 1).toUpper();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    const QByteArray original = input.Field();
    Contact wanted;
    wanted.name = input.Text().trimmed();
    wanted.faxNumbers = input.Texts();
    for (QString& number : wanted.faxNumbers)
        number = number.trimmed();

    QByteArray edited;
    QString error;
    const faxapp::VCardParse read = faxapp::ParseVCards(original);
    if (read.contacts.size() == 1 && faxapp::EditVCard(original, read.contacts[0], edited, error))
        FUZZ_CHECK(edited == original); // nothing changed, nothing written differently

    QString why;
    if (!faxapp::CheckContact(wanted, why))
        return 0; // refused before it is written
    edited.clear();
    if (!faxapp::EditVCard(original, wanted, edited, error)) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const faxapp::VCardParse back = faxapp::ParseVCards(edited);
    FUZZ_CHECK(back.contacts.size() == 1);
    FUZZ_CHECK(back.contacts[0].name == wanted.name);
    // The reader takes a run of blanks inside a number as one.
    const QStringList numbers = back.contacts[0].faxNumbers;
    FUZZ_CHECK(numbers.size() == wanted.faxNumbers.size());
    for (qsizetype i = 0; i < numbers.size(); ++i)
        FUZZ_CHECK(numbers[i].simplified() == wanted.faxNumbers[i].simplified());
    if (read.contacts.size() == 1)
        FUZZ_CHECK(back.contacts[0].uid == read.contacts[0].uid);

    qsizetype from = 0;
    const QList<QByteArray> lines = ContentLines(original);
    for (const QByteArray& line : lines) {
        const QByteArray name = NameOf(line, &line == &lines.first());
        if (name == "FN" || name == "TEL")
            continue;
        const qsizetype at = edited.indexOf(line, from);
        FUZZ_CHECK(at >= 0);
        from = at + line.size();
    }

    QByteArray twice;
    FUZZ_CHECK(faxapp::EditVCard(edited, wanted, twice, error));
    FUZZ_CHECK(twice == edited);
    return 0;
}
