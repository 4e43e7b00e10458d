#include "PageHub.h"

#include "InboundBudget.h"
#include "PageMessage.h"
#include "PanelClient.h"
#include "RequestGuard.h"
#include "client/BusContract.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>

namespace {
QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void note(const char *text)
{
    std::fprintf(stderr, "qx50-web: %s\n", text);
}
} // namespace

PageHub::PageHub(PanelClient &panel, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_server(QStringLiteral("qx50-web"), QWebSocketServer::NonSecureMode)
{
    m_server.setMaxPendingConnections(kMaxPages);
    // The browser fails a socket whose answer names none of the subprotocols it asked
    // for; the door has already checked the token that came beside this one.
    m_server.setSupportedSubprotocols({QString::fromLatin1(RequestGuard::kSocketProtocol)});
    m_server.setHandshakeTimeout(std::chrono::milliseconds(kSilenceMs));
    connect(&m_server, &QWebSocketServer::newConnection, this, &PageHub::admit);

    m_silence.setInterval(kSilenceMs / 6);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        std::vector<QWebSocket *> silent;
        for (const auto &page : m_pages)
            if (page->heard.hasExpired(kSilenceMs))
                silent.push_back(page->socket);
        for (QWebSocket *socket : silent)
            lose(socket, "went silent");
    });

    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &PageHub::tellAll);
    connect(&m_panel, &PanelClient::changed, &m_coalesce, qOverload<>(&QTimer::start));
    connect(&m_panel, &PanelClient::presenceChanged, &m_coalesce, qOverload<>(&QTimer::start));
}

PageHub::~PageHub()
{
    // The WebSocket server frees each page's connection when it ends, so they end
    // while it is still here.
    for (const auto &page : m_pages) {
        page->socket->disconnect(this);
        page->socket->abort();
        delete page->socket;
    }
}

bool PageHub::full() const
{
    // A handshake holds its place until it gives way to a page or times out.
    const auto handshaking = std::count_if(m_handshakes.begin(), m_handshakes.end(), [](const Handshake &h) {
        return h.socket && !h.since.hasExpired(kSilenceMs);
    });
    return static_cast<qsizetype>(m_pages.size()) + handshaking >= kMaxPages;
}

void PageHub::take(QTcpSocket *socket)
{
    std::erase_if(m_handshakes, [](const Handshake &h) { return !h.socket || h.since.hasExpired(kSilenceMs); });
    m_handshakes.push_back({socket, {}});
    m_handshakes.back().since.start();
    watchInbound(socket);
    m_server.handleConnection(socket);
    emit socket->readyRead(); // the request is already in the socket's buffer
}

// Connected before the WebSocket's own reading, so that what has arrived is counted
// before any of it is taken. A connection over its budget, or whose answers pile up
// unread (Qt's to its pings among them), is cut; the page's switch then stops what it
// started, as for any closed page.
void PageHub::watchInbound(QTcpSocket *socket)
{
    auto budget = std::make_shared<InboundBudget>();
    connect(socket, &QTcpSocket::readyRead, socket, [socket, budget] {
        if (budget->charge(socket->bytesAvailable()) && socket->bytesToWrite() <= kMaxBacklogBytes)
            return;
        note("a page sent more than a page sends, or read too slowly: its connection is cut");
        socket->abort();
    });
}

void PageHub::end()
{
    m_panel.stopOwnAndWait();
}

void PageHub::admit()
{
    while (QWebSocket *socket = m_server.nextPendingConnection()) {
        if (!m_handshakes.empty())
            m_handshakes.erase(m_handshakes.begin());
        if (static_cast<int>(m_pages.size()) >= kMaxPages) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto page = std::make_unique<Page>();
        page->socket = socket;
        page->heard.start();
        page->tag = QStringLiteral("page %1").arg(++m_admitted);
        socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
        socket->setParent(this);
        connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString &message) {
            if (Page *page = pageOf(socket))
                heard(*page, message);
        });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, socket] { lose(socket, "sent what a page never sends"); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { lose(socket, "closed"); });
        m_silence.start(); // watched only while a page is open
        Page &added = *page;
        m_pages.push_back(std::move(page));
        tell(added,
             json({{"t", "state"},
                   {"present", m_panel.present()},
                   {"props", QJsonObject::fromVariantMap(m_panel.state())}}));
    }
}

