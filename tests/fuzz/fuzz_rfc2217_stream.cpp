// Arbitrary bytes from an RFC 2217 server, after serial control has been agreed: the
// telnet framing, the server's notices and confirmations, option offers and whatever
// else a hostile or broken server sends. The network line must take them without a
// crash, keep what it holds bounded, and either stay open or report a lost line.
#include "serial/NetworkLine.h"
#include "serial/Rfc2217.h"
#include "serial/SerialSettings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr char kIac = char(255);
constexpr char kDo = char(253);
constexpr char kSb = char(250);
constexpr char kSe = char(240);

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_rfc2217_stream: %s\n", what);
        std::abort();
    }
}

QByteArray comPortReply(quint8 command, const QByteArray &value)
{
    return QByteArray() + kIac + kSb + char(rfc2217::kComPortOption) + char(rfc2217::kServerOffset + command) + value
        + kIac + kSe;
}

// A server on loopback that agrees to serial control and confirms 9600,n,8,1 at once,
// so that each opening is over in one exchange; what it then sends is the input.
struct Server {
    QTcpServer listener;
    QTcpSocket *peer = nullptr;
    std::unique_ptr<NetworkLine> line;
    bool lost = false;
    qint64 sent = 0; // since this line opened
    qint64 taken = 0;

    Server()
    {
        require(listener.listen(QHostAddress::LocalHost), "cannot listen on loopback");
        QObject::connect(&listener, &QTcpServer::newConnection, &listener, [this] {
            while (QTcpSocket *next = listener.nextPendingConnection()) {
                if (peer)
                    peer->deleteLater();
                peer = next;
                QObject::connect(peer, &QTcpSocket::readyRead, peer, [p = peer] { p->readAll(); });
                peer->write(QByteArray() + kIac + kDo + char(rfc2217::kComPortOption)
                            + comPortReply(rfc2217::SetBaudRate, QByteArray("\0\0\x25\x80", 4))
                            + comPortReply(rfc2217::SetDataSize, "\x08") + comPortReply(rfc2217::SetParity, "\x01")
                            + comPortReply(rfc2217::SetStopSize, "\x01"));
            }
        });
    }

    bool open()
    {
        line = std::make_unique<NetworkLine>();
        lost = false;
        sent = taken = 0;
        QObject::connect(line.get(), &SerialLine::failed, line.get(), [this] { lost = true; });
        const QString settingsText = QStringLiteral("9600,n,8,1");
        try {
            line->open(QStringLiteral("rfc2217://127.0.0.1:%1").arg(listener.serverPort()),
                       *SerialSettings::parse(settingsText), settingsText);
        } catch (...) {
            return false;
        }
        return line->isOpen();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_rfc2217_stream";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    static Server *server = new Server;
    (void)app;

    if (!server->line || !server->line->isOpen() || server->lost)
        require(server->open(), "the line does not open");
    QTcpSocket *near = server->line->findChild<QTcpSocket *>();
    require(server->peer && near, "no connection");

    server->sent += static_cast<qint64>(size);
    server->peer->write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    server->peer->flush();
    // Until the line has taken every byte (it takes them in slices, one turn of the
    // event loop each) or has lost the line; bounded, as a hung line is a finding.
    const QDeadlineTimer deadline(3000);
    while (!server->lost && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        server->taken += server->line->takeReceived().size();
        if (server->peer->bytesToWrite() == 0 && near->bytesAvailable() == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (near->bytesAvailable() == 0)
                break;
        }
    }
    require(server->lost || !deadline.hasExpired(), "the line did not take the bytes in time");
    // Telnet framing only ever removes bytes: what the line hands on never exceeds
    // what the server sent (bytes still on their way count in a later input).
    require(server->taken <= server->sent, "the line handed on more than was sent");
    return 0;
}
