#pragma once

#include "RequestGuard.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QByteArray>

class Sessions;

// Answers the two plain requests: the token's exchange for a session cookie, and the
// page, one request a connection. Each is judged again, as it was at the door.
class WebServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    WebServer(const RequestGuard &guard, Sessions &sessions, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void answer(RequestGuard::Route route, QHttpServerResponder &&responder);

    const RequestGuard &m_guard;
    Sessions &m_sessions;
    QByteArray m_page;
    QByteArray m_policy; // the page's Content-Security-Policy
};
