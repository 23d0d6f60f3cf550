#include "faxapp/contacts/NumberLookup.h"

#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/contacts/VCardValue.h"

namespace faxapp {

QString DialKey(const QString& number) {
    const QString clean = CleanNumber(number);
    QString key;
    for (const QChar c : clean) {
        if (c.isDigit())
            key += QChar(u'0' + c.digitValue()); // Arabic-Indic and other digits too
        else if (c == u'+' && key.isEmpty())
            key = QStringLiteral("00");
    }
    return key == QLatin1String("00") ? QString() : key;
}

QString NameOfNumber(const QList<Contact>& contacts, const QString& number) {
    const QString wanted = DialKey(number);
    if (wanted.isEmpty())
        return {};
    for (const Contact& contact : contacts) {
        for (const QString& fax : contact.faxNumbers) {
            if (DialKey(fax) == wanted)
                return contact.name;
        }
    }
    return {};
}

QString NameOfNumberIn(const QString& contactsDir, const QString& number) {
    if (contactsDir.isEmpty() || DialKey(number).isEmpty())
        return {};
    return NameOfNumber(ContactFolder(contactsDir).ReadAll().contacts, number);
}

} // namespace faxapp
