#include "faxapp/contacts/ContactWriter.h"

#include "fax/PosixFile.h"
#include "fax/SpoolFolder.h"
#include "faxapp/contacts/VCardEdit.h"
#include "support/FileUtil.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace faxapp {

namespace {

// A card with a large photo stays well below this; a bigger file is not a contact.
constexpr qint64 kMaxCardBytes = qint64{32} * 1024 * 1024;
constexpr qsizetype kMaxNameLength = 500;
constexpr qsizetype kMaxNumberLength = 64;

QString FileError(const QString& path) {
    if (errno == ELOOP)
        return QStringLiteral("%1 ist eine symbolische Verknüpfung; sie wird nicht beschrieben.")
            .arg(path);
    return QStringLiteral("%1: %2").arg(path, GetLastErrorText());
}

bool HasControlCharacter(const QString& text) {
    for (QChar c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return true;
    }
    return false;
}

bool IsFaxNumber(const QString& number) {
    bool digit = false;
    for (QChar c : number) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (!QStringView(u"+-()/ ").contains(c))
            return false;
    }
    return digit && number.size() <= kMaxNumberLength;
}

// The folder, made (for the user only) when it is missing.
bool OpenFolder(const QString& folder, SpoolFolder& dir, QString& error) {
    if (folder.isEmpty()) {
        error = QStringLiteral("Es ist kein Ordner für das Adressbuch eingestellt.");
        return false;
    }
    const QString clean = QDir::cleanPath(folder);
    if (!QFileInfo::exists(clean)) {
        QDir().mkpath(QFileInfo(clean).path());
        if (::mkdir(NativePath(clean).constData(), 0700) != 0 && errno != EEXIST) {
            error = FileError(clean);
            return false;
        }
    }
    if (!dir.Open(clean)) {
        error = FileError(clean);
        return false;
    }
    return true;
}

bool ReadCardFile(const SpoolFolder& dir, const QString& name, QByteArray& bytes, mode_t& mode,
                  QString& error) {
    PosixFile file;
    struct stat st {};
    if (!dir.OpenRegular(file, name) || ::fstat(file.Descriptor(), &st) != 0) {
        error = FileError(dir.PathOf(name));
        return false;
    }
    if (st.st_size > kMaxCardBytes) {
        error = QStringLiteral("%1 ist zu groß für einen Kontakt.").arg(dir.PathOf(name));
        return false;
    }
    bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
    const ssize_t got = file.Read(bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (got < 0 || got > st.st_size) { // a file growing under us is read again later
        error = got < 0 ? FileError(dir.PathOf(name))
                        : QStringLiteral("%1 ändert sich gerade.").arg(dir.PathOf(name));
        return false;
    }
    bytes.resize(got);
    mode = st.st_mode & 07777;
    return true;
}

enum WriteFlag { kReplace = 1, kSyncFolder = 2 };

// Writes bytes to a hidden file of its own, makes it durable, then renames it to name, so
// that name is always either the old or the new file. kReplace: name may exist (a regular
// file only), else it must not. kSyncFolder: the new name is made durable too.
bool WriteAtomically(const SpoolFolder& dir, const QString& name, const QByteArray& bytes,
                     mode_t mode, int flags, QString& error) {
    const bool replace = (flags & kReplace) != 0;
    PosixFile file;
    QString temp;
    for (int attempt = 0; attempt < 16 && !file.IsOpen(); ++attempt) {
        temp = QStringLiteral(".%1.tmp-%2")
                   .arg(name)
                   .arg(QRandomGenerator::system()->generate(), 8, 16, QChar(u'0'));
        if (!dir.CreateExclusive(file, temp, 0600) && errno != EEXIST) {
            error = FileError(dir.PathOf(temp));
            return false;
        }
    }
    if (!file.IsOpen()) {
        error = FileError(dir.PathOf(temp));
        return false;
    }
    const auto fail = [&](const QString& reason) {
        error = reason;
        file.Close();
        dir.Remove(temp);
        return false;
    };
    if (::fchmod(file.Descriptor(), mode) != 0 || !file.Write(bytes.constData(), bytes.size()) ||
        !file.Sync() || !file.Close())
        return fail(FileError(dir.PathOf(temp)));
    if (replace) {
        struct stat st {};
        if (::fstatat(dir.Descriptor(), NativePath(name).constData(), &st, AT_SYMLINK_NOFOLLOW) ==
                0 &&
            !S_ISREG(st.st_mode))
            return fail(QStringLiteral("%1 ist keine gewöhnliche Datei; sie wird nicht ersetzt.")
                            .arg(dir.PathOf(name)));
        if (::renameat(dir.Descriptor(), NativePath(temp).constData(), dir.Descriptor(),
                       NativePath(name).constData()) != 0)
            return fail(FileError(dir.PathOf(name)));
    } else if (!SpoolFolder::MoveNoReplace(dir, temp, dir, name)) {
        return fail(FileError(dir.PathOf(name)));
    }
    if ((flags & kSyncFolder) != 0 && !dir.Sync()) {
        error = FileError(dir.Path());
        return false;
    }
    return true;
}

// A new file <uuid>.vcf for a checked contact; its uid is made from the same UUID when it
// has none. card: the vCard to store with that UID, else one is made with moreLines.
bool WriteNewCard(const SpoolFolder& dir, Contact& contact, QByteArrayView card,
                  const QList<QByteArray>& moreLines, int flags, QString& error) {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (contact.uid.isEmpty())
        contact.uid = QStringLiteral("urn:uuid:") + uuid;
    const QString name = uuid + QStringLiteral(".vcf");
    const QByteArray bytes =
        card.isEmpty() ? NewVCard(contact, contact.uid, QDateTime::currentDateTimeUtc(), moreLines)
                       : WithUid(card, contact.uid);
    if (bytes.isEmpty()) {
        error = QStringLiteral("Die vCard ist zu groß oder unvollständig.");
        return false;
    }
    if (!WriteAtomically(dir, name, bytes, 0600, flags, error))
        return false;
    contact.fileName = name;
    return true;
}

// The contact with its name and numbers trimmed, if it is fit to be written.
bool Prepared(const Contact& contact, Contact& stored, QString& error) {
    stored = contact;
    stored.name = stored.name.trimmed();
    for (QString& number : stored.faxNumbers)
        number = number.trimmed();
    return CheckContact(stored, error);
}

} // namespace

