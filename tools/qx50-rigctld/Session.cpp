#include "Session.h"

#include "DumpState.h"
#include "PanelLink.h"
#include "Printable.h"

#include "contract/CommandTable.h"

#include <cstdio>

namespace {

void tell(const QString &text)
{
    std::fprintf(stderr, "qx50-rigctld: %s\n", text.toLocal8Bit().constData());
}

// A refusal in Hamlib's terms: the port is not open, the unit or the panel is not
// taking commands now, or there is no panel (or bus) to ask.
int codeFor(const panel::Answer &answer)
{
    switch (answer.outcome) {
    case panel::Outcome::Sent: return rigctl::Ok;
    case panel::Outcome::Refused:
        return answer.error == QLatin1String(panel::kPortNotOpen) ? rigctl::Rejected : rigctl::BusBusy;
    case panel::Outcome::NoPanel: break;
    }
    return rigctl::IoError;
}

} // namespace

Session::Session(QTcpSocket *client, PanelLink &panel, const Upstream &upstream)
    : QObject(client)
    , m_client(client)
    , m_panel(panel)
    , m_upstream(upstream)
    , m_upstreamName(QStringLiteral("%1:%2").arg(upstream.host).arg(upstream.port))
    , m_peer(QStringLiteral("%1:%2").arg(client->peerAddress().toString()).arg(client->peerPort()))
{
    m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_client->setReadBufferSize(kMaxHeld); // past it the client waits in the kernel's buffers
    connect(m_client, &QTcpSocket::readyRead, this, &Session::takeLines);
    connect(m_client, &QTcpSocket::disconnected, m_client, &QObject::deleteLater);
    m_stall.setSingleShot(true);
    m_stall.setInterval(kUpstreamStallMs);
    connect(&m_stall, &QTimer::timeout, this, &Session::upstreamStalled);
    if (m_upstream.present())
        connectUpstream();
    if (m_client->bytesAvailable() > 0) // arrived with the connection
        QTimer::singleShot(0, this, &Session::takeLines);
}

bool Session::open() const
{
    return m_client->state() == QAbstractSocket::ConnectedState;
}

void Session::takeLines()
{
    while (open() && !m_panelPending) {
        if (qsizetype(m_due.size()) >= kMaxDue) {
            // Held back until answers go out; an upstream doing nothing all that time is stalled.
            if (!m_stall.isActive())
                m_stall.start();
            return;
        }
        auto line = m_reader.next();
        if (!line) {
            if (!readMore())
                return;
            continue;
        }
        if (line->overlong) {
            tell(QStringLiteral("%1: a line longer than %2 bytes, refused")
                     .arg(m_peer)
                     .arg(rigctl::LineReader::kMaxLine));
            answerHere(rigctl::report({}, rigctl::InvalidArgument));
            continue;
        }
        if (auto command = rigctl::parseLine(line->text)) {
            command->line = std::move(line->raw);
            handle(*command);
        }
    }
}

// Moves what the client sent, as far as there is room, to the lines to be read; a
// browser's request is recognised here, before any of its lines is read.
bool Session::readMore()
{
    const qint64 room = kMaxHeld - m_reader.held();
    if (room <= 0 || m_client->bytesAvailable() == 0)
        return false;
    const QByteArray bytes = m_client->read(room);
    if (m_http.feed(bytes)) {
        tell(QStringLiteral("%1 sent a web request (HTTP), not rigctld commands: closed without running any of it")
                 .arg(m_peer));
        m_client->abort();
        m_client->deleteLater();
        return false;
    }
    m_reader.feed(bytes);
    return true;
}

void Session::handle(const rigctl::Command &command)
{
    using rigctl::Kind;
    switch (command.kind) {
    case Kind::SendVoiceMem:
        if (const auto memory = rigctl::voiceMemory(command))
            playOnPanel(command, CommandTable::playMemory(static_cast<char>('0' + *memory)));
        else
            answerHere(rigctl::report(command, rigctl::InvalidArgument));
        return;
    case Kind::StopVoiceMem: playOnPanel(command, {QStringLiteral("S")}); return;
    default: break;
    }
    if (m_upstream.present()) {
        m_quitting = m_quitting || command.kind == Kind::Quit;
        forward(command);
        return;
    }
    switch (command.kind) {
    case Kind::CheckVfo: answerHere(command.separator ? QByteArray("ChkVFO: 0\n") : QByteArray("0\n")); break;
    case Kind::DumpState: answerHere(rigctl::values(command, dumpState())); break;
    case Kind::Quit:
        answerHere(rigctl::report(command, rigctl::Ok));
        m_client->disconnectFromHost();
        break;
    default: answerHere(rigctl::report(command, rigctl::NotImplemented)); break;
    }
}

