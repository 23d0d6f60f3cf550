#pragma once

// The control connection to a HylaFAX server and the passive data connections it opens: lines
// out, FTP-style replies in. Every wait is bounded by the time limit; a closed connection, a
// reply that does not parse or a limit that passes closes the connection and says why, so
// that the caller never hangs on a server that stopped talking.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <sys/socket.h>

class QIODevice;

namespace faxapp {

class HylafaxConnection {
public:
    struct Reply {
        int code = 0;
        QList<QByteArray> lines; // as received, without line ends; the last one holds the code
        // The last line's text after the code, e.g. "Login incorrect.".
        QByteArray Text() const;
        // The last line whole, e.g. "530 Login incorrect.", for messages.
        QString Line() const;
        bool Positive() const { return code >= 200 && code < 300; }
    };

    // hfaxd reads a command into a buffer of 512 bytes and takes whatever does not fit as the
    // next command: a longer line would let a value's tail be read as a command of its own.
    static constexpr qsizetype kMaxCommand = 500;
    // A data transfer may take this many times the time limit of one wait, not more.
    static constexpr int kTransferTimeouts = 10;

    // A text from the server as it may go into messages and the journal: UTF-8, control
    // characters replaced, outer blanks removed.
    static QString Printable(const QByteArray& bytes);

    explicit HylafaxConnection(int timeoutMs);
    ~HylafaxConnection();
    HylafaxConnection(const HylafaxConnection&) = delete;
    HylafaxConnection& operator=(const HylafaxConnection&) = delete;

    // Connects to the first address of host that answers and reads the greeting.
    std::optional<Reply> Open(const QString& host, quint16 port);
    bool IsOpen() const { return m_fd >= 0; }
    // Whether the connection is open and the server has sent nothing since its last reply. A
    // server that ends an idle client's session says "421 Timeout" and closes, which would
    // otherwise only show as the answer to the next command.
    bool Quiet() const;
    void Close();
    // Says goodbye without waiting for the answer, and closes.
    void Quit();

    // Sends one command line (without line end, at most kMaxCommand bytes) and reads its reply.
    std::optional<Reply> Command(const QByteArray& line);
    // Opens a passive data connection, sends the command and, once the server has answered
    // with a preliminary reply, sends source's bytes (Upload) or reads what the server sends
    // (Download, up to maxBytes). Returns the final reply, or the refusal in place of the
    // preliminary one; preliminary receives the preliminary reply.
    std::optional<Reply> Upload(const QByteArray& command, QIODevice& source, Reply& preliminary);
    std::optional<Reply> Download(const QByteArray& command, QByteArray& data, qint64 maxBytes);
    // The same, the bytes written to sink as they arrive; a sink that takes no more ends the
    // transfer (and the connection) with the reason.
    std::optional<Reply> DownloadTo(const QByteArray& command, QIODevice& sink, qint64 maxBytes);

    QString Error() const { return m_error; }

private:
    std::optional<Reply> ReadReply();
    // Waits for bytes from the server and appends them to m_in.
    bool Receive(qint64 deadline);
    bool SendAll(int fd, const char* data, qsizetype size, qint64 deadline);
    int OpenData();
    std::optional<Reply> Transfer(const QByteArray& command, QIODevice* source, QByteArray* sink,
                                  QIODevice* sinkDevice, qint64 maxBytes, Reply* preliminary);
    std::nullopt_t Fail(const QString& error);

    int m_timeoutMs;
    int m_fd = -1;
    sockaddr_storage m_peer{};
    socklen_t m_peerLength = 0;
    QByteArray m_in; // received bytes not yet taken as lines
    QString m_error;
};

} // namespace faxapp
