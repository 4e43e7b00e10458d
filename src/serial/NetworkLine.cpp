#include "NetworkLine.h"

#include "OpeningTime.h"
#include "Rfc2217.h"
#include "SerialError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTcpSocket>
#include <QTimer>

#include <libtelnet.h>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// What this client takes part in: binary both ways (the unit's bytes are not text),
// suppress-go-ahead as servers offer it, and serial control from our side only.
// Everything else, echo among it, is refused.
const telnet_telopt_t kTelnetOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {rfc2217::kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

// Enough of what the server said to quote it under a message.
constexpr qsizetype kQuoteLength = 120;

// Bytes handed to telnet at once: what one slice of received data may cost is
// bounded even when it unfolds (an option the server should not have used).
constexpr qint64 kSliceBytes = 4096;
// The most received data held unread: the server waits while it is full.
constexpr qint64 kReadBufferBytes = 64 * 1024;

rfc2217::StopSize stopSizeOf(SerialSettings::StopBits stopBits)
{
    switch (stopBits) {
    case SerialSettings::StopBits::OneAndHalf: return rfc2217::StopOneAndHalf;
    case SerialSettings::StopBits::Two: return rfc2217::StopTwo;
    case SerialSettings::StopBits::One: break;
    }
    return rfc2217::StopOne;
}

QByteArray oneByte(int value)
{
    return QByteArray(1, static_cast<char>(value));
}

} // namespace

void NetworkLine::TelnetFree::operator()(telnet_t *telnet) const
{
    telnet_free(telnet);
}

NetworkLine::NetworkLine(QObject *parent)
    : SerialLine(parent)
    , m_socket(new QTcpSocket(this))
{
    m_socket->setReadBufferSize(kReadBufferBytes);
    connect(m_socket, &QTcpSocket::connected, this, &NetworkLine::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetworkLine::onReadyRead);
    // A failure can surface inside our own handling (a write while telnet is taking in
    // a reply); it is looked at once that is over, and only if it still concerns the
    // same connection.
    auto later = [this](QAbstractSocket::SocketError error) {
        QMetaObject::invokeMethod(
            this,
            [this, error, connection = m_connection] {
                if (connection == m_connection)
                    onSocketError(error);
            },
            Qt::QueuedConnection);
    };
    connect(m_socket, &QTcpSocket::errorOccurred, this, later);
    connect(m_socket, &QTcpSocket::disconnected, this, [later] { later(QAbstractSocket::RemoteHostClosedError); });
}

NetworkLine::~NetworkLine()
{
    m_socket->disconnect(this);
    close();
}

void NetworkLine::open(const QString &device, const SerialSettings &settings, const QString &settingsText)
{
    close();
    const QDeadlineTimer openBy = OpeningTime::forOpeningNow();
    QString problem;
    const auto address = NetworkAddress::parse(device, &problem);
    if (!address)
        throw SerialError(problem);

    m_address = *address;
    m_settings = settings;
    m_settingsText = settingsText;
    m_failure.clear();
    m_awaited.clear();
    m_received.clear();
    m_unreadTail.clear();
    m_lossReported = false;
    m_streamBroken = false;
    m_telnet.reset();
    const qint64 allowedMs = std::max<qint64>(0, openBy.remainingTime());

    ++m_connection;
    setStage(Stage::Connecting);
    m_socket->connectToHost(m_address.host, m_address.port);
    waitUntil([this] { return m_stage != Stage::Connecting && m_stage != Stage::Negotiating; }, openBy);
    if (m_stage == Stage::Confirming) {
        const qint64 confirmationMs = m_telnet ? kConfirmationMs : kRefusalMs;
        waitUntil([this] { return m_stage != Stage::Confirming; }, std::min(openBy, QDeadlineTimer(confirmationMs)));
        if (m_stage == Stage::Confirming)
            setStage(Stage::Open); // the server keeps its confirmations to itself
    }
    if (m_stage == Stage::Open) {
        m_received.clear(); // an opened port starts with nothing received
        m_unreadTail.clear();
        return;
    }

    QString why = m_failure;
    if (m_stage == Stage::Closed)
        why = QStringLiteral("the opening was cancelled");
    else if (m_stage != Stage::Failed)
        why = timedOut(allowedMs);
    close();
    throw SerialError(why);
}

