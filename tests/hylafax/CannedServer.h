#pragma once

// A peer on a loopback port that plays canned sessions, one per connection it accepts, as a
// server would that broke in some way. A session is a list of replies: the first goes out on
// connect, each further one once a command line came in. Every session but the
// last ends by hanging up; the last one also when hangUp is set, else it listens until the
// client leaves. It gives up on a client after a few seconds.

#include <QByteArrayList>
#include <QList>
#include <thread>

class CannedServer {
public:
    explicit CannedServer(QList<QByteArrayList> sessions, bool hangUp = false);
    ~CannedServer();
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;
    quint16 Port() const { return m_port; }

private:
    void Serve(const QList<QByteArrayList>& sessions, bool hangUp) const;

    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};