void Session::playOnPanel(const rigctl::Command &command, const QStringList &characters)
{
    m_panelPending = true;
    m_due.push_back({});
    m_panel.send(characters, m_peer, this, [this, command](const panel::Answer &result) {
        if (result.outcome != panel::Outcome::Sent) {
            const QByteArray what
                = command.name + (command.args.isEmpty() ? QByteArray() : ' ' + command.args.join(' '));
            tell(QStringLiteral("%1 refused: %2").arg(printable(what), printable(result.reason)));
        }
        m_panelPending = false;
        // Nothing is read while the panel is asked, so its answer is the last one due.
        m_due.back().bytes = rigctl::report(command, codeFor(result));
        m_due.back().ready = true;
        flush();
        takeLines();
    });
}

void Session::answerHere(const QByteArray &bytes)
{
    m_due.push_back({std::nullopt, bytes, true});
    flush();
}

void Session::forward(const rigctl::Command &command)
{
    if (!m_upstreamSocket)
        connectUpstream(); // the upstream went away since: a new connection for this request
    if (m_upstreamSocket->bytesToWrite() + command.line.size() > kMaxUpstreamUnread) {
        drop(QStringLiteral("passes lines to upstream %1, which does not read them").arg(m_upstreamName));
        return;
    }
    m_due.push_back({rigctl::UpstreamAnswer(command), {}, false});
    m_upstreamSocket->write(command.line);
}

void Session::connectUpstream()
{
    m_upstreamSocket = new QTcpSocket(this);
    m_upstreamSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_upstreamSocket->setReadBufferSize(kMaxHeld);
    connect(m_upstreamSocket, &QTcpSocket::connected, this, [this] { m_saidUpstreamDown = false; });
    connect(m_upstreamSocket, &QTcpSocket::readyRead, this, &Session::upstreamSaid);
    connect(m_upstreamSocket, &QTcpSocket::bytesWritten, this, &Session::upstreamProgress);
    connect(m_upstreamSocket, &QTcpSocket::errorOccurred, this, &Session::upstreamFailed);
    connect(m_upstreamSocket, &QTcpSocket::disconnected, this, &Session::upstreamFailed);
    m_upstreamSocket->connectToHost(m_upstream.host, m_upstream.port);
}

// The upstream's bytes go out as they come; each completes the answer due first, and
// what this program answered after it follows once it is complete.
void Session::upstreamSaid()
{
    upstreamProgress();
    // Read only as much as the client can still be sent, so a talkative upstream is bounded too.
    while (m_upstreamSocket && open() && m_upstreamSocket->bytesAvailable() > 0) {
        if (m_client->bytesToWrite() > kMaxUnread) {
            drop(QStringLiteral("does not read its answers"));
            return;
        }
        const QByteArray bytes = m_upstreamSocket->read(kMaxHeld);
        qsizetype at = 0;
        while (at < bytes.size()) {
            if (m_due.empty() || !m_due.front().upstream) { // nothing asked of it: passed on as is
                write(bytes.mid(at));
                break;
            }
            rigctl::UpstreamAnswer &answer = *m_due.front().upstream;
            const qsizetype taken = answer.take(bytes, at);
            write(bytes.mid(at, taken));
            at += taken;
            if (answer.complete()) {
                m_due.pop_front();
                flush();
            }
        }
    }
    takeLines();
}

void Session::upstreamProgress()
{
    if (m_stall.isActive())
        m_stall.start();
}

void Session::upstreamFailed()
{
    QTcpSocket *gone = m_upstreamSocket;
    if (!gone)
        return;
    m_upstreamSocket = nullptr;
    gone->disconnect(this);
    gone->deleteLater();
    if (m_quitting) { // the client said goodbye and the upstream closed on it
        flush();
        m_client->disconnectFromHost();
        return;
    }
    if (!m_saidUpstreamDown)
        tell(QStringLiteral("upstream %1: %2; a new connection on the next request")
                 .arg(m_upstreamName, printable(gone->errorString())));
    m_saidUpstreamDown = true;
    // What was passed on and never answered is answered here, so the client does not wait.
    for (Due &due : m_due) {
        if (due.upstream) {
            due.upstream.reset();
            due.bytes = rigctl::report({}, rigctl::IoError);
            due.ready = true;
        }
    }
    flush();
    takeLines();
}

void Session::upstreamStalled()
{
    if (qsizetype(m_due.size()) >= kMaxDue)
        drop(QStringLiteral("waits on upstream %1, which has neither read nor answered for %2 s")
                 .arg(m_upstreamName)
                 .arg(kUpstreamStallMs / 1000));
}

void Session::flush()
{
    while (!m_due.empty() && m_due.front().ready && open()) {
        write(m_due.front().bytes);
        m_due.pop_front();
    }
    if (qsizetype(m_due.size()) < kMaxDue)
        m_stall.stop();
}

void Session::write(const QByteArray &bytes)
{
    if (!open())
        return;
    if (m_client->bytesToWrite() + bytes.size() > kMaxUnread) {
        drop(QStringLiteral("does not read its answers"));
        return;
    }
    m_client->write(bytes);
}

void Session::drop(const QString &why)
{
    tell(QStringLiteral("%1 %2; dropped").arg(m_peer, why));
    m_stall.stop();
    m_client->abort();
    m_client->deleteLater();
}
