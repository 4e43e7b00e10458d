#pragma once

#include "RequestGuard.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QByteArray>

// Answers the one plain request, the page, one request a connection. Each is judged
// again, as it was at the door.
class WebServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    explicit WebServer(const RequestGuard &guard, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void answer(QHttpServerResponder &&responder);

    const RequestGuard &m_guard;
    QByteArray m_page;
    QByteArray m_policy; // the page's Content-Security-Policy
};
