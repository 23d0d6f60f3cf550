#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/DBusAutomation.h"

#include <QCollator>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace faxapp {

namespace {

constexpr int kDispidClose = 1;
constexpr int kDispidOpen = 2;
constexpr int kDispidNext = 3;
constexpr int kDispidCurrent = 4;

// The entry text is "name LF number": a line break inside either would shift the fields the
// send dialog splits at, so it becomes a blank.
QString OneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.trimmed();
}

// One entry a fax number (name and number), sorted by name as the user's language sorts, then
// by number, so that the send dialog lists equal names in a stable order.
QList<QStringList> FaxEntries(const QString& contactsDir) {
    const ContactListing listing = ContactFolder(contactsDir).ReadAll();
    for (const QString& problem : listing.problems)
        std::fprintf(stderr, "kalmofax: %s/%s\n", qPrintable(contactsDir), qPrintable(problem));

    struct Entry {
        QString name, number;
        QCollatorSortKey key;
    };
    QCollator collator;
    std::vector<Entry> entries;
    for (const Contact& contact : listing.contacts) {
        const QString name = OneLine(contact.name);
        for (const QString& number : contact.faxNumbers) {
            const QString clean = OneLine(number);
            if (!name.isEmpty() && !clean.isEmpty())
                entries.push_back({name, clean, collator.sortKey(name)});
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : a.number < b.number;
    });
    QList<QStringList> pairs;
    pairs.reserve(qsizetype(entries.size()));
    for (Entry& entry : entries)
        pairs.append({std::move(entry.name), std::move(entry.number)});
    return pairs;
}

class AddressBookDocument final : public DispatchObject {
public:
    explicit AddressBookDocument(QString contactsDir) : m_contactsDir(std::move(contactsDir)) {}

    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        if (kind != InvokeKind::Method)
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        switch (dispid) {
        case kDispidOpen: {
            dbusauto::ExpectArgs(args, {VT_BSTR});
            if (args.constFirst().ToBStr() != u"Fax")
                return AutoVariant::I4(0);
            // Read at every opening, so that a change of the folder shows at the next refresh.
            const QList<QStringList> pairs = FaxEntries(m_contactsDir);
            if (pairs.isEmpty())
                return AutoVariant::I4(0);
            QStringList entries;
            entries.reserve(pairs.size());
            for (const QStringList& pair : pairs)
                entries.append(pair.at(0) + u'\n' + pair.at(1));
            if (++m_lastHandle <= 0)
                m_lastHandle = 1;
            m_open.insert(m_lastHandle, {std::move(entries), 0});
            return AutoVariant::I4(m_lastHandle);
        }
        case kDispidCurrent: {
            const Enumeration& open = Find(args);
            return AutoVariant::BStr(open.entries.value(open.current));
        }
        case kDispidNext: {
            Enumeration& open = Find(args);
            if (open.current + 1 >= open.entries.size())
                return AutoVariant::I4(0);
            ++open.current;
            return AutoVariant::I4(1);
        }
        case fax::kDispidReadAll: {
            // The whole book in one answer: a line "name TAB number" a fax number.
            dbusauto::ExpectArgs(args, {VT_BSTR});
            QString lines;
            if (args.constFirst().ToBStr() == u"Fax")
                for (const QStringList& pair : FaxEntries(m_contactsDir))
                    fax::AppendEntryLine(lines, pair);
            return AutoVariant::BStr(lines);
        }
        case kDispidClose:
            Find(args);
            m_open.remove(args.constFirst().ToI4());
            return {};
        default:
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    struct Enumeration {
        QStringList entries;
        qsizetype current = 0;
    };

    Enumeration& Find(const QList<AutoVariant>& args) {
        dbusauto::ExpectArgs(args, {VT_I4});
        const qint32 handle = args.constFirst().ToI4();
        const auto it = m_open.find(handle);
        if (it == m_open.end())
            dbusauto::ThrowError(scode::kException,
                                 QStringLiteral("KalmoAdr: no enumeration %1").arg(handle));
        return *it;
    }

    QString m_contactsDir;
    QHash<qint32, Enumeration> m_open;
    qint32 m_lastHandle = 0;
};

} // namespace

dbusauto::ServedClass AddressBookClass(const QString& contactsDir) {
    return {fax::kProgIdAddressBook,
            [contactsDir] { return std::make_shared<AddressBookDocument>(contactsDir); }};
}

} // namespace faxapp
