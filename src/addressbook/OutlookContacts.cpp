#include "addressbook/OutlookContacts.h"

#include "addressbook/MapiSession.h"
#include "addressbook/ReadAll.h"
#include "addressbook/RecipientList.h"
#include "fax/FaxContract.h"
#include "platform/Automation.h"
#include "support/Messenger.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

namespace {

// The rows of the CDO address list; every path out logs off again. An automation error that
// the session's operations let through ends the read like one they report.
void LoadCdoAddresses(RecipientList& list, const OutlookSettings& settings, MapiSession& session,
                      AutomationClient& automation, Messenger& messenger) {
    try {
        switch (session.Logon(automation, settings.m_strOutlookProfile)) {
        case MapiSession::kNoAutomation:
            MessageWarning(messenger, IDS_ERR_COM);
            return;
        case MapiSession::kCannotCreate:
            if (session.ErrorCode() == scode::kClassNotRegistered)
                MessageWarning(messenger, IDS_ERR_CDO_MISSING);
            else
                MessageWarning1(messenger, IDS_ERR_CDO_BROKEN, session.ErrorText());
            session.Logoff();
            return;
        case MapiSession::kRefused:
            MessageWarning1(messenger, IDS_ERR_OUTLOOK_OPEN, session.ErrorText());
            session.Logoff();
            return;
        default:
            break;
        }

        switch (session.OpenAddressList(settings.m_strOutlookAddressBook)) {
        case MapiSession::kNotLoggedOn:
            session.Logoff();
            return;
        case MapiSession::kNoAddressList:
            MessageWarning(messenger, IDS_ERR_OUTLOOK_NONE);
            session.Logoff();
            return;
        case MapiSession::kReadError:
            MessageWarning1(messenger, IDS_ERR_OUTLOOK_READ, session.ErrorText());
            session.Logoff();
            return;
        default:
            break;
        }

        int counter = 0;
        if (session.EntryCount() > 0) {
            if (const auto entries = session.ReadAllEntries()) {
                // As in the walk, an entry without a name ends the list.
                for (const QStringList& e : *entries) {
                    if (e.at(0).isEmpty())
                        break;
                    AddContactEntries(list, counter, e.at(0), e.at(1), e.at(2), e.at(3));
                }
                session.Logoff();
                return;
            }
            QString name = session.GetFirstEntryName();
            while (!name.isEmpty()) {
                const QString primary = session.GetEntryField(cdo::kPrimaryFax);
                const QString business = session.GetEntryField(cdo::kBusinessFax);
                const QString home = session.GetEntryField(cdo::kHomeFax);
                AddContactEntries(list, counter, name, primary, business, home);
                name = session.GetNextEntryName();
            }
        }
    } catch (const AutomationError& error) {
        session.RecordError(error);
        MessageWarning1(messenger, IDS_ERR_OUTLOOK_READ, session.ErrorText());
    }
    session.Logoff();
}

void LoadContactsFolder(RecipientList& list, const OutlookSettings& settings,
                        AutomationClient& automation, Messenger& messenger) {
    DispatchDriver application;
    CreateFailure failure;
    if (!application.CreateDispatch(automation, fax::kProgIdOutlook, &failure)) {
        MessageWarning2(messenger, IDS_ERR_ADDRESSBOOK_CONNECT, FormatStatusCode(failure.scode),
                        failure.text.left(255));
        return;
    }
    try {
        DispatchDriver nameSpace(application
                                     .InvokeHelper(outlook::kAppGetNamespace, InvokeKind::Method,
                                                   VT_DISPATCH,
                                                   {AutoVariant::BStr(QStringLiteral("MAPI"))})
                                     .ToDispatch());
        if (settings.m_strOutlookContacts.isEmpty()) {
            DispatchDriver folder(nameSpace
                                      .InvokeHelper(outlook::kGetDefaultFolder, InvokeKind::Method,
                                                    VT_DISPATCH,
                                                    {AutoVariant::I4(outlook::kFolderContacts)})
                                      .ToDispatch());
            ReadContactsFolder(list, folder);
        } else {
            DispatchDriver folders(
                nameSpace.GetProperty(outlook::kFolders, VT_DISPATCH).ToDispatch());
            FindContactsFolder(list, folders, settings.m_strOutlookContacts);
        }
    } catch (const AutomationError& error) {
        MessageWarning1(messenger, IDS_ERR_OUTLOOK_READ, error.text.left(255));
    }
}

} // namespace

