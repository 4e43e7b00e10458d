#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

#include <optional>

class PageHub;
class RequestGuard;
class QTcpSocket;

// Where every connection comes in. The first request's head is read (up to a size and
// a time) and judged before anything else sees it: a refusal is answered here with its
// bare status; a page's WebSocket goes to the pages; any other request goes on, still
// unread, to the HTTP server bound to this listener, which judges every later request
// on the connection again.
class FrontDoor : public QTcpServer {
    Q_OBJECT

public:
    static constexpr int kMaxWaiting = 32; // connections whose first head is not in yet
    static constexpr int kHeadWithinMs = 5000;

    FrontDoor(const RequestGuard &guard, PageHub &pages, std::optional<QSslConfiguration> tls,
              QObject *parent = nullptr);

    // The bare answer to a refused request, with nothing said about why.
    static QByteArray refusalText(int status);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void examine(QTcpSocket *socket);
    void release(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, int status);

    const RequestGuard &m_guard;
    PageHub &m_pages;
    std::optional<QSslConfiguration> m_tls;
    int m_waiting = 0;
};
