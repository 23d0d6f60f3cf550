#include "faxapp/contacts/ContactImport.h"

#include "fax/PosixFile.h"
#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/contacts/CsvContacts.h"
#include "faxapp/contacts/VCardReader.h"
#include "support/FileUtil.h"

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <sys/stat.h>

namespace faxapp {

namespace {

// An export of a whole address book with photos stays well below this.
constexpr qint64 kMaxImportBytes = qint64{256} * 1024 * 1024;

bool OpenSource(const QString& path, PosixFile& file, qint64& size, QString& error) {
    struct stat st {}; // a FIFO or a device chosen by mistake is refused, never waited on
    if (!file.OpenRegular(path) || ::fstat(file.Descriptor(), &st) != 0) {
        error = QStringLiteral("%1: %2").arg(path, GetLastErrorText());
        return false;
    }
    if (st.st_size > kMaxImportBytes) {
        error = QStringLiteral("%1 ist zu groß für einen Import.").arg(path);
        return false;
    }
    size = st.st_size;
    return true;
}

bool LooksLikeVCard(const QString& path, QByteArray head) {
    if (path.endsWith(QStringLiteral(".vcf"), Qt::CaseInsensitive) ||
        path.endsWith(QStringLiteral(".vcard"), Qt::CaseInsensitive))
        return true;
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    return head.trimmed().toUpper().startsWith("BEGIN:VCARD");
}

void ReadVCards(const QByteArray& bytes, ContactImportPlan& plan) {
    const VCardParse parse = ParseVCards(bytes);
    for (const VCardProblem& problem : parse.problems)
        plan.problems.append(
            problem.line > 0 ? QStringLiteral("Zeile %1: %2").arg(problem.line).arg(problem.what)
                             : problem.what);
    for (qsizetype i = 0; i < parse.contacts.size(); ++i) {
        if (parse.contacts[i].faxNumbers.isEmpty()) {
            ++plan.skipped;
            continue;
        }
        if (plan.contacts.size() == kMaxImportContacts) {
            plan.problems.append(
                QStringLiteral("Die Datei hat mehr als %1 Kontakte; gelesen wurden die ersten %1.")
                    .arg(kMaxImportContacts));
            break;
        }
        // The card is stored as it is, every property kept; only its UID will be new.
        const VCardSpan span = parse.spans[i];
        plan.contacts.append(
            {parse.contacts[i], bytes.sliced(span.begin, span.end - span.begin), {}});
    }
}

// What makes two contacts the same: the name, folded, and the set of fax numbers' digits.
QString Key(const Contact& contact) {
    QStringList numbers;
    for (const QString& number : contact.faxNumbers) {
        QString digits;
        for (QChar c : number)
            if (c.isDigit() || c == u'+')
                digits += c;
        numbers.append(digits);
    }
    numbers.sort();
    numbers.removeDuplicates();
    return contact.name.simplified().toCaseFolded() + u'\n' + numbers.join(u' ');
}

} // namespace

ContactImportPlan PlanContactImport(const QString& folder, const QString& sourcePath) {
    ContactImportPlan plan;
    PosixFile file;
    qint64 size = 0;
    QString error;
    if (!OpenSource(sourcePath, file, size, error)) {
        plan.problems.append(error);
        return plan;
    }
    QFile device;
    if (!device.open(file.Descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        plan.problems.append(QStringLiteral("%1: %2").arg(sourcePath, device.errorString()));
        return plan;
    }
    if (LooksLikeVCard(sourcePath, device.peek(64))) {
        ReadVCards(device.read(size + 1), plan);
    } else {
        CsvContacts csv = ReadCsvContacts(device);
        plan.skipped = csv.skipped;
        plan.problems += csv.problems;
        plan.contacts = std::move(csv.contacts);
    }
    QSet<QString> known;
    for (const Contact& contact : ContactFolder(folder).ReadAll().contacts)
        known.insert(Key(contact));
    const auto duplicate = [&](const NewContact& added) {
        const QString key = Key(added.contact);
        if (known.contains(key))
            return true;
        known.insert(key);
        return false;
    };
    const qsizetype before = plan.contacts.size();
    plan.contacts.removeIf(duplicate);
    plan.duplicates = static_cast<int>(before - plan.contacts.size());
    return plan;
}

ContactImportResult StoreContactImport(const QString& folder, ContactImportPlan plan) {
    ContactImportResult result;
    result.skipped = plan.skipped;
    result.duplicates = plan.duplicates;
    result.problems = plan.problems;
    // A copy gets a UID of its own: two cards with one UID in a CardDAV collection make the
    // server refuse the second.
    for (NewContact& added : plan.contacts)
        added.contact.uid.clear();
    QStringList errors;
    result.imported = SaveNewContacts(folder, plan.contacts, errors);
    result.skipped += static_cast<int>(plan.contacts.size()) - result.imported;
    result.problems += errors;
    return result;
}

ContactImportResult ImportContacts(const QString& folder, const QString& sourcePath) {
    return StoreContactImport(folder, PlanContactImport(folder, sourcePath));
}

} // namespace faxapp