void LoadOutlookAddresses(RecipientList& list, const OutlookSettings& settings,
                          MapiSession& session, AutomationClient& automation, Messenger& messenger,
                          BusyIndicator& busy) {
    BusyScope wait(busy);
    if (settings.m_bUseOutlook == 1)
        LoadCdoAddresses(list, settings, session, automation, messenger);
    else
        LoadContactsFolder(list, settings, automation, messenger);
}

bool FindContactsFolder(RecipientList& list, DispatchDriver& folders, const QString& name) {
    DispatchDriver folder(
        folders.InvokeHelper(outlook::kGetFirst, InvokeKind::Method, VT_DISPATCH).ToDispatch());
    while (!folder.IsNull()) {
        const QString folderName = folder.GetProperty(outlook::kName, VT_BSTR).ToBStr();
        const qint32 kind = folder.GetProperty(outlook::kDefaultItemType, VT_I4).ToI4();
        // Exact comparison: a folder whose name differs in letter case is another folder.
        if (kind == outlook::kContactItem && folderName == name) {
            ReadContactsFolder(list, folder);
            return true;
        }
        DispatchDriver sub(folder.GetProperty(outlook::kFolders, VT_DISPATCH).ToDispatch());
        if (sub.GetProperty(outlook::kCount, VT_I4).ToI4() > 0 &&
            FindContactsFolder(list, sub, name))
            return true;
        folder.AttachDispatch(
            folders.InvokeHelper(outlook::kGetNext, InvokeKind::Method, VT_DISPATCH).ToDispatch());
    }
    return false;
}

void ReadContactsFolder(RecipientList& list, DispatchDriver& folder) {
    DispatchDriver items(folder.GetProperty(outlook::kItems, VT_DISPATCH).ToDispatch());
    int counter = 0;
    if (const auto entries = ReadAllLines(items, {}, 3)) {
        for (const QStringList& e : *entries)
            if (!e.at(0).isEmpty())
                AddContactEntries(list, counter, e.at(0), QString(), e.at(1), e.at(2));
        return;
    }
    DispatchDriver item(
        items.InvokeHelper(outlook::kGetFirst, InvokeKind::Method, VT_DISPATCH).ToDispatch());
    while (!item.IsNull()) {
        const QString name = item.GetProperty(outlook::kName, VT_BSTR).ToBStr();
        if (!name.isEmpty()) {
            const QString home = item.GetProperty(outlook::kHomeFax, VT_BSTR).ToBStr();
            const QString business = item.GetProperty(outlook::kBusinessFax, VT_BSTR).ToBStr();
            AddContactEntries(list, counter, name, QString(), business, home);
        }
        item.AttachDispatch(
            items.InvokeHelper(outlook::kGetNext, InvokeKind::Method, VT_DISPATCH).ToDispatch());
    }
}

void AddContactEntries(RecipientList& list, int& counter, const QString& name,
                       const QString& primaryFax, const QString& businessFax,
                       const QString& homeFax) {
    if (!primaryFax.isEmpty())
        list.InsertRecipient(counter++, {name, primaryFax, RecipientEntry::kOutlook});
    if (!businessFax.isEmpty()) {
        QString text = name;
        if (!primaryFax.isEmpty() || !homeFax.isEmpty())
            text += LoadString(IDS_SUFFIX_BUSINESS);
        list.InsertRecipient(counter++, {text, businessFax, RecipientEntry::kOutlook});
    }
    if (!homeFax.isEmpty()) {
        QString text = name;
        if (!primaryFax.isEmpty() || !businessFax.isEmpty())
            text += LoadString(IDS_SUFFIX_PRIVATE);
        list.InsertRecipient(counter++, {text, homeFax, RecipientEntry::kOutlook});
    }
}
