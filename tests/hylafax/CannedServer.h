#pragma once

// A peer that accepts one connection on a loopback port, sends its bytes and then only
// listens, as a server would that broke in some way. It gives up after a few seconds.

#include <QByteArray>
#include <thread>

class CannedServer {
public:
    explicit CannedServer(QByteArray bytes);
    ~CannedServer();
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;
    quint16 Port() const { return m_port; }

private:
    void Serve(const QByteArray& bytes) const;

    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};
