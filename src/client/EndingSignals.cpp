#include "EndingSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe's writing end, for the handler. Only one instance sets it.
volatile std::sig_atomic_t s_writeEnd = -1;

// Async-signal-safe: one write of one byte, errno kept for the code it interrupted.
// A full pipe already holds a signal to act on, so a lost byte loses nothing.
extern "C" void onEndingSignal(int signal)
{
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    if (s_writeEnd >= 0)
        (void)!::write(s_writeEnd, &number, 1);
    errno = savedErrno;
}

} // namespace

EndingSignals::EndingSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return; // the signals keep their default effect
    }
    s_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndingSignals::onReadable);

    struct sigaction action {};
    action.sa_handler = onEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kEndingSignals)
        ::sigaction(signal, &action, nullptr);
}

EndingSignals::~EndingSignals()
{
    restoreDefaults();
    s_writeEnd = -1;
    for (int &end : m_pipe)
        if (end >= 0)
            ::close(std::exchange(end, -1));
}

void EndingSignals::restoreDefaults()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kEndingSignals)
        ::sigaction(signal, &action, nullptr);
}

void EndingSignals::onReadable()
{
    unsigned char number = 0;
    const bool first = m_received == 0;
    while (::read(m_pipe[0], &number, 1) == 1)
        if (m_received == 0)
            m_received = number;
    if (!first || m_received == 0)
        return;
    restoreDefaults();
    emit ending(m_received);
}
