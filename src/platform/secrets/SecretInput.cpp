#include "platform/secrets/SecretInput.h"

#include <QByteArray>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

// Switches the terminal's echo off for its lifetime.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd) {
        if (::tcgetattr(m_fd, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        m_active = ::tcsetattr(m_fd, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (m_active)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_active = false;
};

} // namespace

std::optional<QString> ReadSecretInput(const QString& prompt) {
    QByteArray bytes;
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        EchoOff echoOff(STDIN_FILENO);
        int c = 0;
        while ((c = std::getchar()) != EOF && c != '\n')
            bytes.append(static_cast<char>(c));
        std::fputc('\n', stderr);
        if (c == EOF)
            return std::nullopt;
    } else {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
            bytes.append(buffer, static_cast<qsizetype>(n));
        if (std::ferror(stdin))
            return std::nullopt;
        if (bytes.endsWith('\n'))
            bytes.chop(1);
    }
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}