void NetworkLine::close()
{
    if (m_stage == Stage::Closed)
        return;
    setStage(Stage::Closed);
    ++m_connection;
    // What was written has been handed to the system already; it still goes out.
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
}

bool NetworkLine::write(const QByteArray &bytes)
{
    if (m_stage != Stage::Open || m_streamBroken || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    m_writeFailed = false;
    if (m_telnet)
        telnet_send(m_telnet.get(), bytes.constData(), static_cast<size_t>(bytes.size())); // doubles IAC
    else
        sendToSocket(bytes.constData(), bytes.size());
    m_socket->flush(); // at once, not at the next turn of the event loop
    return !m_writeFailed;
}

QByteArray NetworkLine::takeReceived()
{
    m_unreadTail.clear();
    return m_received.take();
}

void NetworkLine::onConnected()
{
    if (m_stage != Stage::Connecting)
        return;
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); // one command byte, sent at once
    keepAlive();
    if (m_address.kind == NetworkAddress::Kind::Socket) {
        setStage(Stage::Confirming); // a raw stream has nothing to negotiate
        return;
    }
    m_telnet.reset(telnet_init(kTelnetOptions, &NetworkLine::onTelnetEvent, 0, this));
    if (!m_telnet) {
        failOpening(QStringLiteral("out of memory"));
        return;
    }
    setStage(Stage::Negotiating);
    telnet_negotiate(m_telnet.get(), TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet.get(), TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet.get(), TELNET_WILL, rfc2217::kComPortOption);
    m_socket->flush();
}

// Keepalive probes find a far end that is gone while the line is idle; the user
// timeout gives up unacknowledged commands as soon. Both are the system's own, so a
// system without them keeps its defaults.
void NetworkLine::keepAlive()
{
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const auto fd = static_cast<int>(m_socket->socketDescriptor());
    const auto set = [fd](int name, int value) { (void)::setsockopt(fd, IPPROTO_TCP, name, &value, sizeof value); };
    set(TCP_KEEPIDLE, kKeepAliveIdleS);
    set(TCP_KEEPINTVL, kKeepAliveIntervalS);
    set(TCP_KEEPCNT, kKeepAliveProbes);
    set(TCP_USER_TIMEOUT, kUnacknowledgedMs);
#endif
}

void NetworkLine::onReadyRead()
{
    takeIn(false);
}

// Takes in what has arrived, slice by slice, for kTakeInBudgetMs at most unless all
// is asked for; the rest is taken at the next turn of the event loop.
void NetworkLine::takeIn(bool all)
{
    QElapsedTimer spent;
    spent.start();
    while (!m_streamBroken && m_stage != Stage::Closed && m_stage != Stage::Failed && m_socket->bytesAvailable() > 0) {
        if (!all && spent.hasExpired(kTakeInBudgetMs)) {
            if (!m_takeInQueued) {
                m_takeInQueued = true;
                QMetaObject::invokeMethod(
                    this,
                    [this, connection = m_connection] {
                        m_takeInQueued = false;
                        if (connection == m_connection)
                            takeIn(false);
                    },
                    Qt::QueuedConnection);
            }
            return;
        }
        const QByteArray bytes = m_socket->read(kSliceBytes);
        if (bytes.isEmpty())
            break;
        if (m_telnet) {
            telnet_recv(m_telnet.get(), bytes.constData(), static_cast<size_t>(bytes.size()));
            m_socket->flush(); // telnet's answers go while the system takes them
        } else {
            onReceived(bytes.constData(), bytes.size());
        }
    }
}

void NetworkLine::onSocketError(QAbstractSocket::SocketError error)
{
    if (m_stage == Stage::Closed || m_stage == Stage::Failed)
        return;
    takeIn(true); // the server's last words come before its closing
    if (opening())
        failOpening(describe(error));
    else if (error != QAbstractSocket::SocketTimeoutError)
        reportLost(describe(error));
}

void NetworkLine::onReceived(const char *bytes, qsizetype size)
{
    const QByteArray received(bytes, size);
    m_received.append(received);
    m_unreadTail = (m_unreadTail + received).right(kQuoteLength);
}

