#include "faxapp/contacts/ContactImport.h"

#include "fax/PosixFile.h"
#include "faxapp/contacts/ContactWriter.h"
#include "faxapp/contacts/CsvContacts.h"
#include "faxapp/contacts/VCardReader.h"
#include "support/FileUtil.h"

#include <QByteArray>
#include <sys/stat.h>

namespace faxapp {

namespace {

// An export of a whole address book with photos stays well below this.
constexpr qint64 kMaxImportBytes = qint64{256} * 1024 * 1024;

bool ReadSource(const QString& path, QByteArray& bytes, QString& error) {
    PosixFile file; // a FIFO or a device chosen by mistake is refused, never waited on
    struct stat st {};
    if (!file.OpenRegular(path) || ::fstat(file.Descriptor(), &st) != 0) {
        error = QStringLiteral("%1: %2").arg(path, GetLastErrorText());
        return false;
    }
    if (st.st_size > kMaxImportBytes) {
        error = QStringLiteral("%1 ist zu groß für einen Import.").arg(path);
        return false;
    }
    bytes.resize(static_cast<qsizetype>(st.st_size));
    const ssize_t got = file.Read(bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (got < 0) {
        error = QStringLiteral("%1: %2").arg(path, GetLastErrorText());
        return false;
    }
    bytes.resize(got);
    return true;
}

bool LooksLikeVCard(const QString& path, const QByteArray& bytes) {
    if (path.endsWith(QStringLiteral(".vcf"), Qt::CaseInsensitive) ||
        path.endsWith(QStringLiteral(".vcard"), Qt::CaseInsensitive))
        return true;
    QByteArray head = bytes.left(64);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    return head.trimmed().toUpper().startsWith("BEGIN:VCARD");
}

} // namespace

ContactImportResult ImportContacts(const QString& folder, const QString& sourcePath) {
    ContactImportResult result;
    QByteArray bytes;
    QString error;
    if (!ReadSource(sourcePath, bytes, error)) {
        result.problems.append(error);
        return result;
    }
    QList<Contact> contacts;
    if (LooksLikeVCard(sourcePath, bytes)) {
        VCardParse parse = ParseVCards(bytes);
        for (const VCardProblem& problem : std::as_const(parse.problems))
            result.problems.append(
                problem.line > 0
                    ? QStringLiteral("Zeile %1: %2").arg(problem.line).arg(problem.what)
                    : problem.what);
        for (Contact& contact : parse.contacts) {
            for (QString& number : contact.faxNumbers)
                if (number.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
                    number.remove(0, 4);
            if (contact.faxNumbers.isEmpty())
                ++result.skipped;
            else
                contacts.append(contact);
        }
    } else {
        CsvContacts csv = ReadCsvContacts(bytes);
        result.skipped = csv.skipped;
        result.problems += csv.problems;
        contacts = csv.contacts;
    }
    // A copy gets a UID of its own: two cards with one UID in a CardDAV collection make the
    // server refuse the second.
    for (Contact& contact : contacts)
        contact.uid.clear();
    QStringList errors;
    result.imported = SaveNewContacts(folder, contacts, errors);
    result.skipped += static_cast<int>(contacts.size()) - result.imported;
    result.problems += errors;
    return result;
}

} // namespace faxapp
