#include "faxapp/hylafax/HylafaxConnection.h"

#include "faxapp/hylafax/HylafaxReplies.h"

#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace faxapp {

namespace {

constexpr qint64 kChunk = 64 * 1024LL;

qint64 NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Waits until fd is ready for events or the deadline passes.
bool WaitFor(int fd, short events, qint64 deadline) {
    for (;;) {
        const qint64 left = deadline - NowMs();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<qint64>(left, 60000)));
        if (n > 0) {
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A peer that closed while a command was on its way resets the connection instead: the same
// event for the caller, told alike.
QString LostText(int error) {
    if (error == 0 || error == ECONNRESET || error == EPIPE) {
        return QStringLiteral("the server closed the connection");
    }
    return QStringLiteral("connection lost: %1").arg(ErrnoText(error));
}

// A non-blocking connect bounded by the deadline; -1 with the reason in error.
int ConnectTo(const sockaddr* address, socklen_t length, qint64 deadline, QString& error) {
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrnoText(errno);
        return -1;
    }
    if (::connect(fd, address, length) == 0) {
        return fd;
    }
    if (errno != EINPROGRESS) {
        error = ErrnoText(errno);
        ::close(fd);
        return -1;
    }
    if (!WaitFor(fd, POLLOUT, deadline)) {
        error = QStringLiteral("no answer in time");
        ::close(fd);
        return -1;
    }
    int status = 0;
    socklen_t size = sizeof status;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &size) != 0 || status != 0) {
        error = ErrnoText(status != 0 ? status : errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QByteArray HylafaxConnection::Reply::Text() const {
    return lines.isEmpty() ? QByteArray() : lines.last().mid(4);
}

QString HylafaxConnection::Reply::Line() const {
    return lines.isEmpty() ? QString() : Printable(lines.last());
}

QString HylafaxConnection::Printable(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes).trimmed();
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control) {
            c = u'?';
        }
    }
    return text;
}

HylafaxConnection::HylafaxConnection(int timeoutMs) : m_timeoutMs(std::max(timeoutMs, 1)) {}

HylafaxConnection::~HylafaxConnection() {
    Close();
}

bool HylafaxConnection::Quiet() const {
    pollfd p{m_fd, POLLIN, 0};
    return m_fd >= 0 && m_in.isEmpty() && ::poll(&p, 1, 0) == 0;
}

void HylafaxConnection::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_in.clear();
}

void HylafaxConnection::Quit() {
    static const QByteArray quit = QByteArrayLiteral("QUIT\r\n");
    if (m_fd >= 0) {
        SendAll(m_fd, quit.constData(), quit.size(), NowMs() + m_timeoutMs);
    }
    Close();
}

std::nullopt_t HylafaxConnection::Fail(const QString& error) {
    m_error = error;
    Close();
    return std::nullopt;
}

std::optional<HylafaxConnection::Reply> HylafaxConnection::Open(const QString& host, quint16 port) {
    Close();
    const qint64 deadline = NowMs() + m_timeoutMs;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    const int rc = ::getaddrinfo(host.toUtf8().constData(), service.constData(), &hints, &found);
    if (rc != 0) {
        return Fail(QStringLiteral("cannot find %1: %2")
                        .arg(host, QString::fromLocal8Bit(::gai_strerror(rc))));
    }
    QString error;
    for (const addrinfo* a = found; a != nullptr && m_fd < 0; a = a->ai_next) {
        m_fd = ConnectTo(a->ai_addr, a->ai_addrlen, deadline, error);
        if (m_fd >= 0) {
            std::memcpy(&m_peer, a->ai_addr, a->ai_addrlen);
            m_peerLength = a->ai_addrlen;
        }
    }
    ::freeaddrinfo(found);
    if (m_fd < 0) {
        return Fail(
            QStringLiteral("cannot connect to %1 port %2: %3").arg(host).arg(port).arg(error));
    }
    return ReadReply();
}

bool HylafaxConnection::Receive(qint64 deadline) {
    for (;;) {
        if (!WaitFor(m_fd, POLLIN, deadline)) {
            m_error = QStringLiteral("no reply from the server within %1 ms").arg(m_timeoutMs);
            return false;
        }
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        }
        if (n <= 0) {
            m_error = LostText(n == 0 ? 0 : errno);
            return false;
        }
        m_in.append(buffer, n);
        // Acknowledged at once: around a transfer the server sends two replies in a row (150,
        // then 226), and holds the second back until the first is acknowledged (Nagle), which
        // a delayed acknowledgement here would make a 40 ms wait on every transfer. Linux
        // clears the flag after a while, so it is set again after each read.
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        return true;
    }
}

std::optional<HylafaxConnection::Reply> HylafaxConnection::ReadReply() {
    if (m_fd < 0) {
        return Fail(QStringLiteral("not connected"));
    }
    const qint64 deadline = NowMs() + m_timeoutMs;
    Reply reply;
    for (;;) {
        QString error;
        switch (HylafaxReplies::TakeReply(m_in, reply, error)) {
        case HylafaxReplies::Scan::Complete:
            return reply;
        case HylafaxReplies::Scan::Bad:
            return Fail(error);
        case HylafaxReplies::Scan::Incomplete:
            break;
        }
        if (!Receive(deadline)) {
            return Fail(m_error);
        }
    }
}

