#pragma once

// The journal's rows as the main window shows them: dates and times in the user's regional
// format, the state in words, the recipient's (a received fax's sender's) name where the own
// address book knows the number, the pages; the outcome in the catalog's words made of the
// row's state and fields, the fax server's own words marked as its. Unread received faxes in
// bold. JournalFilter narrows them by state and by a search text.

#include "faxapp/journal/JournalStore.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QSortFilterProxyModel>

namespace faxapp {

// A job file's send time ("YY-MM-DD-hh:mm", local time); invalid for "IMMED" and for a text
// that is no such time.
QDateTime JobSendTime(const QString& text);

// The digits of a number as the address book compares them: a leading "+" kept, the rest
// dropped but the digits.
QString NumberKey(const QString& number);

class JournalModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        kTime,
        kKind,
        kName,
        kNumber,
        kSendTime,
        kRemark,
        kState,
        kJobFile,
        kPages,
        kColumns
    };
    // The state filter's classes.
    enum class StateClass { Waiting, Sent, Failed, Received };
    static constexpr int kIdRole = Qt::UserRole + 1;
    static constexpr int kSortRole = Qt::UserRole + 2;
    static constexpr int kStateClassRole = Qt::UserRole + 3;
    // The other station's identification: the sender's of a received fax, the receiver's of
    // a sent one.
    static constexpr int kRemoteIdRole = Qt::UserRole + 4;

    explicit JournalModel(QObject* parent = nullptr);

    // Replaces the rows; the names by number key (NumberKey) fill the name column.
    void SetEntries(QList<JournalEntry> entries);
    void SetNames(QHash<QString, QString> names);
    const JournalEntry* EntryOf(const QModelIndex& index) const;
    // The row of the entry with that id, -1 when there is none.
    int RowOf(qint64 id) const;

    static QString StateWord(const QString& state);
    // The outcome in words: the state with what the row's fields tell (pages, the receiver,
    // the server's job), and the server's own words as "Server: „…“"; never the engine's
    // English sentences.
    static QString OutcomeWords(const JournalEntry& entry);
    // The server's own status text in the engine's words on an ended job, empty when they
    // hold none.
    static QString ServerWords(const QString& outcome);
    static StateClass ClassOf(const QString& state);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString Cell(const JournalEntry& entry, int column) const;
    QString NameOf(const JournalEntry& entry) const;

    QList<JournalEntry> m_entries;
    QHash<QString, QString> m_names;
};

class JournalFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    // No class: every row.
    void SetStateClass(std::optional<JournalModel::StateClass> stateClass);
    // Rows whose number, name or remark hold the text, case ignored.
    void SetSearch(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    std::optional<JournalModel::StateClass> m_class;
    QString m_search;
};

} // namespace faxapp
