#pragma once

#include "NetworkAddress.h"
#include "ReceiveBuffer.h"
#include "SerialLine.h"

#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QMap>

#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QTcpSocket;
struct telnet_t;
union telnet_event_t;

// A serial port served over TCP (see NetworkAddress.h): telnet with RFC 2217 serial
// control, or a raw byte stream. libtelnet does the telnet framing; this class builds
// the RFC 2217 commands. Opening waits for the far end with the window's events
// flowing (the operator's input waits until the opening is over).
class NetworkLine final : public SerialLine {
    Q_OBJECT

public:
    // An opening waits for the connection and the negotiation as long as
    // OpeningTime allows. The longest it then waits for the server to confirm the line settings; servers
    // need not confirm them.
    static constexpr qint64 kConfirmationMs = 500;
    // A raw server says nothing when it takes a connection, but one that refuses a
    // second connection says so and closes at once; that long is given for it.
    static constexpr qint64 kRefusalMs = 150;
    // What may wait to be sent: one-byte commands and the odd telnet answer need far
    // less. A server that lets more pile up does not read, and the line is lost.
    static constexpr qint64 kMaxUnsentBytes = 4096;
    // The received bytes are taken in slices; after this long the rest waits for the
    // next turn of the event loop, so no input holds up the window for a tick.
    static constexpr qint64 kTakeInBudgetMs = 20;
    // A far end that vanished without closing (its link or power gone) is given up
    // after about this long: keepalive probes when idle, and unacknowledged data.
    static constexpr int kKeepAliveIdleS = 10;
    static constexpr int kKeepAliveIntervalS = 5;
    static constexpr int kKeepAliveProbes = 3;
    static constexpr int kUnacknowledgedMs = 25000;

    explicit NetworkLine(QObject *parent = nullptr);
    ~NetworkLine() override;

    void open(const QString &device, const SerialSettings &settings, const QString &settingsText) override;
    void close() override;
    bool isOpen() const override { return m_stage == Stage::Open; }
    bool write(const QByteArray &bytes) override;
    QByteArray takeReceived() override;

private:
    // Confirming: connected, waiting a short while for the server's word.
    enum class Stage { Closed, Connecting, Negotiating, Confirming, Open, Failed };
    struct TelnetFree {
        void operator()(telnet_t *telnet) const;
    };

    static void onTelnetEvent(telnet_t *telnet, telnet_event_t *event, void *line);
    void handleTelnetEvent(const telnet_event_t &event);
    void onConnected();
    void onReadyRead();
    void takeIn(bool all);
    void keepAlive();
    void breakStream(const QString &why);
    void onSocketError(QAbstractSocket::SocketError error);
    void onReceived(const char *bytes, qsizetype size);
    void onServerCommand(const QByteArray &command);
    void sendLineSettings();
    void sendComPortCommand(quint8 command, const QByteArray &value);
    void sendToSocket(const char *bytes, qsizetype size);

    bool opening() const;
    void setStage(Stage stage);
    void failOpening(const QString &why);
    void reportLost(const QString &why);
    bool waitUntil(const std::function<bool()> &done, QDeadlineTimer deadline);
    QString where() const;
    QString describe(QAbstractSocket::SocketError error) const;
    QString timedOut(qint64 allowedMs) const;
    QString quotedServerText() const;

    QTcpSocket *m_socket; // a child, so tests can watch its signals
    std::unique_ptr<telnet_t, TelnetFree> m_telnet; // RFC 2217 only
    NetworkAddress m_address;
    SerialSettings m_settings;
    QString m_settingsText;
    Stage m_stage = Stage::Closed;
    QString m_failure; // why the opening failed
    QMap<quint8, QByteArray> m_awaited; // line settings sent and not yet confirmed
    ReceiveBuffer m_received;
    QByteArray m_unreadTail; // the newest bytes not yet taken: what the server last said
    bool m_writeFailed = false;
    bool m_lossReported = false;
    bool m_streamBroken = false; // nothing more is taken in or sent on this connection
    bool m_takeInQueued = false;
    int m_connection = 0; // counts connections, so news of an old one is ignored
    QEventLoop *m_waiting = nullptr;
};
