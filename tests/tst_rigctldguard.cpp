// qx50-rigctld against what should not reach the unit or stall the program: web
// pages (curl and a headless Chromium), more clients than it takes, too few file
// descriptors, floods while the panel or the upstream is stuck, terminal escapes and
// an upstream that is itself. A private bus; the panel in this process or stopped.
#include "support/BusPanel.h"
#include "support/RigctldPrograms.h"
#include "support/Ser2net.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using namespace rigctld_test;

constexpr auto kWebRequest = "sent a web request (HTTP)";
constexpr qint64 kPeakKib = 64 * 1024; // the program's own memory is far below it

struct Panel : BusPanel {
    Panel() { f.openPort(2); }
};

// Writes bytes to a client as fast as the program takes them, the test's own buffer
// kept small, until `enough` says so or the total is written.
void flood(Client &client, const QByteArray &chunk, qint64 total, const std::function<bool()> &enough)
{
    qint64 written = 0;
    (void)QTest::qWaitFor(
        [&] {
            while (written < total && client.socket.bytesToWrite() < 4 * chunk.size()
                   && client.socket.state() == QAbstractSocket::ConnectedState) {
                client.socket.write(chunk);
                written += chunk.size();
            }
            return enough() || written >= total;
        },
        3 * kBound);
}

} // namespace

