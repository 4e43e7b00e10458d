// A network port whose server misbehaves: options nobody agreed to, a flood of
// negotiation it never reads the answers to, a far end that may vanish, and text
// made to look like markup. The server is a plain QTcpServer of this test: it is the
// far end, written to do what a hostile or broken server does.
#include "serial/SerialComm.h"
#include "serial/SerialError.h"
#include "support/FormFixture.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <initializer_list>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

constexpr char kIac = char(255);
constexpr char kSb = char(250);
constexpr char kSe = char(240);
constexpr char kWill = char(251);
constexpr char kDo = char(253);
constexpr char kComPort = char(44);

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), static_cast<qsizetype>(list.size()));
}

// Serves one connection at a time, greeting each with what the test gives.
struct HostileServer {
    QTcpServer server;
    QTcpSocket *peer = nullptr;

    explicit HostileServer(std::function<void(QTcpSocket *)> greet = {})
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, greet] {
            peer = server.nextPendingConnection();
            if (greet)
                greet(peer);
        });
    }
    QString address(const char *scheme = "rfc2217") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(server.serverPort());
    }
};

// A server that takes up serial control and confirms nothing: the line opens once
// the short wait for confirmations is over.
void takeUpSerialControl(QTcpSocket *peer)
{
    peer->write(bytes({kIac, kDo, kComPort}));
}

// What the operator sees of a text Qt shows as a tooltip or in an automatic label.
QString shownAs(const QString &text)
{
    QTextDocument document;
    if (Qt::mightBeRichText(text))
        document.setHtml(text);
    else
        document.setPlainText(text);
    return document.toPlainText();
}

} // namespace

class HostileServerTest : public QObject {
    Q_OBJECT

private slots:
    // A subnegotiation of an option never agreed is a broken stream. Compression is
    // the worst of them: the rest would be inflated, here 48 MB from 48 kB.
    void aSubnegotiationNobodyAgreedToLosesTheLine_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("option");
        QByteArray zeros = qCompress(QByteArray(48 * 1024 * 1024, '\0'), 9).mid(4); // the zlib stream alone
        QTest::addRow("compression") << (bytes({kIac, kSb, char(86), kIac, kSe}) + zeros) << "option 86";
        QTest::addRow("terminal type") << bytes({kIac, kSb, char(24), char(0), 'x', kIac, kSe, 'A'}) << "option 24";
    }

    void aSubnegotiationNobodyAgreedToLosesTheLine()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, option);
        HostileServer server(takeUpSerialControl);
        SerialComm comm([&](int) { return server.address(); });
        comm.setPortOpen(true);
        QString reason;
        connect(&comm, &SerialComm::lineLost, this, [&](const QString &why) { reason = why; });

        QElapsedTimer sinceTick; // the window's tick, as often as the event loop allows
        qint64 longestStall = 0;
        QTimer tick;
        tick.setInterval(5);
        connect(&tick, &QTimer::timeout, this, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
        sinceTick.start();
        tick.start();
        server.peer->write(stream);
        QTRY_VERIFY_WITH_TIMEOUT(!reason.isEmpty(), 20000);
        tick.stop();
        qInfo("longest time between ticks while the stream came in: %lld ms", longestStall);
        QVERIFY2(reason.contains(option) && reason.contains(QStringLiteral("not agreed")), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("127.0.0.1 port %1").arg(server.server.serverPort())),
                 qPrintable(reason));
        QVERIFY(!comm.portOpen());
    }

    // A server that offers options without end and never reads the refusals: what
    // waits to be sent is capped, and past the cap the line is lost.
    void aServerThatDoesNotReadLosesTheLine()
    {
        HostileServer server([](QTcpSocket *peer) {
            peer->setReadBufferSize(1024); // reads no more than that, ever
            peer->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
            takeUpSerialControl(peer);
        });
        SerialComm comm([&](int) { return server.address(); });
        comm.setPortOpen(true);
        QString reason;
        connect(&comm, &SerialComm::lineLost, this, [&](const QString &why) { reason = why; });

        QByteArray storm;
        for (int i = 0; i < 1024 * 1024; ++i) // each one is refused with three bytes
            storm.append(bytes({kIac, kWill, char(1 + i % 2)}));
        server.peer->write(storm);
        QTRY_VERIFY_WITH_TIMEOUT(!reason.isEmpty(), 20000);
        QVERIFY2(reason.contains(QStringLiteral("the server does not read what is sent")), qPrintable(reason));
        QVERIFY(!comm.portOpen());
        auto *socket = comm.findChild<QTcpSocket *>();
        QVERIFY(socket);
        QCOMPARE(socket->bytesToWrite(), 0); // dropped with the line
    }

    // A far end that vanishes without closing is found by keepalive probes soon
    // enough that the operator learns of it within half a minute; unacknowledged
    // commands are given up as soon.
    void aVanishedServerIsFoundWithinHalfAMinute()
    {
        HostileServer server(takeUpSerialControl);
        SerialComm comm([&](int) { return server.address("socket"); });
        comm.setPortOpen(true);
        auto *socket = comm.findChild<QTcpSocket *>();
        QVERIFY(socket);
        const int fd = static_cast<int>(socket->socketDescriptor());
        const auto option = [fd](int level, int name) {
            int value = -1;
            socklen_t size = sizeof value;
            return ::getsockopt(fd, level, name, &value, &size) == 0 ? value : -1;
        };
        QCOMPARE(option(SOL_SOCKET, SO_KEEPALIVE), 1);
        const int idle = option(IPPROTO_TCP, TCP_KEEPIDLE);
        const int interval = option(IPPROTO_TCP, TCP_KEEPINTVL);
        const int probes = option(IPPROTO_TCP, TCP_KEEPCNT);
        QVERIFY(idle > 0 && interval > 0 && probes > 0);
        QVERIFY2(idle + interval * probes <= 30,
                 qPrintable(QStringLiteral("%1 + %2 x %3 s").arg(idle).arg(interval).arg(probes)));
        const int userTimeout = option(IPPROTO_TCP, TCP_USER_TIMEOUT);
        QVERIFY2(userTimeout > 0 && userTimeout <= 30000, qPrintable(QString::number(userTimeout)));
    }

    // What a server says when it closes is quoted under the greyed Com item as it
    // was sent, never drawn as markup.
    void aServersWordsAreShownAsPlainText()
    {
        const QByteArray words("<font size=7 color=red>CALL 555-0100</font> & <b>now</b>");
        HostileServer server([&](QTcpSocket *peer) {
            peer->write(words + "\r\n");
            peer->disconnectFromHost();
        });
        FormFixture f;
        f.ports[1] = server.address();
        f.form->Form_Load();
        QVERIFY(!f.form->menuCom(1)->isEnabled());
        const QString tip = f.form->menuCom(1)->toolTip();
        QVERIFY2(shownAs(tip).contains(QString::fromLatin1(words)), qPrintable(tip));
    }
};

QTEST_MAIN(HostileServerTest)
#include "tst_hostileserver.moc"