bool HylafaxConnection::SendAll(int fd, const char* data, qsizetype size, qint64 deadline) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            m_error = LostText(errno);
            return false;
        }
        if (!WaitFor(fd, POLLOUT, deadline)) {
            m_error = QStringLiteral("the server took nothing for %1 ms").arg(m_timeoutMs);
            return false;
        }
    }
    return true;
}

std::optional<HylafaxConnection::Reply> HylafaxConnection::Command(const QByteArray& line) {
    if (m_fd < 0) {
        return Fail(QStringLiteral("not connected"));
    }
    if (line.contains('\n') || line.contains('\r') || line.size() > kMaxCommand) {
        return Fail(QStringLiteral("a command must be one short line"));
    }
    const QByteArray bytes = line + "\r\n";
    if (!SendAll(m_fd, bytes.constData(), bytes.size(), NowMs() + m_timeoutMs)) {
        return Fail(m_error);
    }
    return ReadReply();
}

int HylafaxConnection::OpenData() {
    auto reply = Command(QByteArrayLiteral("EPSV"));
    if (!reply) {
        return -1;
    }
    int port = reply->code == 229 ? HylafaxReplies::ExtendedPassivePort(reply->Text()) : -1;
    if (reply->code >= 500) { // a server without EPSV
        reply = Command(QByteArrayLiteral("PASV"));
        if (!reply) {
            return -1;
        }
        port = reply->code == 227 ? HylafaxReplies::PassivePort(reply->Text()) : -1;
    }
    if (port < 0) {
        Fail(QStringLiteral("no data connection: %1").arg(reply->Line()));
        return -1;
    }
    sockaddr_storage address = m_peer;
    if (address.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = htons(static_cast<uint16_t>(port));
    } else {
        reinterpret_cast<sockaddr_in*>(&address)->sin_port = htons(static_cast<uint16_t>(port));
    }
    QString error;
    const int fd = ConnectTo(reinterpret_cast<const sockaddr*>(&address), m_peerLength,
                             NowMs() + m_timeoutMs, error);
    if (fd < 0) {
        Fail(QStringLiteral("cannot open the data connection: %1").arg(error));
    }
    return fd;
}

std::optional<HylafaxConnection::Reply>
HylafaxConnection::Transfer(const QByteArray& command, QIODevice* source, QByteArray* sink,
                            QIODevice* sinkDevice, qint64 maxBytes, Reply* preliminary) {
    const int data = OpenData();
    if (data < 0) {
        return std::nullopt;
    }
    auto reply = Command(command);
    if (!reply || reply->code >= 200) {
        ::close(data);
        return reply; // refused (or lost) before any data moved
    }
    if (preliminary != nullptr) {
        *preliminary = *reply;
    }
    QString failure;
    char buffer[kChunk];
    // Each wait is bounded, and so is the whole transfer: a server that trickles a byte now
    // and then would otherwise hold the pass for days.
    const qint64 transferEnd = NowMs() + qint64{kTransferTimeouts} * m_timeoutMs;
    const auto deadline = [&] { return std::min(NowMs() + m_timeoutMs, transferEnd); };
    qint64 received = 0;
    for (;;) {
        if (source != nullptr) {
            const qint64 n = source->read(buffer, kChunk);
            if (n < 0) {
                failure = QStringLiteral("cannot read the document: %1").arg(source->errorString());
            } else if (n > 0 && !SendAll(data, buffer, n, deadline())) {
                failure = m_error;
            }
            if (n <= 0 || !failure.isEmpty()) {
                break;
            }
            continue;
        }
        if (!WaitFor(data, POLLIN, deadline())) {
            failure = NowMs() >= transferEnd
                          ? QStringLiteral("the transfer took longer than %1 ms")
                                .arg(qint64{kTransferTimeouts} * m_timeoutMs)
                          : QStringLiteral("the server sent nothing for %1 ms").arg(m_timeoutMs);
            break;
        }
        const ssize_t n = ::recv(data, buffer, sizeof buffer, 0);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            failure = QStringLiteral("data connection lost: %1").arg(ErrnoText(errno));
            break;
        }
        received += n;
        if (received > maxBytes) {
            failure = QStringLiteral("the server sent more than %1 bytes").arg(maxBytes);
            break;
        }
        if (sinkDevice == nullptr) {
            sink->append(buffer, n);
        } else if (sinkDevice->write(buffer, n) != n) {
            failure = QStringLiteral("cannot write what the server sent: %1")
                          .arg(sinkDevice->errorString());
            break;
        }
    }
    ::close(data);
    if (!failure.isEmpty()) {
        return Fail(failure); // the server's view of a half transfer is not worth waiting for
    }
    return ReadReply();
}

std::optional<HylafaxConnection::Reply>
HylafaxConnection::Upload(const QByteArray& command, QIODevice& source, Reply& preliminary) {
    return Transfer(command, &source, nullptr, nullptr, 0, &preliminary);
}

std::optional<HylafaxConnection::Reply>
HylafaxConnection::Download(const QByteArray& command, QByteArray& data, qint64 maxBytes) {
    data.clear();
    return Transfer(command, nullptr, &data, nullptr, maxBytes, nullptr);
}

std::optional<HylafaxConnection::Reply>
HylafaxConnection::DownloadTo(const QByteArray& command, QIODevice& sink, qint64 maxBytes) {
    return Transfer(command, nullptr, nullptr, &sink, maxBytes, nullptr);
}

} // namespace faxapp
