#pragma once

#include <QString>

// One row of the recipients list: the name shown, the number dialled, and the picture of its
// source.
struct RecipientEntry {
    enum Image : int { kOwnAddressBook = 0, kOutlook = 1 };

    QString name;
    QString number;
    int image = kOwnAddressBook;
};

// The recipients list as the address-book connectors see it. The list keeps its rows sorted
// by name; the index is where a source run inserts, counting from 0 for each run.
class RecipientList {
public:
    virtual ~RecipientList() = default;
    virtual void InsertRecipient(int index, const RecipientEntry& entry) = 0;
    // Frees every row's number, then deletes all rows.
    virtual void ClearRecipients() = 0;
};

// The wait cursor while an address source is read; Begin and End pair up.
class BusyIndicator {
public:
    virtual ~BusyIndicator() = default;
    virtual void Begin() = 0;
    virtual void End() = 0;
};

// Ends the wait cursor on every path out of a scope.
class BusyScope {
public:
    explicit BusyScope(BusyIndicator& busy) : m_busy(busy) { m_busy.Begin(); }
    ~BusyScope() { m_busy.End(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyIndicator& m_busy;
};
