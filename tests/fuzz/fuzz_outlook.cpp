// The Outlook rows: every answer of Outlook.Application, MAPI.Session and the objects they
// hand out comes from the input (FuzzServer.h), after a byte that chooses the source (bits 0
// and 1) and a second refresh (bit 2), and the three names of the settings. Whatever the
// answers, each refresh inserts its rows from index 0 on, every row carries a name and a
// number that the server gave, a refresh tells at most one failure, every log-on is followed
// by exactly one log-off, the wait cursor ends, and no object is kept once the session goes.
// A list object's answer to the one-call read (fax::kDispidReadAll) is as much input as the
// walk's answers.

#include "FuzzServer.h"
#include "RecordingMessenger.h"
#include "RecordingRecipientList.h"
#include "ServiceFakes.h"
#include "addressbook/MapiSession.h"
#include "addressbook/OutlookContacts.h"
#include "fax/EntryLines.h"
#include "fax/FaxContract.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    OutlookSettings settings;
    settings.m_bUseOutlook = flags & 3;
    settings.m_strOutlookProfile = input.Text();
    settings.m_strOutlookAddressBook = input.Text();
    settings.m_strOutlookContacts = input.Text();
    const int refreshes = (flags & 4) != 0 ? 2 : 1;

    FakeAutomation automation;
    FuzzServer server(automation, input);
    automation.RegisterClass(fax::kProgIdOutlook, server.Handler());
    automation.RegisterClass(fax::kProgIdMapiSession, server.Handler());
    RecordingRecipientList list;
    RecordingMessenger messenger;
    CountingBusy busy;
    {
        MapiSession session;
        for (int refresh = 0; refresh < refreshes; ++refresh) {
            const qsizetype first = list.rows.size();
            const qsizetype told = messenger.messages.size();
            LoadOutlookAddresses(list, settings, session, automation, messenger, busy);
            FUZZ_CHECK(messenger.messages.size() - told <= 1);
            for (qsizetype i = first; i < list.rows.size(); ++i)
                FUZZ_CHECK(list.rows.at(i).index == i - first);
            FUZZ_CHECK(!session.IsLoggedOn());
        }
    }
    FUZZ_CHECK(automation.LiveObjects() == 0);
    FUZZ_CHECK(busy.begun == refreshes && busy.depth == 0);
    FUZZ_CHECK(list.clears == 0);
    FUZZ_CHECK(automation.calls.size() == server.answers.size());

    QSet<QString> texts;
    int logons = 0;
    int logoffs = 0;
    const QString sessionPrefix = fax::kProgIdMapiSession + u'#';
    for (qsizetype i = 0; i < automation.calls.size(); ++i) {
        const FakeAutomation::Call& call = automation.calls.at(i);
        const FuzzServer::Answer& answer = server.answers.at(i);
        if (answer.kind == FuzzServer::Kind::BStr)
            texts.insert(answer.text);
        // A whole source in one answer: its rows take their texts from the fields.
        if (answer.kind == FuzzServer::Kind::BStr && call.dispid == fax::kDispidReadAll)
            for (const QString& line : answer.text.split(u'\n'))
                for (const QString& field : line.split(u'\t'))
                    texts.insert(field);
        if (!call.object.startsWith(sessionPrefix))
            continue;
        if (call.dispid == cdo::kSessionLogon && !server.Fails(i, VT_VARIANT))
            ++logons;
        if (call.dispid == cdo::kSessionLogoff)
            ++logoffs;
    }
    FUZZ_CHECK(logons == logoffs);
    const bool cdo = settings.m_bUseOutlook == 1;
    FUZZ_CHECK(automation.creations.count(fax::kProgIdOutlook) == (cdo ? 0 : refreshes));
    FUZZ_CHECK(automation.creations.count(fax::kProgIdMapiSession) <= (cdo ? refreshes : 0));

    const QString business = LoadString(IDS_SUFFIX_BUSINESS);
    const QString home = LoadString(IDS_SUFFIX_PRIVATE);
    for (const RecordingRecipientList::Row& row : list.rows) {
        const QString& name = row.entry.name;
        FUZZ_CHECK(row.entry.image == RecipientEntry::kOutlook);
        FUZZ_CHECK(!row.entry.number.isEmpty() && texts.contains(row.entry.number));
        FUZZ_CHECK(!name.isEmpty());
        FUZZ_CHECK(texts.contains(name) ||
                   (name.endsWith(business) && texts.contains(name.chopped(business.size()))) ||
                   (name.endsWith(home) && texts.contains(name.chopped(home.size()))));
    }
    return 0;
}