bool IsContactFileName(const QString& fileName) {
    return fileName.size() > 4 && !fileName.contains(u'/') && !fileName.startsWith(u'.') &&
           fileName.endsWith(QStringLiteral(".vcf"), Qt::CaseInsensitive) &&
           !HasControlCharacter(fileName);
}

bool CheckContact(const Contact& contact, QString& error) {
    if (contact.name.trimmed().isEmpty()) {
        error = QStringLiteral("Der Kontakt hat keinen Namen.");
        return false;
    }
    if (HasControlCharacter(contact.name) || contact.name.size() > kMaxNameLength) {
        error = QStringLiteral("Der Name enthält Steuerzeichen oder ist zu lang.");
        return false;
    }
    if (HasControlCharacter(contact.uid)) {
        error = QStringLiteral("Die UID des Kontakts enthält Steuerzeichen.");
        return false;
    }
    for (const QString& number : contact.faxNumbers) {
        if (!IsFaxNumber(number)) {
            error = QStringLiteral("„%1“ ist keine Faxnummer: erlaubt sind Ziffern, + - ( ) / "
                                   "und Leerzeichen.")
                        .arg(number);
            return false;
        }
    }
    return true;
}

bool SaveContact(const QString& folder, Contact& contact, QString& error) {
    Contact stored;
    if (!Prepared(contact, stored, error))
        return false;
    if (!stored.fileName.isEmpty() && !IsContactFileName(stored.fileName)) {
        error = QStringLiteral("„%1“ ist kein Name einer Kontaktdatei.").arg(stored.fileName);
        return false;
    }
    SpoolFolder dir;
    if (!OpenFolder(folder, dir, error))
        return false;
    if (stored.fileName.isEmpty()) {
        if (!WriteNewCard(dir, stored, {}, {}, kSyncFolder, error))
            return false;
        contact = stored;
        return true;
    }
    QByteArray original;
    mode_t mode = 0600;
    if (!ReadCardFile(dir, stored.fileName, original, mode, error))
        return false;
    QByteArray edited;
    if (!EditVCard(original, stored, edited, error)) {
        error = dir.PathOf(stored.fileName) + QStringLiteral(": ") + error;
        return false;
    }
    if (edited != original &&
        !WriteAtomically(dir, stored.fileName, edited, mode, kReplace | kSyncFolder, error))
        return false;
    contact = stored;
    return true;
}

int SaveNewContacts(const QString& folder, QList<NewContact>& contacts, QStringList& errors) {
    SpoolFolder dir;
    QString error;
    if (!OpenFolder(folder, dir, error)) {
        errors.append(error);
        return 0;
    }
    int saved = 0;
    for (NewContact& added : contacts) {
        Contact stored;
        const bool ready = Prepared(added.contact, stored, error);
        stored.fileName.clear();
        if (ready && WriteNewCard(dir, stored, added.card, added.lines, 0, error)) {
            added.contact = stored;
            ++saved;
        } else {
            errors.append(added.contact.name + QStringLiteral(": ") + error);
        }
    }
    if (saved > 0 && !dir.Sync())
        errors.append(FileError(dir.Path()));
    return saved;
}

bool RemoveContact(const QString& folder, const Contact& contact, QString& error) {
    if (!IsContactFileName(contact.fileName)) {
        error = QStringLiteral("„%1“ ist kein Name einer Kontaktdatei.").arg(contact.fileName);
        return false;
    }
    SpoolFolder dir;
    if (folder.isEmpty() || !dir.Open(folder)) {
        error = FileError(folder);
        return false;
    }
    // The file must be this one contact's: other people's cards are never removed with it.
    QByteArray bytes;
    mode_t mode = 0;
    if (!ReadCardFile(dir, contact.fileName, bytes, mode, error))
        return false;
    if (const int cards = CountVCards(bytes); cards > 1) {
        error = QStringLiteral("%1 enthält %2 Kontakte; die Datei wird nicht gelöscht.")
                    .arg(dir.PathOf(contact.fileName))
                    .arg(cards);
        return false;
    }
    if (!dir.Remove(contact.fileName) || !dir.Sync()) {
        error = FileError(dir.PathOf(contact.fileName));
        return false;
    }
    return true;
}

} // namespace faxapp