void NetworkLine::onTelnetEvent(telnet_t *, telnet_event_t *event, void *line)
{
    static_cast<NetworkLine *>(line)->handleTelnetEvent(*event);
}

void NetworkLine::handleTelnetEvent(const telnet_event_t &event)
{
    if (m_streamBroken)
        return; // what telnet still makes of the rest of a slice
    switch (event.type) {
    case TELNET_EV_DATA: onReceived(event.data.buffer, static_cast<qsizetype>(event.data.size)); break;
    case TELNET_EV_SEND: sendToSocket(event.data.buffer, static_cast<qsizetype>(event.data.size)); break;
    case TELNET_EV_DO:
        if (event.neg.telopt == rfc2217::kComPortOption && m_stage == Stage::Negotiating)
            sendLineSettings();
        break;
    case TELNET_EV_DONT:
        if (event.neg.telopt == rfc2217::kComPortOption && opening())
            failOpening(
                QStringLiteral("%1 refuses RFC 2217 serial control (a raw TCP port is written socket://HOST:PORT)")
                    .arg(where()));
        break;
    case TELNET_EV_SUBNEGOTIATION:
        // Serial control is the one option with settings of its own that we agree to.
        // Anything else (compression, which would unfold the rest) breaks the stream.
        if (event.sub.telopt == rfc2217::kComPortOption)
            onServerCommand(QByteArray(event.sub.buffer, static_cast<qsizetype>(event.sub.size)));
        else
            breakStream(
                QStringLiteral("%1 sent a malformed telnet stream (settings of option %2, which was not agreed)")
                    .arg(where())
                    .arg(event.sub.telopt));
        break;
    case TELNET_EV_ERROR:
        breakStream(QStringLiteral("%1 sent a malformed telnet stream (%2)")
                        .arg(where(), QString::fromLatin1(event.error.msg)));
        break;
    default: break; // warnings and options nobody asked for
    }
}

// The settings first, then the modem lines: DTR on and RTS off, as on a local port.
void NetworkLine::sendLineSettings()
{
    const quint32 baud = static_cast<quint32>(m_settings.baudRate);
    QByteArray baudBytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        baudBytes.append(static_cast<char>((baud >> shift) & 0xFF));

    m_awaited = {
        {rfc2217::SetBaudRate, baudBytes},
        {rfc2217::SetDataSize, oneByte(m_settings.dataBits)},
        {rfc2217::SetParity, oneByte(rfc2217::parityOf(m_settings.parity))},
        {rfc2217::SetStopSize, oneByte(stopSizeOf(m_settings.stopBits))},
    };
    setStage(Stage::Confirming);
    for (auto it = m_awaited.cbegin(); it != m_awaited.cend(); ++it)
        sendComPortCommand(it.key(), it.value());
    sendComPortCommand(rfc2217::SetControl, oneByte(rfc2217::DtrOn));
    sendComPortCommand(rfc2217::SetControl, oneByte(rfc2217::RtsOff));
    m_socket->flush();
}

void NetworkLine::sendComPortCommand(quint8 command, const QByteArray &value)
{
    const QByteArray sub = oneByte(command) + value;
    telnet_subnegotiation(m_telnet.get(), rfc2217::kComPortOption, sub.constData(), static_cast<size_t>(sub.size()));
}

// A confirmation carries the value the server put in force. One that differs from
// what was asked means the far device cannot use the settings, as a local device
// refusing them would. An all-zero value tells nothing and is let pass.
void NetworkLine::onServerCommand(const QByteArray &command)
{
    if (command.isEmpty() || static_cast<quint8>(command[0]) < rfc2217::kServerOffset)
        return;
    const quint8 code = static_cast<quint8>(command[0]) - rfc2217::kServerOffset;
    const auto sent = m_awaited.constFind(code);
    if (sent == m_awaited.cend())
        return; // modem and line state notices, control confirmations
    const QByteArray value = command.mid(1);
    const bool tellsNothing = value.count('\0') == value.size();
    if (m_stage == Stage::Confirming && value != *sent && !tellsNothing) {
        failOpening(
            QStringLiteral("the device at %1 cannot use the settings %2 (%3 was refused)")
                .arg(where(), m_settingsText, QString::fromLatin1(rfc2217::nameOf<rfc2217::kCommandNames>(code))));
        return;
    }
    m_awaited.remove(code);
    if (m_awaited.isEmpty() && m_stage == Stage::Confirming)
        setStage(Stage::Open);
}

