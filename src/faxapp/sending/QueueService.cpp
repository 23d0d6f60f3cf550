#include "faxapp/sending/QueueService.h"

#include "fax/FaxContract.h"
#include "faxapp/sending/JobObserver.h"
#include "faxapp/sending/QueueRunner.h"
#include "faxapp/sending/ServerFactory.h"
#include "support/Clock.h"

#include <QFileSystemWatcher>
#include <QLocale>
#include <QTime>
#include <QTimer>
#include <cstdio>

namespace faxapp {

namespace {

QueueRunner::ServerFactory Servers(const ServerAccount& account) {
    return [account](const QString& record) { return MakeFaxServer(account, record); };
}

QString Summary(const RunnerPass& pass) {
    return QStringLiteral("%1 submitted, %2 sent, %3 failed, %4 refused, %5 at the server, "
                          "%6 waiting in Comjob")
        .arg(pass.submitted)
        .arg(pass.sent)
        .arg(pass.failed)
        .arg(pass.refused)
        .arg(pass.waiting)
        .arg(pass.deferred);
}

} // namespace

class QueueService::Worker : public QObject {
public:
    Worker(QueueService* service, const FaxSettings& settings, JobObserver* observer,
           std::unique_ptr<ServiceStep> after)
        : m_service(service), m_settings(settings),
          m_runner(settings.dataDir, Servers(settings.server), m_clock), m_observer(observer),
          m_after(std::move(after)) {
        if (m_observer)
            m_runner.AddObserver(m_observer);
        m_runner.SetKeepSentDays(settings.keepSentDays);
    }

    // Called from the window's thread when the application ends.
    void Stop() { m_runner.RequestStop(); }

    void Start() {
        QString error;
        if (!m_runner.Open(error)) {
            Q_EMIT m_service->StateChanged(QueueService::tr("Versand gestoppt: %1").arg(error));
            return;
        }
        if (m_after && !m_after->Open(error)) {
            std::fprintf(stderr, "kalmofax: %s\n", qPrintable(error));
            m_after.reset();
        }
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, [this] { Pass(); });
        m_watcher = new QFileSystemWatcher(this);
        m_watcher->addPath(m_settings.dataDir + u'/' + fax::kFolderComjob);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
            // A server that is down is not asked before its delay is over.
            if (m_failures == 0 && m_timer->remainingTime() > kSettleMs)
                m_timer->start(kSettleMs);
        });
        Pass();
    }

private:
    void Pass() {
        RunnerPass pass = m_runner.RunOnce();
        if (m_after && !pass.unreachable) {
            QString serverError;
            if (!m_after->Run(m_observer, serverError, pass.problems)) {
                pass.unreachable = true;
                pass.serverError = serverError;
            }
        }
        for (const QString& problem : pass.problems)
            std::fprintf(stderr, "kalmofax: %s\n", qPrintable(problem));
        if (m_observer)
            m_observer->PassEnded();
        const int inFlight = m_runner.InFlight();
        QString text;
        int next = kRescanMs;
        if (pass.unreachable) {
            next = RetryDelayMs(++m_failures);
            text =
                QueueService::tr("Faxserver nicht erreichbar (%1); nächster Versuch um %2")
                    .arg(pass.serverError, QLocale().toString(QTime::currentTime().addMSecs(next),
                                                              QLocale::ShortFormat));
        } else {
            m_failures = 0;
            text = QueueService::tr("Faxserver %1:%2: %n Aufträge in Arbeit", nullptr, inFlight)
                       .arg(m_settings.server.host)
                       .arg(m_settings.server.port);
            if (inFlight > 0)
                next = kFollowMs;
            if (pass.deferred > 0)
                next = std::min<int>(next, QueueRunner::kJournalGraceSecs * 1000 / 4);
        }
        Q_EMIT m_service->StateChanged(text);
        m_timer->start(next);
    }

    QueueService* m_service;
    FaxSettings m_settings;
    SystemClock m_clock;
    QueueRunner m_runner;
    QTimer* m_timer = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    JobObserver* m_observer;
    std::unique_ptr<ServiceStep> m_after;
    int m_failures = 0;
};

QueueService::QueueService(const FaxSettings& settings, JobObserver* observer,
                           std::unique_ptr<ServiceStep> after, QObject* parent)
    : QObject(parent) {
    m_worker = new Worker(this, settings, observer, std::move(after));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    // The worker starts on its own thread, once that runs.
    connect(&m_thread, &QThread::started, m_worker, &Worker::Start);
}

QueueService::~QueueService() {
    // A pass at work ends after its job at hand instead of going through the whole queue.
    m_worker->Stop();
    m_thread.quit();
    m_thread.wait();
}

void QueueService::Start() {
    m_thread.start();
}

int QueueService::RetryDelayMs(int failures) {
    qint64 delay = kFirstRetryMs;
    for (int i = 1; i < failures && delay < kMaxRetryMs; ++i)
        delay *= 2;
    return static_cast<int>(std::min<qint64>(delay, kMaxRetryMs));
}

int QueueService::RunOnce(const FaxSettings& settings, JobObserver* observer, ServiceStep* after) {
    SystemClock clock;
    QueueRunner runner(settings.dataDir, Servers(settings.server), clock);
    if (observer)
        runner.AddObserver(observer);
    runner.SetKeepSentDays(settings.keepSentDays);
    QString error;
    if (settings.dataDir.isEmpty() || !runner.Open(error)) {
        std::fprintf(stderr, "kalmofax: %s\n",
                     qPrintable(error.isEmpty() ? settings.error : error));
        return 1;
    }
    RunnerPass pass = runner.RunOnce();
    // What the server received is fetched when it can be reached; when it cannot, that is
    // said, but the exit status tells of the jobs alone.
    if (after && !pass.unreachable) {
        QString serverError;
        if (!after->Open(error))
            pass.problems.append(error);
        else if (!after->Run(observer, serverError, pass.problems))
            std::fprintf(stderr, "kalmofax: received faxes not fetched: %s\n",
                         qPrintable(serverError));
    }
    if (observer)
        observer->PassEnded();
    for (const QString& problem : pass.problems)
        std::fprintf(stderr, "kalmofax: %s\n", qPrintable(problem));
    std::printf("kalmofax: %s\n", qPrintable(Summary(pass)));
    if (!pass.problems.isEmpty())
        return 1;
    if (pass.unreachable) {
        std::fprintf(stderr, "kalmofax: the fax server could not be reached: %s\n",
                     qPrintable(pass.serverError));
        return 75;
    }
    return 0;
}

} // namespace faxapp
