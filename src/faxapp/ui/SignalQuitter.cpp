#include "faxapp/ui/SignalQuitter.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace faxapp {

namespace {

// One quitter a process: the handler knows only this descriptor.
int g_writeEnd = -1;
int g_readEnd = -1;
constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

void OnSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up; nothing more to do then.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

SignalQuitter::SignalQuitter(QObject* parent) : QObject(parent) {
    if (g_writeEnd >= 0)
        return;
    std::array<int, 2> fds{};
    if (::pipe2(fds.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_readEnd = fds[0];
    g_writeEnd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalQuitter::OnReadable);
}

SignalQuitter::~SignalQuitter() {
    if (!m_notifier)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    delete m_notifier; // before its descriptor goes
    ::close(g_readEnd);
    ::close(g_writeEnd);
    g_readEnd = g_writeEnd = -1;
}

void SignalQuitter::OnReadable() {
    unsigned char byte = 0;
    while (::read(g_readEnd, &byte, 1) == 1)
        m_received = byte;
    // exit, not quit: a signal ends the program whatever its windows say.
    QCoreApplication::exit(0);
}

} // namespace faxapp
