#pragma once

// The queue runner at work while kalmofax runs: passes on a thread of its own, started when
// Comjob changes, every minute for what a watch misses, more often while jobs are at the
// server, and after a server that could not be reached with a delay that grows up to a
// quarter of an hour. What it is doing is told in one line for the window.

#include "faxapp/sending/FaxSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>

namespace faxapp {

class JobObserver;

// Work done after each sending pass, on the same thread (fetching the faxes the server
// received): opened once when the service starts.
class ServiceStep {
public:
    virtual ~ServiceStep() = default;
    virtual bool Open(QString& error) = 0;
    // One pass, told to observer (may be null); false when the server could not be reached,
    // with its words in serverError. Local problems go to problems, one line each.
    virtual bool Run(JobObserver* observer, QString& serverError, QStringList& problems) = 0;
};

class QueueService : public QObject {
    Q_OBJECT
public:
    static constexpr int kRescanMs = 60 * 1000;
    static constexpr int kFollowMs = 15 * 1000;
    static constexpr int kSettleMs = 1000;
    static constexpr int kFirstRetryMs = 10 * 1000;
    static constexpr int kMaxRetryMs = 15 * 60 * 1000;

    // observer (may be null) is told of the jobs filed, on the service's thread; it must
    // outlive the service.
    // after (may be null) runs after each sending pass.
    explicit QueueService(const FaxSettings& settings, JobObserver* observer = nullptr,
                          std::unique_ptr<ServiceStep> after = nullptr, QObject* parent = nullptr);
    ~QueueService() override; // ends the thread after the pass at work

    void Start();

    // What `kalmofax run --once` does: one pass, a summary on standard output, problems on
    // standard error. 0 when the pass was done, 75 when the server could not be reached
    // (the jobs wait in Comjob), 1 when the spool, the journal or a job could not be handled.
    static int RunOnce(const FaxSettings& settings, JobObserver* observer = nullptr,
                       ServiceStep* after = nullptr);

    // The delay before the try after failures unsuccessful ones in a row.
    static int RetryDelayMs(int failures);

Q_SIGNALS:
    void StateChanged(const QString& text);

private:
    class Worker;
    QThread m_thread;
    Worker* m_worker = nullptr; // lives on m_thread
};

} // namespace faxapp
