#include "addressbook/MapiSession.h"

#include "addressbook/ReadAll.h"
#include "fax/FaxContract.h"

MapiSession::~MapiSession() {
    m_entry.ReleaseDispatch();
    m_entries.ReleaseDispatch();
    m_session.ReleaseDispatch();
}

int MapiSession::Logon(AutomationClient& automation, const QString& profile) {
    if (!automation.Initialise())
        return kNoAutomation;
    if (m_session.IsNull()) {
        CreateFailure failure;
        if (!m_session.CreateDispatch(automation, fax::kProgIdMapiSession, &failure)) {
            RecordError(
                AutomationError(AutomationError::Kind::Transport, failure.scode, failure.text));
            return kCannotCreate;
        }
    }
    try {
        if (profile.isEmpty())
            m_session.InvokeHelper(cdo::kSessionLogon, InvokeKind::Method, VT_VARIANT);
        else
            m_session.InvokeHelper(cdo::kSessionLogon, InvokeKind::Method, VT_VARIANT,
                                   {AutoVariant::BStr(profile)});
    } catch (const AutomationError& error) {
        // Only a refusal by the session itself; a lost connection is not a refused log-on.
        if (error.kind != AutomationError::Kind::Dispatch)
            throw;
        RecordError(error);
        return kRefused;
    }
    m_bLoggedOn = 1;
    return kLoggedOn;
}

int MapiSession::OpenAddressList(const QString& name) {
    if (!m_bLoggedOn)
        return kNotLoggedOn;
    try {
        DispatchDriver lists(
            m_session.GetProperty(cdo::kSessionAddressLists, VT_VARIANT).ToDispatch());
        if (lists.GetProperty(cdo::kCollectionCount, VT_VARIANT).ToI4() <= 0)
            return kNoAddressList;
        const AutoVariant which = name.isEmpty() ? AutoVariant::I4(1) : AutoVariant::BStr(name);
        DispatchDriver list(
            lists.InvokeHelper(cdo::kCollectionItem, InvokeKind::PropertyGet, VT_VARIANT, {which})
                .ToDispatch());
        m_entries.AttachDispatch(list.GetProperty(cdo::kListEntries, VT_VARIANT).ToDispatch());
        m_nEntryCount = m_entries.GetProperty(cdo::kCollectionCount, VT_VARIANT).ToI4();
        return kOpened;
    } catch (const AutomationError& error) {
        RecordError(error);
        return kReadError;
    }
}

QString MapiSession::GetFirstEntryName() {
    return GetEntryName(cdo::kEntriesGetFirst);
}

QString MapiSession::GetNextEntryName() {
    return GetEntryName(cdo::kEntriesGetNext);
}

QString MapiSession::GetEntryName(int moveDispid) {
    if (!m_bLoggedOn)
        return {};
    DispatchPtr entry =
        m_entries.InvokeHelper(moveDispid, InvokeKind::Method, VT_VARIANT).ToDispatch();
    if (!entry)
        return {};
    m_entry.AttachDispatch(std::move(entry));
    try {
        return m_entry.GetProperty(cdo::kEntryName, VT_VARIANT).ToBStr();
    } catch (const AutomationError& error) {
        RecordError(error);
        return {};
    }
}

std::optional<QList<QStringList>> MapiSession::ReadAllEntries() {
    if (!m_bLoggedOn)
        return std::nullopt;
    return ReadAllLines(m_entries, {}, 4);
}

QString MapiSession::GetEntryField(qint32 tag) {
    if (!m_bLoggedOn)
        return {};
    DispatchDriver fields(m_entry.GetProperty(cdo::kEntryFields, VT_VARIANT).ToDispatch());
    try {
        DispatchDriver field(fields
                                 .InvokeHelper(cdo::kCollectionItem, InvokeKind::PropertyGet,
                                               VT_VARIANT, {AutoVariant::I4(tag)})
                                 .ToDispatch());
        return field.GetProperty(cdo::kFieldValue, VT_VARIANT).ToBStr();
    } catch (const AutomationError& error) {
        RecordError(error);
        return {};
    }
}

void MapiSession::Logoff() {
    if (!m_bLoggedOn)
        return;
    m_bLoggedOn = 0;
    try {
        m_session.InvokeHelper(cdo::kSessionLogoff, InvokeKind::Method, VT_VARIANT);
    } catch (const AutomationError&) {
        // A session that cannot log off is let go all the same; the next refresh starts anew.
    }
    m_session.ReleaseDispatch();
}

void MapiSession::RecordError(const AutomationError& error) {
    m_nError = error.scode;
    m_strError = error.kind == AutomationError::Kind::Dispatch ? error.text : error.text.left(255);
}
