#include "addressbook/RecipientFill.h"

#include "addressbook/OwnAddressBook.h"
#include "platform/Automation.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

// Thrown through the connectors when a later fill or a cancel overtakes the running one.
struct FillCancelled {};

// Rows are handed on when this much time has passed since the last batch, and at the end of
// each source: a few batches a second keep the list growing without a queued event a row.
constexpr qint64 kBatchMs = 40;

class NoBusy final : public BusyIndicator {
public:
    void Begin() override {}
    void End() override {}
};

} // namespace

// The rows of one fill, collected and handed on in batches.
class BatchList final : public RecipientList {
public:
    BatchList(RecipientReader& reader, quint64 generation)
        : m_reader(reader), m_generation(generation) {
        m_since.start();
    }

    void InsertRecipient(int /*index*/, const RecipientEntry& entry) override {
        if (!m_reader.Allowed(m_generation))
            throw FillCancelled();
        m_rows.append(entry);
        if (m_since.elapsed() >= kBatchMs)
            Flush();
    }
    // The list was emptied when the fill started.
    void ClearRecipients() override {}

    void Flush() {
        if (!m_rows.isEmpty() && m_reader.Allowed(m_generation))
            Q_EMIT m_reader.RowsRead(m_generation, std::exchange(m_rows, {}));
        m_since.restart();
    }

private:
    RecipientReader& m_reader;
    quint64 m_generation;
    QList<RecipientEntry> m_rows;
    QElapsedTimer m_since;
};

// Passes the connectors' messages to the dialog's thread; the reading goes on meanwhile.
class ForwardingMessenger final : public Messenger {
public:
    ForwardingMessenger(RecipientReader& reader, quint64 generation)
        : m_reader(reader), m_generation(generation) {}

    MessageAnswer Show(int id, const QString& text, MessageKind kind) override {
        if (m_reader.Allowed(m_generation))
            Q_EMIT m_reader.MessageRaised(m_generation, id, text, kind);
        return MessageAnswer::Ok;
    }

private:
    RecipientReader& m_reader;
    quint64 m_generation;
};

RecipientReader::RecipientReader(AutomationClient& client, BusyIndicator* busy)
    : m_client(client), m_busy(busy) {}

RecipientReader::~RecipientReader() = default;

void RecipientReader::Fill(quint64 generation, const OutlookSettings& settings) {
    if (!Allowed(generation))
        return;
    NoBusy noBusy;
    BusyIndicator& busy = m_busy ? *m_busy : noBusy;
    BatchList rows(*this, generation);
    ForwardingMessenger messenger(*this, generation);
    try {
        LoadOwnAddressBook(rows, m_client, messenger, busy);
        rows.Flush();
        if (settings.m_bUseOutlook != 0)
            LoadOutlookAddresses(rows, settings, m_session, m_client, messenger, busy);
        rows.Flush();
    } catch (const FillCancelled&) {
        // Overtaken in the middle of the CDO walk: the next fill logs on afresh.
        m_session.Logoff();
        return;
    }
    if (Allowed(generation))
        Q_EMIT FillEnded(generation);
}

RecipientFill::RecipientFill(AutomationClient& automation, BusyIndicator& busy, QObject* parent)
    : QObject(parent), m_threadClient(automation.ForOtherThread(kReadingTimeoutMs)) {
    if (m_threadClient) {
        m_reader = std::make_unique<RecipientReader>(*m_threadClient, nullptr);
        m_thread = new QThread(this);
        m_thread->setObjectName(QStringLiteral("recipients"));
        m_reader->moveToThread(m_thread);
        m_thread->start();
    } else {
        m_reader = std::make_unique<RecipientReader>(automation, &busy);
    }
    // Queued from the reading thread; what an older fill sent before it was overtaken is
    // dropped here.
    connect(m_reader.get(), &RecipientReader::RowsRead, this,
            [this](quint64 generation, const QList<RecipientEntry>& rows) {
                if (m_filling && generation == m_generation)
                    Q_EMIT Rows(rows);
            });
    connect(m_reader.get(), &RecipientReader::MessageRaised, this,
            [this](quint64 generation, int id, const QString& text, MessageKind kind) {
                if (m_filling && generation == m_generation)
                    Q_EMIT Message(id, text, kind);
            });
    connect(m_reader.get(), &RecipientReader::FillEnded, this, [this](quint64 generation) {
        if (m_filling && generation == m_generation) {
            m_filling = false;
            Q_EMIT Ended();
        }
    });
}

RecipientFill::~RecipientFill() {
    Cancel();
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
    // The reader's objects go before the connection they were made on.
    m_reader.reset();
    m_threadClient.reset();
}

void RecipientFill::Start(const OutlookSettings& settings) {
    const quint64 generation = ++m_generation;
    m_reader->Allow(generation);
    m_filling = true;
    if (m_thread) {
        RecipientReader* reader = m_reader.get();
        QMetaObject::invokeMethod(
            reader, [reader, generation, settings] { reader->Fill(generation, settings); },
            Qt::QueuedConnection);
    } else {
        m_reader->Fill(generation, settings);
    }
}

void RecipientFill::Cancel() {
    m_reader->Allow(++m_generation);
    m_filling = false;
}
