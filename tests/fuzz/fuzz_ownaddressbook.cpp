// The own address book as the fax application's automation object hands it out: every answer
// of KalmoAdr.Document comes from the input (FuzzServer.h); the first byte's bit 0 makes its
// creation fail. Whatever the answers, the rows are exactly the entries with a name and a
// number, in order; an enumeration that was opened is closed exactly once, with its handle;
// a failure is told once and only a failure is told; the wait cursor ends and the object is
// let go. The one-call read of the whole book comes first and is as much input as the walk.

#include "FuzzServer.h"
#include "RecordingMessenger.h"
#include "RecordingRecipientList.h"
#include "ServiceFakes.h"
#include "addressbook/OwnAddressBook.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"

namespace {

// Field n of a "name\nnumber" entry.
QString EntryField(const QString& entry, int n) {
    const QStringList fields = entry.split(u'\n');
    return n < fields.size() ? fields.at(n) : QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool failCreation = (input.Byte() & 1) != 0;
    FakeAutomation automation;
    FuzzServer server(automation, input);
    if (failCreation)
        automation.FailCreation(fax::kProgIdAddressBook, scode::kServerExecFailure, input.Text());
    else
        automation.RegisterClass(fax::kProgIdAddressBook, server.Handler());
    RecordingRecipientList list;
    list.rows.append({7, {QStringLiteral("stale"), QStringLiteral("1"), 0}});
    RecordingMessenger messenger;
    CountingBusy busy;

    LoadOwnAddressBook(list, automation, messenger, busy);

    FUZZ_CHECK(busy.begun == 1 && busy.depth == 0);
    FUZZ_CHECK(list.clears == 1);
    FUZZ_CHECK(automation.LiveObjects() == 0);
    FUZZ_CHECK(automation.calls.size() == server.answers.size());

    QList<RecipientEntry> expected;
    bool failed = failCreation;
    std::optional<qint32> handle;
    int closes = 0;
    // The one-call read comes first; only "member not found" or an answer that is not text
    // lets the walk follow.
    qsizetype walkStart = 0;
    if (!automation.calls.isEmpty()) {
        const FakeAutomation::Call& call = automation.calls.at(0);
        const FuzzServer::Answer& answer = server.answers.at(0);
        FUZZ_CHECK(call.dispid == fax::kDispidReadAll);
        FUZZ_CHECK(call.args.size() == 1 && call.args.at(0).ToBStr() == u"Fax");
        const bool error = answer.kind == FuzzServer::Kind::DispatchError ||
                           answer.kind == FuzzServer::Kind::TransportError;
        walkStart = 1;
        if (error && answer.number != static_cast<qint32>(0x80020003u)) {
            failed = true;
            FUZZ_CHECK(automation.calls.size() == 1);
        } else if (answer.kind == FuzzServer::Kind::BStr) {
            FUZZ_CHECK(automation.calls.size() == 1);
            for (const QStringList& fields : fax::ParseEntryLines(answer.text, 2))
                if (!fields.at(0).isEmpty() && !fields.at(1).isEmpty())
                    expected.append({fields.at(0), fields.at(1), RecipientEntry::kOwnAddressBook});
        }
    }
    for (qsizetype i = walkStart; i < automation.calls.size(); ++i) {
        const FakeAutomation::Call& call = automation.calls.at(i);
        const FuzzServer::Answer& answer = server.answers.at(i);
        switch (call.dispid) {
        case adr::kOpen:
            FUZZ_CHECK(i == 1);
            if (!server.Fails(i, VT_I4))
                handle = answer.number;
            break;
        case adr::kCurrent:
            if (!server.Fails(i, VT_BSTR)) {
                const QString name = EntryField(answer.text, 0);
                const QString number = EntryField(answer.text, 1);
                if (!name.isEmpty() && !number.isEmpty())
                    expected.append({name, number, RecipientEntry::kOwnAddressBook});
            }
            break;
        case adr::kClose:
            ++closes;
            break;
        case adr::kNext:
            break;
        default:
            FUZZ_CHECK(false);
        }
        if (call.dispid != adr::kOpen) {
            FUZZ_CHECK(handle && *handle != 0);
            FUZZ_CHECK(call.args.size() == 1 && call.args.at(0).Type() == VT_I4 &&
                       call.args.at(0).ToI4() == *handle);
        }
        const VarType wanted = call.dispid == adr::kCurrent ? VT_BSTR
                               : call.dispid == adr::kClose ? VT_EMPTY
                                                            : VT_I4;
        failed = failed || server.Fails(i, wanted);
    }
    FUZZ_CHECK(closes == (handle && *handle != 0 ? 1 : 0));
    FUZZ_CHECK(messenger.messages.size() == (failed ? 1 : 0));

    FUZZ_CHECK(list.rows.size() == expected.size());
    for (qsizetype i = 0; i < list.rows.size(); ++i) {
        FUZZ_CHECK(list.rows.at(i).index == i);
        FUZZ_CHECK(list.rows.at(i).entry.name == expected.at(i).name);
        FUZZ_CHECK(list.rows.at(i).entry.number == expected.at(i).number);
        FUZZ_CHECK(list.rows.at(i).entry.image == RecipientEntry::kOwnAddressBook);
    }
    return 0;
}
