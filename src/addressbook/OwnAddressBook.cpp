#include "addressbook/OwnAddressBook.h"

#include "addressbook/ReadAll.h"
#include "addressbook/RecipientList.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "platform/Automation.h"
#include "support/Messenger.h"
#include "support/StringIds.h"

#include <utility>

QString ExtractSubString(const QString& text, int field, QChar separator) {
    qsizetype start = 0;
    for (int i = 0; i < field; ++i) {
        const qsizetype next = text.indexOf(separator, start);
        if (next < 0)
            return {};
        start = next + 1;
    }
    const qsizetype end = text.indexOf(separator, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

void LoadOwnAddressBook(RecipientList& list, AutomationClient& automation, Messenger& messenger,
                        BusyIndicator& busy) {
    BusyScope wait(busy);
    list.ClearRecipients();

    DispatchDriver book;
    CreateFailure failure;
    if (!book.CreateDispatch(automation, fax::kProgIdAddressBook, &failure)) {
        MessageWarning2(messenger, IDS_ERR_ADDRESSBOOK_CONNECT, FormatStatusCode(failure.scode),
                        failure.text.left(255));
        return;
    }

    // An error of the address book while the entries are read ends the read: the rows read so
    // far stay, and the user is told why the list may be short.
    qint32 handle = 0;
    try {
        // One call for the whole book where the address book offers it.
        if (const auto lines = ReadAllLines(book, {AutoVariant::BStr(QStringLiteral("Fax"))}, 2)) {
            int row = 0;
            for (const QStringList& fields : *lines) {
                if (row >= kMaxOwnAddressBookEntries)
                    break;
                if (!fields.at(0).isEmpty() && !fields.at(1).isEmpty())
                    list.InsertRecipient(
                        row++, {fields.at(0), fields.at(1), RecipientEntry::kOwnAddressBook});
            }
            return;
        }
        handle = book.InvokeHelper(adr::kOpen, InvokeKind::Method, VT_I4,
                                   {AutoVariant::BStr(QStringLiteral("Fax"))})
                     .ToI4();
        if (handle == 0)
            return;
        int row = 0;
        // An address book that never reports its end must not keep the dialog reading.
        qint64 read = 0;
        do {
            const QString entry = book.InvokeHelper(adr::kCurrent, InvokeKind::Method, VT_BSTR,
                                                    {AutoVariant::I4(handle)})
                                      .ToBStr();
            const QString name = ExtractSubString(entry, 0, u'\n');
            const QString number = ExtractSubString(entry, 1, u'\n');
            if (!name.isEmpty() && !number.isEmpty())
                list.InsertRecipient(row++, {name, number, RecipientEntry::kOwnAddressBook});
        } while (++read < kMaxOwnAddressBookEntries &&
                 book.InvokeHelper(adr::kNext, InvokeKind::Method, VT_I4, {AutoVariant::I4(handle)})
                         .ToI4() != 0);
        // The enumeration is closed once, even when closing fails.
        const qint32 open = std::exchange(handle, 0);
        book.InvokeHelper(adr::kClose, InvokeKind::Method, VT_EMPTY, {AutoVariant::I4(open)});
    } catch (const AutomationError& error) {
        MessageWarning2(messenger, IDS_ERR_ADDRESSBOOK_CONNECT, FormatStatusCode(error.scode),
                        error.text.left(255));
        if (handle != 0) {
            try {
                book.InvokeHelper(adr::kClose, InvokeKind::Method, VT_EMPTY,
                                  {AutoVariant::I4(handle)});
            } catch (const AutomationError&) {
                // The address book is in trouble already; the user has been told.
            }
        }
    }
}
