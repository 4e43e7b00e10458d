#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

// Lets clients in from a listening server, at most a given number at once: the rest
// hear "RPRT -14" (Hamlib's "bus busy") and are closed. Accepting is done here rather
// than by Qt's server, which retries at once, for ever, when the process has no file
// descriptor left; here accepting pauses until a client leaves, or a second later.
class ClientGate : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultMaxClients = 64;
    static constexpr int kRetryMs = 1000;

    // The server must be listening already.
    ClientGate(QTcpServer &server, int maxClients, QObject *parent = nullptr);

signals:
    // A client let in; the socket is deleted when it disconnects (see Session).
    void arrived(QTcpSocket *client);

private:
    void acceptWaiting();
    void refuse(int descriptor);
    void pause();
    void resume();
    void left();

    QSocketNotifier m_notifier;
    QTimer m_retry;
    int m_maxClients;
    int m_clients = 0;
    bool m_paused = false;
    bool m_saidFull = false;
    bool m_saidOut = false;
};
