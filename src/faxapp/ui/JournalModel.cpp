#include "faxapp/ui/JournalModel.h"

#include <QFont>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace faxapp {

QDateTime JobSendTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral(R"(^(\d\d)-(\d\d)-(\d\d)-(\d\d):(\d\d)$)"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch())
        return {};
    const auto part = [&](int n) { return match.capturedView(n).toInt(); };
    // Two-digit years of the job file are this century's.
    const QDate date(2000 + part(1), part(2), part(3));
    const QTime time(part(4), part(5));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QString NumberKey(const QString& number) {
    QString key;
    for (const QChar c : number) {
        if (c.isDigit() || (c == u'+' && key.isEmpty()))
            key += c;
    }
    return key;
}

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

void JournalModel::SetEntries(QList<JournalEntry> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

void JournalModel::SetNames(QHash<QString, QString> names) {
    m_names = std::move(names);
    if (!m_entries.isEmpty())
        Q_EMIT dataChanged(index(0, kName), index(int(m_entries.size()) - 1, kName));
}

const JournalEntry* JournalModel::EntryOf(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return nullptr;
    return &m_entries.at(index.row());
}

int JournalModel::RowOf(qint64 id) const {
    for (int row = 0; row < int(m_entries.size()); ++row) {
        if (m_entries.at(row).id == id)
            return row;
    }
    return -1;
}

QString JournalModel::StateWord(const QString& state) {
    if (state == u"queued")
        return tr("wartet");
    if (state == u"submitted")
        return tr("beim Faxserver");
    if (state == u"sent")
        return tr("gesendet");
    if (state == u"failed")
        return tr("fehlgeschlagen");
    if (state == u"refused")
        return tr("abgelehnt");
    if (state == u"cancelled")
        return tr("abgebrochen");
    return state;
}

JournalModel::StateClass JournalModel::ClassOf(const QString& state) {
    if (state == u"sent")
        return StateClass::Sent;
    if (state == u"queued" || state == u"submitted")
        return StateClass::Waiting;
    if (state == u"received" || state == u"damaged")
        return StateClass::Received;
    return StateClass::Failed;
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString JournalModel::NameOf(const JournalEntry& entry) const {
    return m_names.value(NumberKey(entry.number));
}

QString JournalModel::Cell(const JournalEntry& entry, int column) const {
    const QLocale locale;
    switch (column) {
    case kTime:
        return locale.toString(entry.recorded, QLocale::ShortFormat);
    case kKind:
        return entry.received ? tr("Empfang") : entry.poll ? tr("Abruf") : tr("Senden");
    case kName:
        return NameOf(entry);
    case kNumber:
        return entry.number;
    case kSendTime: {
        if (entry.sendTime.isEmpty() || entry.sendTime == u"IMMED")
            return tr("sofort");
        const QDateTime at = JobSendTime(entry.sendTime);
        return at.isValid() ? locale.toString(at, QLocale::ShortFormat) : entry.sendTime;
    }
    case kRemark:
        return entry.remark;
    case kState:
        return StateWord(entry.state);
    case kJobFile:
        return entry.jobFile;
    default:
        return {};
    }
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    const JournalEntry* entry = EntryOf(index);
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return Cell(*entry, index.column());
    case Qt::ToolTipRole:
        // The whole of a long message; the fax server's and the sending engine's own words.
        if (index.column() == kState && !entry->outcome.isEmpty())
            return tr("%1 – Meldung: %2").arg(StateWord(entry->state), entry->outcome);
        if (index.column() == kNumber || index.column() == kName)
            return NameOf(*entry).isEmpty() ? entry->number
                                            : NameOf(*entry) + u'\n' + entry->number;
        return {};
    case Qt::FontRole:
        // Faxes not yet looked at stand out.
        if (entry->unread) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case kIdRole:
        return entry->id;
    case kStateClassRole:
        return int(ClassOf(entry->state));
    case kSortRole:
        switch (index.column()) {
        case kTime:
            return entry->id; // the order of adding, also when the clock was set back
        case kSendTime:
            return JobSendTime(entry->sendTime);
        default:
            return Cell(*entry, index.column()).toLower();
        }
    default:
        return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kTime:
        return tr("Zeit");
    case kKind:
        return tr("Art");
    case kName:
        return tr("Empfänger");
    case kNumber:
        return tr("Nummer");
    case kSendTime:
        return tr("Sendezeit");
    case kRemark:
        return tr("Bemerkung");
    case kState:
        return tr("Status");
    case kJobFile:
        return tr("Auftrag");
    default:
        return {};
    }
}

void JournalFilter::SetStateClass(std::optional<JournalModel::StateClass> stateClass) {
    m_class = stateClass;
    invalidateFilter();
}

void JournalFilter::SetSearch(const QString& text) {
    m_search = text.trimmed();
    invalidateFilter();
}

bool JournalFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QAbstractItemModel* model = sourceModel();
    const auto cell = [&](int column, int role = Qt::DisplayRole) {
        return model->data(model->index(sourceRow, column, sourceParent), role);
    };
    if (m_class && cell(0, JournalModel::kStateClassRole).toInt() != int(*m_class))
        return false;
    if (m_search.isEmpty())
        return true;
    for (const int column : {JournalModel::kNumber, JournalModel::kName, JournalModel::kRemark}) {
        if (cell(column).toString().contains(m_search, Qt::CaseInsensitive))
            return true;
    }
    // A number also by its digits however it is spaced: "0711123" finds "0711 123456".
    const bool number = std::all_of(m_search.cbegin(), m_search.cend(), [](QChar c) {
        return c.isDigit() || QStringView(u"+-/() ").contains(c);
    });
    const QString digits = NumberKey(m_search);
    return number && !digits.isEmpty() &&
           NumberKey(cell(JournalModel::kNumber).toString()).contains(digits);
}

} // namespace faxapp
