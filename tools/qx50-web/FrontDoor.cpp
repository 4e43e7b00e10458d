#include "FrontDoor.h"

#include "PageHub.h"
#include "RequestGuard.h"
#include "RequestHead.h"

#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <map>

#include <sys/ioctl.h>

namespace {
// Whether anything has come on the connection: read by Qt already, or still with the
// system, which Qt reads only when this program's loop comes round to it.
bool hasSent(QTcpSocket *socket)
{
    int pending = 0;
    return socket->bytesAvailable() > 0
        || (::ioctl(static_cast<int>(socket->socketDescriptor()), FIONREAD, &pending) == 0 && pending > 0);
}

constexpr int kTooManyRequests = 429;
constexpr int kHeadTooLarge = 431;
constexpr int kBadRequest = 400;
} // namespace

FrontDoor::FrontDoor(const RequestGuard &guard, PageHub &pages, std::optional<QSslConfiguration> tls, QObject *parent)
    : QTcpServer(parent)
    , m_guard(guard)
    , m_pages(pages)
    , m_tls(std::move(tls))
{
}

QByteArray FrontDoor::refusalText(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " \r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

void FrontDoor::incomingConnection(qintptr descriptor)
{
    QTcpSocket *socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    makeRoomFor(socket->peerAddress());
    m_waiting.push_back({socket, socket->peerAddress()});
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
    deadline->start(kHeadWithinMs);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { examine(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this,
            [this] { std::erase_if(m_waiting, [](const Waiting &w) { return !w.socket; }); });
    if (m_tls) {
        auto *secure = static_cast<QSslSocket *>(socket);
        secure->setSslConfiguration(*m_tls);
        connect(secure, &QSslSocket::sslErrors, socket, &QTcpSocket::abort);
        secure->startServerEncryption();
    }
}

void FrontDoor::makeRoomFor(const QHostAddress &address)
{
    std::erase_if(m_waiting, [](const Waiting &w) { return !w.socket; });
    std::map<QString, int> byAddress;
    for (const Waiting &w : m_waiting)
        ++byAddress[w.address.toString()];
    QString crowded = address.toString();
    if (byAddress[crowded] < kMaxWaitingPerAddress) {
        if (static_cast<int>(m_waiting.size()) < kMaxWaiting)
            return;
        crowded = std::max_element(byAddress.begin(), byAddress.end(), [](const auto &a, const auto &b) {
                      return a.second < b.second;
                  })->first;
    }
    // Connections are accepted in batches, so a page's may not have been read yet when
    // others come after it: one that has sent nothing gives way first.
    const auto from = [&](const Waiting &w) { return w.address.toString() == crowded; };
    auto longest = std::find_if(m_waiting.begin(), m_waiting.end(),
                                [&](const Waiting &w) { return from(w) && !hasSent(w.socket); });
    if (longest == m_waiting.end())
        longest = std::find_if(m_waiting.begin(), m_waiting.end(), from);
    QTcpSocket *dropped = longest->socket;
    m_waiting.erase(longest);
    dropped->disconnect(this);
    dropped->abort();
    dropped->deleteLater();
}

void FrontDoor::release(QTcpSocket *socket)
{
    socket->disconnect(this);
    qDeleteAll(socket->findChildren<QTimer *>(Qt::FindDirectChildrenOnly));
    std::erase_if(m_waiting, [socket](const Waiting &w) { return !w.socket || w.socket == socket; });
}

void FrontDoor::examine(QTcpSocket *socket)
{
    const QByteArray seen = socket->peek(RequestHead::kMaxBytes + 1);
    const qsizetype end = headEnd(seen);
    if (end < 0) {
        if (seen.size() > RequestHead::kMaxBytes) {
            release(socket);
            refuse(socket, kHeadTooLarge);
        }
        return; // the rest of the head is still on its way
    }
    release(socket); // from here the connection is no longer this listener's to watch

    const auto head = parseRequestHead(QByteArrayView(seen).first(end));
    if (!head) {
        refuse(socket, kBadRequest);
        return;
    }
    const RequestGuard::Verdict verdict = m_guard.judge(*head);
    if (verdict.refusal != 0) {
        refuse(socket, verdict.refusal);
        return;
    }
    if (verdict.route == RequestGuard::Route::Socket) {
        if (m_pages.full()) {
            refuse(socket, kTooManyRequests);
            return;
        }
        disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->setParent(nullptr);
        m_pages.take(socket);
        return;
    }
    // The HTTP server bound to this listener takes it from the queue and reads it.
    addPendingConnection(socket);
    emit socket->readyRead();
}

void FrontDoor::refuse(QTcpSocket *socket, int status)
{
    socket->write(refusalText(status));
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
        if (socket->bytesToWrite() == 0)
            socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater, Qt::UniqueConnection);
    QTimer::singleShot(kHeadWithinMs, socket, &QTcpSocket::abort);
}