// Qt's socket engine sets SIGPIPE to be ignored before its first write, so a write to
// a connection the server has dropped fails (and is reported) instead of ending the
// program.
// What waits to be sent is capped (see kMaxUnsentBytes).
void NetworkLine::sendToSocket(const char *bytes, qsizetype size)
{
    if (m_streamBroken) {
        m_writeFailed = true;
        return;
    }
    if (m_socket->bytesToWrite() + size > kMaxUnsentBytes) {
        m_writeFailed = true;
        breakStream(QStringLiteral("%1: the server does not read what is sent (%2 bytes wait)")
                        .arg(where())
                        .arg(m_socket->bytesToWrite()));
        return;
    }
    if (m_socket->write(bytes, size) != size)
        m_writeFailed = true;
}

// This connection is of no more use: nothing more is taken in or sent, and the
// opening fails or the line is lost with the reason.
void NetworkLine::breakStream(const QString &why)
{
    if (m_streamBroken)
        return;
    m_streamBroken = true;
    if (opening())
        failOpening(why);
    else
        reportLost(why);
}

bool NetworkLine::opening() const
{
    return m_stage == Stage::Connecting || m_stage == Stage::Negotiating || m_stage == Stage::Confirming;
}

void NetworkLine::setStage(Stage stage)
{
    m_stage = stage;
    if (m_waiting)
        m_waiting->quit();
}

void NetworkLine::failOpening(const QString &why)
{
    m_failure = why;
    setStage(Stage::Failed);
}

// Once: the component closes the line on the first notice.
void NetworkLine::reportLost(const QString &why)
{
    if (m_lossReported || m_stage != Stage::Open)
        return;
    m_lossReported = true;
    emit failed(why);
}

// Runs the event loop, all but the operator's input (which waits its turn), until
// done() or the deadline. The window keeps painting and its timer keeps ticking.
bool NetworkLine::waitUntil(const std::function<bool()> &done, QDeadlineTimer deadline)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_waiting = &loop;
    while (!done() && !deadline.hasExpired()) {
        timer.start(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
        if (loop.exec(QEventLoop::ExcludeUserInputEvents) < 0) { // the program is ending
            failOpening(QStringLiteral("the program is ending"));
            break;
        }
    }
    m_waiting = nullptr;
    return done();
}

QString NetworkLine::where() const
{
    return QStringLiteral("%1 port %2").arg(m_address.host).arg(m_address.port);
}

QString NetworkLine::describe(QAbstractSocket::SocketError error) const
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("%1 refused the connection (no server there)").arg(where());
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("the host %1 was not found").arg(m_address.host);
    case QAbstractSocket::RemoteHostClosedError: {
        const QString said = quotedServerText();
        if (said.contains(QStringLiteral("in use"), Qt::CaseInsensitive))
            return QStringLiteral("%1 is in use by another connection (the server said \"%2\")").arg(where(), said);
        if (!said.isEmpty())
            return QStringLiteral("%1 closed the connection, saying \"%2\"").arg(where(), said);
        return QStringLiteral("%1 closed the connection").arg(where());
    }
    default: return QStringLiteral("%1: %2").arg(where(), m_socket->errorString());
    }
}

QString NetworkLine::timedOut(qint64 allowedMs) const
{
    const QString seconds = QString::number(static_cast<double>(allowedMs) / 1000.0, 'f', 1);
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
        return QStringLiteral("the host %1 was not found within %2 s").arg(m_address.host, seconds);
    case QAbstractSocket::ConnectingState: return QStringLiteral("%1 did not answer within %2 s").arg(where(), seconds);
    default:
        return QStringLiteral("%1 did not take up RFC 2217 serial control within %2 s"
                              " (a raw TCP port is written socket://HOST:PORT)")
            .arg(where(), seconds);
    }
}

// The newest text the server sent, on one line, control characters as spaces.
QString NetworkLine::quotedServerText() const
{
    QString text = QString::fromLatin1(m_unreadTail);
    for (QChar &c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return text.simplified();
}
