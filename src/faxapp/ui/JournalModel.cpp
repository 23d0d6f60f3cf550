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
    if (state == u"received")
        return tr("empfangen");
    if (state == u"damaged")
        return tr("beschädigt empfangen");
    if (state == u"fetching")
        return tr("wird abgeholt");
    return state;
}

namespace {

// The engine's words on a job at or from the server: "fax server job 5 at host:port",
// "fax server job 5: sent, 2 page(s)", "fax server job 5: 1 Busy signal detected".
const QRegularExpression& ServerJobForm() {
    static const QRegularExpression form(
        QStringLiteral(R"(^fax server job (\d+)(?: at (\S+))?(?:: (?:(\d+) )?(.*))?$)"));
    return form;
}

// The engine's words on a job it refused, by their beginning.
QString RefusalWords(const QString& outcome) {
    static const QString serverRefused = QStringLiteral("the fax server does not take the job: ");
    if (outcome.startsWith(serverRefused))
        return JournalModel::tr("Der Faxserver nimmt den Auftrag nicht an. Server: „%1“")
            .arg(outcome.mid(serverRefused.size()));
    if (outcome.startsWith(u"the document did not convert"))
        return JournalModel::tr("Das Dokument ließ sich nicht umwandeln.");
    if (outcome.startsWith(u"not a job file"))
        return JournalModel::tr("Die Auftragsdatei ist nicht lesbar.");
    if (outcome.startsWith(u"the job has no fax number"))
        return JournalModel::tr("Der Auftrag hat keine Faxnummer.");
    if (outcome.startsWith(u"the send time is not"))
        return JournalModel::tr("Die Sendezeit ist ungültig.");
    return {};
}

} // namespace

QString JournalModel::ServerWords(const QString& outcome) {
    const auto match = ServerJobForm().match(outcome);
    const QString words = match.hasMatch() ? match.captured(4).trimmed() : QString();
    // "failed" is the engine's word for a failure the server did not explain.
    if (words == u"failed" || words.startsWith(u"sent, "))
        return {};
    return words;
}

QString JournalModel::OutcomeWords(const JournalEntry& entry) {
    const int pages = entry.pages;
    const QString& state = entry.state;
    QStringList words{StateWord(state)};
    if (entry.received) {
        if (pages > 0)
            words << tr("%n Seiten", nullptr, pages);
        if (!entry.remoteId.isEmpty())
            words << tr("von „%1“").arg(entry.remoteId);
        return words.join(QStringLiteral(", "));
    }
    const auto match = ServerJobForm().match(entry.outcome);
    if (state == u"submitted" && match.hasMatch())
        words << (match.captured(2).isEmpty()
                      ? tr("Auftrag %1").arg(match.captured(1))
                      : tr("Auftrag %1 bei %2").arg(match.captured(1), match.captured(2)));
    if (state == u"sent" && pages > 0)
        words << tr("%n Seiten", nullptr, pages);
    if (state == u"sent" && !entry.remoteId.isEmpty())
        words << tr("an „%1“").arg(entry.remoteId);
    if (state == u"failed" && entry.outcome.contains(u"is no longer known to the server"))
        words << tr("der Faxserver kennt den Auftrag nicht mehr, sein Ergebnis ist unbekannt");
    if (state == u"refused") {
        if (const QString refusal = RefusalWords(entry.outcome); !refusal.isEmpty())
            words << refusal;
    }
    if (state != u"sent" && state != u"submitted") {
        if (const QString server = ServerWords(entry.outcome); !server.isEmpty())
            words << tr("Server: „%1“").arg(server);
    }
    return words.join(QStringLiteral(", "));
}

JournalModel::StateClass JournalModel::ClassOf(const QString& state) {
    if (state == u"sent")
        return StateClass::Sent;
    if (state == u"received")
        return StateClass::Received;
    if (state == u"queued" || state == u"submitted" || state == u"fetching")
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
    const QString name = m_names.value(NumberKey(entry.number));
    // A received fax without a known number is named by its sender's identification.
    return name.isEmpty() && entry.received && !entry.number.isEmpty() ? entry.remoteId : name;
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
        // A received fax: the sender's number where the server learnt it, else its
        // identification.
        return entry.received && entry.number.isEmpty() ? entry.remoteId : entry.number;
    case kSendTime: {
        if (entry.received)
            return entry.arrived.isValid() ? locale.toString(entry.arrived, QLocale::ShortFormat)
                                           : QString();
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
    case kPages:
        return entry.pages > 0 ? locale.toString(entry.pages) : QString();
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
        if (index.column() == kState)
            return OutcomeWords(*entry);
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
    case Qt::TextAlignmentRole:
        return index.column() == kPages ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case kIdRole:
        return entry->id;
    case kStateClassRole:
        return int(ClassOf(entry->state));
    case kRemoteIdRole:
        return entry->remoteId;
    case kSortRole:
        switch (index.column()) {
        case kTime:
            return entry->id; // the order of adding, also when the clock was set back
        case kSendTime:
            return entry->received ? entry->arrived : JobSendTime(entry->sendTime);
        case kPages:
            return entry->pages;
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
    case kPages:
        return tr("Seiten");
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
    const QString remoteId = cell(0, JournalModel::kRemoteIdRole).toString();
    for (const int column : {JournalModel::kNumber, JournalModel::kName, JournalModel::kRemark}) {
        if (cell(column).toString().contains(m_search, Qt::CaseInsensitive))
            return true;
    }
    if (remoteId.contains(m_search, Qt::CaseInsensitive))
        return true;
    // A number also by its digits however it is spaced: "0711123" finds "0711 123456"; so
    // does the other station's identification, which is a number too.
    const bool number = std::all_of(m_search.cbegin(), m_search.cend(), [](QChar c) {
        return c.isDigit() || QStringView(u"+-/() ").contains(c);
    });
    const QString digits = NumberKey(m_search);
    return number && !digits.isEmpty() &&
           (NumberKey(cell(JournalModel::kNumber).toString()).contains(digits) ||
            NumberKey(remoteId).contains(digits));
}

} // namespace faxapp
