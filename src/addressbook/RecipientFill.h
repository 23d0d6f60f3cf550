#pragma once

// Filling the recipients list without making the dialog wait: the address sources (the own
// address book, then Outlook or CDO as configured) are read on a thread of their own with a
// connection of its own, and their rows reach the dialog's thread in batches. Where the
// automation layer offers no client for another thread (the in-process fakes of the tests),
// the sources are read at once on the caller's thread, through the same signals.
//
// A fill has a generation. Start and Cancel end the running fill: its reading stops at its next
// row, and nothing of it (rows, messages, its end) is signalled after Start or Cancel returned.

#include "addressbook/MapiSession.h"
#include "addressbook/OutlookContacts.h"
#include "addressbook/RecipientList.h"
#include "support/Messenger.h"

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

class AutomationClient;
class QThread;

// Reads the sources of one fill and hands the rows on; lives on the reading thread.
class RecipientReader final : public QObject {
    Q_OBJECT
public:
    // client: the automation client of the reading thread; busy: the wait cursor, given only
    // when the reader reads on the dialog's own thread.
    RecipientReader(AutomationClient& client, BusyIndicator* busy);
    ~RecipientReader() override;
    RecipientReader(const RecipientReader&) = delete;
    RecipientReader& operator=(const RecipientReader&) = delete;

    // The generation that may read; any other stops at its next row. Any thread.
    void Allow(quint64 generation) { m_allowed.store(generation); }
    bool Allowed(quint64 generation) const { return m_allowed.load() == generation; }

public Q_SLOTS:
    void Fill(quint64 generation, const OutlookSettings& settings);

Q_SIGNALS:
    void RowsRead(quint64 generation, const QList<RecipientEntry>& rows);
    void MessageRaised(quint64 generation, int id, const QString& text, MessageKind kind);
    void FillEnded(quint64 generation);

private:
    AutomationClient& m_client;
    BusyIndicator* m_busy;
    MapiSession m_session; // the CDO session, kept as long as the reader
    std::atomic<quint64> m_allowed{0};
};

// The dialog's side of the fills: starts and cancels them, and passes on what the current one
// delivers.
class RecipientFill final : public QObject {
    Q_OBJECT
public:
    // How long a call of the reading thread waits for a source. Nothing waits on that thread
    // but the rows, so it gives a directory all its time limit allows (searches of 10 s by
    // default, over several servers and pages) instead of the few seconds after which a call
    // made on the window's thread gives up.
    static constexpr int kReadingTimeoutMs = 60000;

    RecipientFill(AutomationClient& automation, BusyIndicator& busy, QObject* parent = nullptr);
    // Cancels the running fill and waits for its thread: at most one call's time-out when a
    // source does not answer. The dialog is closed by then; only the program's end waits.
    ~RecipientFill() override;
    RecipientFill(const RecipientFill&) = delete;
    RecipientFill& operator=(const RecipientFill&) = delete;

    // Cancels the running fill and starts a new one. Reading on the caller's thread, the whole
    // fill has been delivered when Start returns.
    void Start(const OutlookSettings& settings);
    void Cancel();
    bool IsFilling() const { return m_filling; }
    // True when the sources are read on a thread of their own.
    bool IsThreaded() const { return m_thread != nullptr; }

Q_SIGNALS:
    void Rows(const QList<RecipientEntry>& rows);
    void Message(int id, const QString& text, MessageKind kind);
    void Ended();

private:
    std::unique_ptr<AutomationClient> m_threadClient;
    std::unique_ptr<RecipientReader> m_reader;
    QThread* m_thread = nullptr;
    quint64 m_generation = 0;
    bool m_filling = false;
};
