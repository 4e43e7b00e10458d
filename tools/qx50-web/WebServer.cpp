#include "WebServer.h"

#include "FrontDoor.h"
#include "PageResource.h"
#include "RequestGuard.h"

#include <QHttpServerRequest>
#include <QMetaEnum>
#include <QHttpServerResponder>
#include <QTcpSocket>

namespace {
// The request as it came, for the guard: Qt has already read the head.
RequestHead headOf(const QHttpServerRequest &request)
{
    RequestHead head;
    head.method
        = QByteArray(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(static_cast<int>(request.method())))
              .toUpper();
    const QUrl url = request.url();
    head.target = url.path(QUrl::FullyEncoded).toLatin1();
    if (url.hasQuery())
        head.target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    for (const auto &[name, value] : request.headers())
        head.fields.append({name.toLower(), value.trimmed()});
    return head;
}
} // namespace

WebServer::WebServer(const RequestGuard &guard, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_guard(guard)
{
    const PageResource page = loadPage();
    m_page = page.html;
    m_policy = page.policy;
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const RequestGuard::Verdict verdict = m_guard.judge(headOf(request));
    if (verdict.refusal != 0 || verdict.route == RequestGuard::Route::Socket) {
        // A WebSocket is only ever opened as a connection's first request, at the door.
        socket->write(FrontDoor::refusalText(verdict.refusal != 0 ? verdict.refusal : 400));
        socket->disconnectFromHost();
        return true;
    }
    answer(makeResponder(request, socket));
    // One request a connection: the next one comes in through the door and is judged
    // there before Qt reads any of it.
    socket->disconnectFromHost();
    return true;
}

void WebServer::answer(QHttpServerResponder &&responder)
{
    responder.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
    responder.writeHeader("Content-Type", "text/html; charset=utf-8");
    responder.writeHeader("Content-Security-Policy", m_policy);
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("X-Frame-Options", "DENY");
    responder.writeHeader("Content-Length", QByteArray::number(m_page.size()));
    responder.writeHeader("Connection", "close");
    responder.writeBody(m_page);
}

void WebServer::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    socket->write(FrontDoor::refusalText(404));
    socket->disconnectFromHost();
}
