#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>

class RequestGuard;
class Sessions;

// Answers the two plain requests: the token's exchange for a session cookie, and the
// page. Each request on a connection is judged again, as the first was at the door.
class WebServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    WebServer(const RequestGuard &guard, Sessions &sessions, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    const RequestGuard &m_guard;
    Sessions &m_sessions;
    QByteArray m_page;
    QByteArray m_policy; // the page's Content-Security-Policy
};
