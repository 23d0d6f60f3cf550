#pragma once

#include "fax/CdoContract.h"
#include "platform/Automation.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The CDO connector: one MAPI.Session for the lifetime of the send dialog. Each refresh of the
// recipients list runs one cycle of Logon, OpenAddressList, the entry walk and Logoff.
//
// States: idle (no session object), created (a session object is held but not logged on, as
// after a refused log-on; the next Logon reuses it), logged on (between Logon and Logoff).
class MapiSession {
public:
    enum LogonResult : int { kLoggedOn = 0, kNoAutomation = 1, kCannotCreate = 2, kRefused = 3 };
    enum OpenResult : int { kOpened = 0, kNotLoggedOn = 1, kNoAddressList = 2, kReadError = 3 };

    MapiSession() = default;
    // Releases the current entry, the entries collection and the session, in that order; it
    // does not log off.
    virtual ~MapiSession();
    MapiSession(const MapiSession&) = delete;
    MapiSession& operator=(const MapiSession&) = delete;

    // Logs on with the profile (none when empty), creating the session object on first use.
    // Errors reported by the session are recorded and give kRefused; other automation errors
    // propagate.
    int Logon(AutomationClient& automation, const QString& profile);
    // Opens the named address list, or the first one when name is empty.
    int OpenAddressList(const QString& name);
    // Display names of the entries; empty when there is none (more), on a recorded error, or
    // when not logged on. Moving to the entry is not guarded: its errors propagate.
    QString GetFirstEntryName();
    QString GetNextEntryName();
    // The text of one field of the current entry, by MAPI property tag; empty when not logged
    // on or on a recorded error. Fetching the fields collection is not guarded.
    QString GetEntryField(qint32 tag);
    // Every entry of the opened address list in one call, as name, primary, business and home
    // fax, when the list offers it; nullopt when not logged on or when the list answers only
    // the walk. Its errors propagate, as those of moving to an entry do.
    std::optional<QList<QStringList>> ReadAllEntries();
    // Ends a log-on; nothing when not logged on. The session object is let go.
    void Logoff();
    void RecordError(const AutomationError& error);

    bool IsLoggedOn() const { return m_bLoggedOn != 0; }
    bool HasSession() const { return !m_session.IsNull(); }
    qint32 EntryCount() const { return m_nEntryCount; }
    qint32 ErrorCode() const { return m_nError; }
    const QString& ErrorText() const { return m_strError; }

private:
    QString GetEntryName(int moveDispid);

    DispatchDriver m_session;
    qint32 m_bLoggedOn = 0;
    DispatchDriver m_entries;
    DispatchDriver m_entry;
    qint32 m_nEntryCount = 0;
    qint32 m_nError = 0;
    QString m_strError;
};
