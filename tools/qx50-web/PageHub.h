#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocketServer>

#include <memory>
#include <vector>

class PanelClient;
class QWebSocket;

// The open pages, each on one WebSocket. Every page hears the panel's whole state
// whenever it changes, so two pages see each other's actions. What a page starts, it
// starts under a tag of its own, so the panel knows the transmission or repeat as that
// page's: when the page goes silent (no heartbeat for kSilenceMs, closed, killed), its
// own is stopped, and a message another door started since goes on.
class PageHub : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxPages = 8;
    static constexpr int kSilenceMs = 3000;
    static constexpr qint64 kMaxMessageBytes = 1024;
    static constexpr qint64 kMaxBacklogBytes = 64 * 1024; // a page reading slower is dropped

    explicit PageHub(PanelClient &panel, QObject *parent = nullptr);
    ~PageHub() override;

    // Whether another page may connect now.
    bool full() const;
    // Takes a connection whose request asked for the page's WebSocket and was let in.
    void take(QTcpSocket *socket);
    // The program is ending: what any page started is stopped now, if it is still on
    // the air, since no page will be watched after this.
    void end();

private:
    struct Page {
        QWebSocket *socket = nullptr;
        QElapsedTimer heard;
        QString tag; // what the panel knows this page's transmissions by
    };

    void watchInbound(QTcpSocket *socket);
    void admit();
    void heard(Page &page, const QString &message);
    void lose(QWebSocket *socket, const char *why);
    void stop();
    void tellAll();
    void tell(Page &page, const QByteArray &message);
    Page *pageOf(QWebSocket *socket);

    PanelClient &m_panel;
    QWebSocketServer m_server;
    std::vector<std::unique_ptr<Page>> m_pages;
    struct Handshake {
        QPointer<QTcpSocket> socket;
        QElapsedTimer since;
    };
    std::vector<Handshake> m_handshakes;
    QTimer m_silence;
    QTimer m_coalesce; // one state message for a burst of changes
    quint64 m_admitted = 0; // pages so far, for each page's tag
};
