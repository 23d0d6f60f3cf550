#include "CannedServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPatienceMs = 5000;

// Reads up to a line end; false when the client left or said nothing in time.
bool ReadLine(int fd) {
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, kPatienceMs) == 1 && ::recv(fd, &c, 1, 0) == 1) {
        if (c == '\n') {
            return true;
        }
    }
    return false;
}

} // namespace

CannedServer::CannedServer(QList<QByteArrayList> sessions, bool hangUp) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(m_fd, 4) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        m_port = ntohs(address.sin_port);
    }
    m_thread =
        std::thread([this, hangUp, sessions = std::move(sessions)] { Serve(sessions, hangUp); });
}

CannedServer::~CannedServer() {
    m_thread.join();
    ::close(m_fd);
}

void CannedServer::Serve(const QList<QByteArrayList>& sessions, bool hangUp) const {
    for (qsizetype i = 0; i < sessions.size(); ++i) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, kPatienceMs) != 1) {
            return;
        }
        const int peer = ::accept(m_fd, nullptr, nullptr);
        if (peer < 0) {
            return;
        }
        const QByteArrayList& replies = sessions[i];
        for (qsizetype r = 0; r < replies.size(); ++r) {
            if (r > 0 && !ReadLine(peer)) {
                break;
            }
            const QByteArray& reply = replies[r];
            if (!reply.isEmpty() && ::send(peer, reply.constData(),
                                           static_cast<size_t>(reply.size()), MSG_NOSIGNAL) < 0) {
                break;
            }
        }
        if (i + 1 == sessions.size() && !hangUp) {
            while (ReadLine(peer)) {
            }
        }
        ::close(peer);
    }
}
