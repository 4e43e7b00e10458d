#include "ClientGate.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void tell(const QString &text)
{
    std::fprintf(stderr, "qx50-rigctld: %s\n", text.toLocal8Bit().constData());
}

bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

ClientGate::ClientGate(QTcpServer &server, int maxClients, QObject *parent)
    : QObject(parent)
    , m_notifier(server.socketDescriptor(), QSocketNotifier::Read)
    , m_maxClients(maxClients)
{
    server.pauseAccepting(); // Qt's own accepting stays off: the notifier here does it
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ClientGate::resume);
    connect(&m_notifier, &QSocketNotifier::activated, this, &ClientGate::acceptWaiting);
}

void ClientGate::acceptWaiting()
{
    const int listener = static_cast<int>(m_notifier.socket());
    for (;;) {
        const int descriptor = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (outOfDescriptors(errno))
                pause();
            else
                m_saidOut = false; // everyone waiting was let in: a later shortage is news
            return;
        }
        if (m_clients >= m_maxClients) {
            refuse(descriptor);
            continue;
        }
        auto *client = new QTcpSocket(this);
        if (!client->setSocketDescriptor(descriptor)) {
            ::close(descriptor);
            delete client;
            continue;
        }
        ++m_clients;
        connect(client, &QObject::destroyed, this, &ClientGate::left);
        emit arrived(client);
    }
}

// The refused client hears why before it is closed: what it sent is read first, so
// that the closing does not reset the connection and lose the line on its way.
void ClientGate::refuse(int descriptor)
{
    if (!m_saidFull) {
        tell(QStringLiteral("%1 clients connected: refusing more until one leaves (--max-clients)").arg(m_maxClients));
        m_saidFull = true;
    }
    static constexpr char kBusy[] = "RPRT -14\n";
    (void)::send(descriptor, kBusy, sizeof kBusy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    char sink[512];
    for (int i = 0; i < 8 && ::recv(descriptor, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {}
    ::shutdown(descriptor, SHUT_RDWR);
    ::close(descriptor);
}

void ClientGate::pause()
{
    if (m_paused)
        return;
    m_paused = true;
    m_notifier.setEnabled(false);
    if (!m_saidOut) // once, however many retries find none still
        tell(QStringLiteral("out of file descriptors with %1 clients: accepting paused until one leaves")
                 .arg(m_clients));
    m_saidOut = true;
    m_retry.start();
}

void ClientGate::resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_retry.stop();
    m_notifier.setEnabled(true);
}

void ClientGate::left()
{
    --m_clients;
    if (m_clients < m_maxClients)
        m_saidFull = false;
    resume();
}
