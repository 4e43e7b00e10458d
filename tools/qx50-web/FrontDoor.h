#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

#include <QPointer>

#include <optional>
#include <vector>

class PageHub;
class RequestGuard;
class QTcpSocket;

// Where every connection comes in. The first request's head is read (up to a size and
// a time) and judged before anything else sees it: a refusal is answered here with its
// bare status; a page's WebSocket goes to the pages; any other request goes on, still
// unread, to the HTTP server bound to this listener, which judges every later request
// on the connection again.
//
// Until its head is in, a connection has shown no credential, so these are what
// anyone can hold open. A new connection always gets in: when an address already has
// kMaxWaitingPerAddress waiting, or all kMaxWaiting are taken, the one waiting longest
// (from the address with the most), among those that have sent nothing if any, is
// dropped for it. A browser's head follows its connection at once, so the page that
// holds the token is judged, and let in, while idle connections held open to lock it
// out are the ones that give way.
class FrontDoor : public QTcpServer {
    Q_OBJECT

public:
    static constexpr int kMaxWaiting = 32; // connections whose first head is not in yet
    static constexpr int kMaxWaitingPerAddress = 4;
    static constexpr int kHeadWithinMs = 2000; // TLS's handshake included

    FrontDoor(const RequestGuard &guard, PageHub &pages, std::optional<QSslConfiguration> tls,
              QObject *parent = nullptr);

    // The bare answer to a refused request, with nothing said about why.
    static QByteArray refusalText(int status);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void examine(QTcpSocket *socket);
    void makeRoomFor(const QHostAddress &address);
    void release(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, int status);

    const RequestGuard &m_guard;
    PageHub &m_pages;
    std::optional<QSslConfiguration> m_tls;
    struct Waiting {
        QPointer<QTcpSocket> socket;
        QHostAddress address;
    };
    std::vector<Waiting> m_waiting; // longest waiting first
};
