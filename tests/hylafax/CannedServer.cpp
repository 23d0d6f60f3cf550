#include "CannedServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CannedServer::CannedServer(QByteArray bytes) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(m_fd, 1) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        m_port = ntohs(address.sin_port);
    }
    m_thread = std::thread([this, bytes = std::move(bytes)] { Serve(bytes); });
}

CannedServer::~CannedServer() {
    m_thread.join();
    ::close(m_fd);
}

void CannedServer::Serve(const QByteArray& bytes) const {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) {
        return;
    }
    const int peer = ::accept(m_fd, nullptr, nullptr);
    if (peer < 0) {
        return;
    }
    if (!bytes.isEmpty()) {
        (void)::send(peer, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
    }
    // Until the client gives up, but never longer than a few seconds.
    char sink[256];
    pollfd q{peer, POLLIN, 0};
    while (::poll(&q, 1, 5000) == 1 && ::recv(peer, sink, sizeof sink, 0) > 0) {
    }
    ::close(peer);
}
