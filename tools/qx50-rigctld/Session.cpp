#include "Session.h"

#include "DumpState.h"
#include "PanelLink.h"

#include "panel/CommandTable.h"

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
    , m_peer(QStringLiteral("%1:%2").arg(client->peerAddress().toString()).arg(client->peerPort()))
{
    connect(m_client, &QTcpSocket::readyRead, this, [this] {
        m_reader.feed(m_client->readAll());
        takeLines();
    });
    connect(m_client, &QTcpSocket::disconnected, m_client, &QObject::deleteLater);
    if (!m_upstream.present())
        return;
    m_upstreamSocket = new QTcpSocket(this);
    m_upstreamSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_upstreamSocket, &QTcpSocket::readyRead, this, [this] {
        m_unanswered = 0;
        answer(m_upstreamSocket->readAll());
    });
    connect(m_upstreamSocket, &QTcpSocket::errorOccurred, this, &Session::upstreamFailed);
    connect(m_upstreamSocket, &QTcpSocket::disconnected, this, &Session::upstreamFailed);
    m_upstreamSocket->connectToHost(m_upstream.host, m_upstream.port);
}

void Session::takeLines()
{
    while (!m_waiting && m_client->state() == QAbstractSocket::ConnectedState) {
        auto line = m_reader.next();
        if (!line)
            return;
        if (line->overlong) {
            tell(QStringLiteral("%1: a line longer than %2 bytes, refused")
                     .arg(m_peer)
                     .arg(rigctl::LineReader::kMaxLine));
            answer(rigctl::report({}, rigctl::InvalidArgument));
            continue;
        }
        if (auto command = rigctl::parseLine(line->text)) {
            command->line = std::move(line->raw);
            handle(*command);
        }
    }
}

void Session::handle(const rigctl::Command &command)
{
    using rigctl::Kind;
    switch (command.kind) {
    case Kind::SendVoiceMem:
        if (const auto memory = rigctl::voiceMemory(command))
            playOnPanel(command, CommandTable::playMemory(static_cast<char>('0' + *memory)));
        else
            answer(rigctl::report(command, rigctl::InvalidArgument));
        return;
    case Kind::StopVoiceMem: playOnPanel(command, {QStringLiteral("S")}); return;
    default: break;
    }
    if (m_upstream.present()) {
        m_quitting = m_quitting || command.kind == Kind::Quit;
        forward(command.line);
        return;
    }
    switch (command.kind) {
    case Kind::CheckVfo: answer(command.separator ? QByteArray("ChkVFO: 0\n") : QByteArray("0\n")); break;
    case Kind::DumpState: answer(rigctl::values(command, dumpState())); break;
    case Kind::Quit:
        answer(rigctl::report(command, rigctl::Ok));
        m_client->disconnectFromHost();
        break;
    default: answer(rigctl::report(command, rigctl::NotImplemented)); break;
    }
}

void Session::playOnPanel(const rigctl::Command &command, const QStringList &characters)
{
    m_waiting = true;
    m_panel.send(characters, this, [this, command](const panel::Answer &result) {
        if (result.outcome != panel::Outcome::Sent) {
            const QByteArray what
                = command.name + (command.args.isEmpty() ? QByteArray() : ' ' + command.args.join(' '));
            tell(QStringLiteral("%1 refused: %2").arg(QString::fromLatin1(what), result.reason));
        }
        m_waiting = false;
        answer(rigctl::report(command, codeFor(result)));
        takeLines();
    });
}

void Session::forward(const QByteArray &raw)
{
    if (m_upstreamDown || !m_upstreamSocket) {
        answer(rigctl::report({}, rigctl::IoError));
        return;
    }
    ++m_unanswered;
    m_upstreamSocket->write(raw);
}

void Session::upstreamFailed()
{
    if (m_upstreamDown)
        return;
    m_upstreamDown = true;
    if (m_quitting) { // the client said goodbye and the upstream closed on it
        m_client->disconnectFromHost();
        return;
    }
    tell(QStringLiteral("upstream %1:%2: %3")
             .arg(m_upstream.host)
             .arg(m_upstream.port)
             .arg(m_upstreamSocket->errorString()));
    // What was passed on and never answered is answered here, so the client does not wait.
    for (; m_unanswered > 0; --m_unanswered)
        answer(rigctl::report({}, rigctl::IoError));
}

void Session::answer(const QByteArray &bytes)
{
    if (!m_client || m_client->state() != QAbstractSocket::ConnectedState)
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
    m_client->abort();
    m_client->deleteLater();
}