PageHub::Page *PageHub::pageOf(QWebSocket *socket)
{
    const auto it
        = std::find_if(m_pages.begin(), m_pages.end(), [socket](const auto &page) { return page->socket == socket; });
    return it == m_pages.end() ? nullptr : it->get();
}

void PageHub::heard(Page &page, const QString &message)
{
    const auto request = readPageRequest(message.toUtf8());
    if (!request) {
        lose(page.socket, "sent what a page never sends");
        return;
    }
    page.heard.restart();
    QPointer<QWebSocket> asker = page.socket;
    const auto answer = [this, asker](const QString &refusal) {
        if (refusal.isEmpty() || !asker)
            return;
        if (Page *page = pageOf(asker))
            tell(*page, json({{"t", "refused"}, {"text", refusal.left(200)}}));
    };
    switch (request->kind) {
    case PageRequest::Kind::Heartbeat: tell(page, R"({"t":"hb"})"); break; // so the page knows the link too
    case PageRequest::Kind::Stop: stop(); break;
    case PageRequest::Kind::Send:
        if (request->command == QLatin1String("S"))
            stop();
        else
            m_panel.sendFor(request->command, page.tag, answer);
        break;
    case PageRequest::Kind::Repeat:
        m_panel.startRepeatFor(request->memory, request->seconds,
                               static_cast<uint>(std::min<qint64>(request->count, 0xffffffff)), page.tag, answer);
        break;
    case PageRequest::Kind::Sounds: m_panel.setSounds(request->on, answer); break;
    }
}

// Stop pressed on any page, the operator's: the repeat ends with "S" if one runs,
// otherwise "S" goes out, whoever started what is on the air.
void PageHub::stop()
{
    const auto answer = [this](const QString &refusal) {
        if (refusal.isEmpty())
            return;
        for (const auto &page : m_pages)
            tell(*page, json({{"t", "refused"}, {"text", refusal.left(200)}}));
    };
    if (m_panel.state().value(QLatin1String(panel::property::kRepeating)).toBool())
        m_panel.stopRepeat(answer);
    else
        m_panel.send(QStringLiteral("S"), answer);
}

void PageHub::lose(QWebSocket *socket, const char *why)
{
    const auto it
        = std::find_if(m_pages.begin(), m_pages.end(), [socket](const auto &page) { return page->socket == socket; });
    if (it == m_pages.end())
        return;
    const QString tag = (*it)->tag;
    m_pages.erase(it);
    if (m_pages.empty())
        m_silence.stop();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    // The page's dead man's switch: the panel stops only what is still this page's.
    note(qPrintable(
        QStringLiteral("a page %1: what it started is stopped if still on the air").arg(QLatin1String(why))));
    m_panel.stopOwn(tag, [](const QString &) {});
}

void PageHub::tellAll()
{
    const QByteArray message = json(
        {{"t", "state"}, {"present", m_panel.present()}, {"props", QJsonObject::fromVariantMap(m_panel.state())}});
    std::vector<QWebSocket *> sockets;
    for (const auto &page : m_pages)
        sockets.push_back(page->socket);
    for (QWebSocket *socket : sockets)
        if (Page *page = pageOf(socket))
            tell(*page, message);
}

void PageHub::tell(Page &page, const QByteArray &message)
{
    if (page.socket->bytesToWrite() > kMaxBacklogBytes) {
        QPointer<QWebSocket> socket = page.socket;
        QMetaObject::invokeMethod(
            this,
            [this, socket] {
                if (socket)
                    lose(socket, "read too slowly");
            },
            Qt::QueuedConnection);
        return;
    }
    page.socket->sendTextMessage(QString::fromUtf8(message));
}
