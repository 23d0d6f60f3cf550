#pragma once

// Ends the event loop on SIGTERM, SIGINT and SIGHUP: the handler only writes a byte into a
// pipe, and the loop reads it and quits, so that windows and the bus name are given up in
// order rather than by a handler in the middle of something.

#include <QObject>

class QSocketNotifier;

namespace faxapp {

class SignalQuitter final : public QObject {
    Q_OBJECT
public:
    explicit SignalQuitter(QObject* parent = nullptr);
    ~SignalQuitter() override;
    SignalQuitter(const SignalQuitter&) = delete;
    SignalQuitter& operator=(const SignalQuitter&) = delete;

    // False when the pipe or the handlers could not be set up.
    bool IsValid() const { return m_notifier != nullptr; }
    // The signal that ended the loop, 0 until one came.
    int Received() const { return m_received; }

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
    int m_received = 0;
};

} // namespace faxapp