class RigctldGuardTest : public QObject {
    Q_OBJECT

private slots:
    void aWebRequestIsClosedBeforeAnyLineRuns_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("a POST as a page sends it")
            << QByteArray("POST / HTTP/1.1\r\nHost: 127.0.0.1:4532\r\nOrigin: http://example.com\r\n"
                          "Content-Type: text/plain\r\nContent-Length: 19\r\n\r\n\n\\send_voice_mem 7\n");
        QTest::addRow("a GET") << QByteArray("GET /x?y HTTP/1.0\r\n\r\n\\send_voice_mem 7\n");
        QTest::addRow("a Host header alone") << QByteArray("host: 127.0.0.1\n\\send_voice_mem 7\n");
        QTest::addRow("an Origin header alone") << QByteArray("Origin: null\r\n\\send_voice_mem 7\n");
    }
    void aWebRequestIsClosedBeforeAnyLineRuns()
    {
        QFETCH(QByteArray, bytes);
        Panel p;
        Front front({});
        Client page(front.port);
        page.send(bytes);
        QVERIFY(page.closed());
        QCOMPARE(front.said(QLatin1String(kWebRequest)).count(QLatin1String(kWebRequest)), 1);
        Client logger(front.port); // a rigctld client is served as before
        QCOMPARE(logger.ask("\\send_voice_mem 3\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(2), QByteArray("3T"));
        QCOMPARE(p.unit.received(), QByteArray());
    }

    void curlsPostPlaysNothing()
    {
        Panel p;
        Front front({});
        Program curl(QStringLiteral("curl"),
                     {"-sS", "-H", "Content-Type: text/plain", "--data-binary", "\n\\send_voice_mem 7\n",
                      QStringLiteral("http://127.0.0.1:%1/").arg(front.port)});
        QVERIFY(curl.exitCode() != 0); // the connection closed with no answer
        QVERIFY(front.said(QLatin1String(kWebRequest)).contains(QLatin1String(kWebRequest)));
        QCOMPARE(p.unit.received(), QByteArray());
    }

    // A page on a loopback web server makes a cross-origin no-cors POST, as any site
    // the operator visits could, in a real headless Chromium.
    void aPageInChromiumPlaysNothing()
    {
        Panel p;
        Front front({});
        QTemporaryDir site;
        QFile page(site.filePath(QStringLiteral("index.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write(QStringLiteral("<!doctype html><title>contest</title><script>"
                                  "fetch('http://127.0.0.1:%1/', {mode: 'no-cors', method: 'POST', "
                                  "headers: {'Content-Type': 'text/plain'}, body: '\\n\\\\send_voice_mem 7\\n'});"
                                  "</script>")
                       .arg(front.port)
                       .toUtf8());
        page.close();
        const quint16 webPort = freeLoopbackPort();
        Program web(QStringLiteral("python3"),
                    {"-m", "http.server", "--bind", "127.0.0.1", "--directory", site.path(), QString::number(webPort)});
        QVERIFY(QTest::qWaitFor([&] { return listeningOnLoopback(webPort); }, kBound));
        QTemporaryDir profile;
        Program chromium(QStringLiteral("chromium"),
                         {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update", "--disable-sync",
                          QStringLiteral("--user-data-dir=%1").arg(profile.path()),
                          QStringLiteral("http://127.0.0.1:%1/").arg(webPort)});
        QVERIFY(QTest::qWaitFor(
            [&] { return front.said(QLatin1String(kWebRequest)).contains(QLatin1String(kWebRequest)); }, 3 * kBound));
        QCOMPARE(p.unit.received(), QByteArray());
    }

    void clientsPastTheCapAreRefused()
    {
        Front front({QStringLiteral("--max-clients"), QStringLiteral("2")});
        auto first = std::make_unique<Client>(front.port);
        Client second(front.port);
        QCOMPARE(first->ask("\\chk_vfo\n"), QByteArray("0\n"));
        QCOMPARE(second.ask("\\chk_vfo\n"), QByteArray("0\n"));
        Client third(front.port);
        QCOMPARE(third.receive(), QByteArray("RPRT -14\n"));
        QVERIFY(third.closed());
        QVERIFY(front.said(QStringLiteral("2 clients connected")).contains(QStringLiteral("refusing more")));
        first.reset();
        QVERIFY(QTest::qWaitFor(
            [&] {
                Client next(front.port);
                return next.ask("\\chk_vfo\n") == "0\n";
            },
            kBound));
    }

    // With 40 descriptors it runs out before 60 clients, below the cap of 64: it says
    // so once, waits, and lets clients in again once some have left.
    void runningOutOfDescriptorsPausesAccepting()
    {
        Front front({}, 40);
        QVERIFY(front.port != 0);
        // A client comes and goes first. In the sanitized build the sanitizers need a
        // descriptor of their own the first time they check a call on a type (the
        // leaving client's); met here, they need none when there are none left.
        {
            Client first(front.port);
            QCOMPARE(first.ask("\\chk_vfo\n"), QByteArray("0\n"));
        }
        QCOMPARE(Client(front.port).ask("\\chk_vfo\n"), QByteArray("0\n"));
        std::vector<std::unique_ptr<Client>> crowd;
        for (int i = 0; i < 60; ++i)
            crowd.push_back(std::make_unique<Client>(front.port));
        const QString out = QStringLiteral("out of file descriptors");
        QVERIFY(front.said(out).contains(out));
        crowd.erase(crowd.begin(), crowd.begin() + 40);
        QVERIFY(QTest::qWaitFor(
            [&] {
                Client next(front.port);
                return next.ask("\\chk_vfo\n") == "0\n";
            },
            kBound));
        QCOMPARE(front.said(out).count(out), 1);
    }

    // The panel stopped where it stands: a client keeps streaming a line with no end
    // while its memory waits for the panel, and the program holds no more than a little.
    void aStuckPanelLetsNoFloodIn()
    {
        PanelProcess stuck; // it alone has the well-known name
        QVERIFY(stuck.up);
        stuck.freeze();
        Front front({});
        Client flooder(front.port);
        QVERIFY(flooder.socket.waitForConnected(kBound));
        flooder.send("\\send_voice_mem 1\n");
        flood(flooder, QByteArray(1 << 20, 'x'), qint64(256) << 20,
              [&] { return flooder.socket.bytesAvailable() > 0; });
        // The panel did not answer in time; then the endless line is refused.
        QByteArray got;
        QTRY_COMPARE_WITH_TIMEOUT(got += flooder.socket.readAll(), QByteArray("RPRT -6\nRPRT -1\n"), kBound);
        QVERIFY2(front.peakKib() < kPeakKib, qPrintable(QString::number(front.peakKib())));
        QCOMPARE(stuck.unit.received(), QByteArray());
    }

    // An upstream that takes the connection and never reads: the client streaming
    // queries for it is dropped with the reason, the program's memory bounded.
    void anUpstreamThatNeverReadsCostsTheClientItsConnection()
    {
        QTcpServer deaf;
        QVERIFY(deaf.listen(QHostAddress::LocalHost));
        deaf.pauseAccepting(); // connections wait in the kernel, never read
        Front front({QStringLiteral("--upstream"), QStringLiteral("127.0.0.1:%1").arg(deaf.serverPort())});
        Client flooder(front.port);
        QVERIFY(flooder.socket.waitForConnected(kBound));
        QByteArray queries;
        while (queries.size() < (1 << 20))
            queries += "f\n";
        flood(flooder, queries, qint64(256) << 20,
              [&] { return flooder.socket.state() != QAbstractSocket::ConnectedState; });
        QVERIFY(flooder.closed());
        const QString why = QStringLiteral("neither read nor answered");
        QVERIFY(front.said(why).contains(why));
        QVERIFY2(front.peakKib() < kPeakKib, qPrintable(QString::number(front.peakKib())));
    }

    void controlCharactersReachTheTerminalEscaped()
    {
        Front front({}); // no panel: the refusal is told with the client's words
        Client logger(front.port);
        QCOMPARE(logger.ask("\\stop_voice_mem \x1b]0;owned\x07 \x9b"
                            "2J\n"),
                 QByteArray("RPRT -6\n"));
        const QString said = front.said(QStringLiteral("refused"));
        QVERIFY2(said.contains(QStringLiteral("stop_voice_mem \\x1b]0;owned\\x07 \\x9b2J refused")), qPrintable(said));
        QVERIFY(!said.contains(QChar(0x1b)) && !said.contains(QChar(0x07)));
    }

    void anUpstreamThatIsItselfIsRefused_data()
    {
        QTest::addColumn<QString>("listen");
        QTest::addColumn<QString>("upstream");
        QTest::addColumn<bool>("remote");
        const QString port = QString::number(freeLoopbackPort());
        QTest::addRow("the same address") << "127.0.0.1:" + port << "127.0.0.1:" + port << false;
        QTest::addRow("its name") << "127.0.0.1:" + port << "localhost:" + port << false;
        QTest::addRow("every address") << "0.0.0.0:" + port << "127.0.0.1:" + port << true;
    }
    void anUpstreamThatIsItselfIsRefused()
    {
        QFETCH(QString, listen);
        QFETCH(QString, upstream);
        QFETCH(bool, remote);
        QStringList args {"--listen", listen, "--upstream", upstream};
        if (remote)
            args << QStringLiteral("--allow-remote");
        Program front(QStringLiteral(QX50_RIGCTLD), args);
        QCOMPARE(front.exitCode(), 1);
        QVERIFY(front.said(QStringLiteral("own address")).contains(QStringLiteral("own address")));
    }
};

QTEST_MAIN(RigctldGuardTest)
#include "tst_rigctldguard.moc"
