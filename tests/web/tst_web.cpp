// qx50-web as a person uses it: Debian's headless Chromium, driven by puppeteer-core
// through driver.mjs, opens the page with the token and taps it, while this process
// holds the panel (on a private bus) and its unit (a pseudo-terminal). Also what the
// page must refuse, from the browser and from a raw socket.
#include "support/BusClient.h"
#include "support/BusPanel.h"
#include "contract/CommandTable.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QNetworkInterface>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kBound = 20000;

void stopByPid(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

// qx50-web on a loopback port it picks, with a config folder of its own unless given one.
struct WebProgram {
    QTemporaryDir ownConfig;
    QString config;
    QProcess process;
    quint16 port = 0;
    QByteArray token;

    explicit WebProgram(const QStringList &more = {}, const QString &configFolder = {})
        : config(configFolder.isEmpty() ? ownConfig.path() : configFolder)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(QX50_WEB),
                      QStringList {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} + more);
        QByteArray said;
        (void)QTest::qWaitFor(
            [&] {
                said += process.readAllStandardOutput();
                return said.contains('\n') || process.state() == QProcess::NotRunning;
            },
            kBound);
        const qsizetype at = said.indexOf("127.0.0.1:");
        port = static_cast<quint16>(said.mid(at + 10, said.indexOf('/', at) - at - 10).toUInt());
        QFile kept(tokenFile());
        if (kept.open(QIODevice::ReadOnly))
            token = kept.readAll().trimmed();
    }
    ~WebProgram() { stopByPid(process); }
    QString tokenFile() const { return config + QStringLiteral("/orma-qx50-voice-mem/web-token"); }
    QString base(const char *scheme = "http") const
    {
        return QStringLiteral("%1://127.0.0.1:%2/").arg(QLatin1String(scheme)).arg(port);
    }
};

// The browser, one JSON command and answer a line.
struct Browser {
    QProcess node;
    QByteArray pending;

    Browser()
    {
        node.setWorkingDirectory(QStringLiteral(QX50_WEB_TESTS));
        node.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        node.start(QStringLiteral("node"), {QStringLiteral("driver.mjs")});
        (void)answer();
    }
    ~Browser()
    {
        if (node.state() != QProcess::NotRunning)
            ask({{"do", "quit"}});
        if (!node.waitForFinished(5000))
            stopByPid(node);
    }
    QJsonObject answer()
    {
        (void)QTest::qWaitFor(
            [&] {
                pending += node.readAllStandardOutput();
                return pending.contains('\n') || node.state() == QProcess::NotRunning;
            },
            kBound);
        const qsizetype end = pending.indexOf('\n');
        const QJsonObject said = QJsonDocument::fromJson(pending.left(end)).object();
        pending.remove(0, end + 1);
        if (!said.value(QLatin1String("ok")).toBool())
            qWarning("browser: %s", qPrintable(said.value(QLatin1String("error")).toString()));
        return said;
    }
    QJsonObject ask(const QJsonObject &command)
    {
        node.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
        return answer();
    }
    int open(const QString &url, int width = 360, int height = 740)
    {
        return ask({{"do", "open"}, {"url", url}, {"width", width}, {"height", height}})
            .value(QLatin1String("page"))
            .toInt();
    }
    bool shows(int page, const char *selector, const QString &text)
    {
        return ask({{"do", "waitText"}, {"page", page}, {"selector", selector}, {"text", text}})
            .value(QLatin1String("found"))
            .toBool();
    }
    QJsonValue eval(int page, const QString &js)
    {
        return ask({{"do", "eval"}, {"page", page}, {"js", js}}).value(QLatin1String("value"));
    }
};

// The unit's next bytes, waited for up to the bound while this process's panel
// keeps answering the bus.
QByteArray arriving(PtyUnit &unit, qsizetype count, int boundMs = kBound)
{
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += unit.received();
            return got.size() >= count;
        },
        boundMs);
    return got;
}

// The status line of one raw request, sent as written.
QByteArray statusOf(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kBound))
        return "no connection";
    socket.write(request);
    socket.flush(); // at once, as a browser sends its request
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += socket.readAll();
            return got.contains("\r\n") || socket.state() == QAbstractSocket::UnconnectedState;
        },
        kBound);
    return got.left(got.indexOf("\r\n")).trimmed();
}

// A WebSocket's opening request to qx50-web, as a program other than the page could
// send it: the subprotocols offered and the Origin claimed.
QByteArray socketRequest(quint16 port, const QByteArray &protocols, const QByteArray &origin = {})
{
    const QByteArray host = "127.0.0.1:" + QByteArray::number(port);
    return "GET /ws HTTP/1.1\r\nHost: " + host + "\r\nOrigin: " + (origin.isEmpty() ? "http://" + host : origin)
        + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
        + (protocols.isEmpty() ? QByteArray() : "Sec-WebSocket-Protocol: " + protocols + "\r\n") + "\r\n";
}

// Idle connections held open against qx50-web from one address, each opened again as
// soon as it is closed, as someone who wants the owner locked out would hold them.
struct IdleFlood {
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    int opened = 0;

    IdleFlood(quint16 port, int count, const QHostAddress &from)
    {
        for (int i = 0; i < count; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            QTcpSocket *socket = sockets.back().get();
            const auto open = [this, socket, port, from] {
                if (socket->state() != QAbstractSocket::UnconnectedState)
                    return;
                socket->bind(from);
                socket->connectToHost(QHostAddress::LocalHost, port);
                ++opened;
            };
            QObject::connect(socket, &QTcpSocket::disconnected, socket, open, Qt::QueuedConnection);
            QObject::connect(socket, &QTcpSocket::errorOccurred, socket, open, Qt::QueuedConnection);
            open();
        }
    }
};

// A client's WebSocket frame, masked as a client's must be (with a key of zeros).
QByteArray clientFrame(int opcode, const QByteArray &payload)
{
    return char(0x80 | opcode) + QByteArray(1, char(0x80 | payload.size())) + QByteArray(4, '\0') + payload;
}

qint64 residentBytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

struct Panel : BusPanel {
    Panel() { f.openPort(2); }
};

// Set in the environment, this program is only a panel on COM2 with its unit, in a
// process of its own: one that can be ended and started again, as an operator's is.
constexpr auto kPanelOnly = "QX50_WEB_TEST_PANEL_ONLY";

// Such a panel: what its unit receives comes on its standard output.
struct PanelProcess {
    QProcess process;
    QByteArray heard;

    PanelProcess()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kPanelOnly), QStringLiteral("1"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), {});
        (void)receives("ready\n");
    }
    ~PanelProcess() { stopByPid(process); }
    bool receives(const QByteArray &bytes)
    {
        return QTest::qWaitFor(
                   [&] {
                       heard += process.readAllStandardOutput();
                       return heard.contains(bytes) || process.state() == QProcess::NotRunning;
                   },
                   kBound)
            && heard.contains(bytes);
    }
};

int panelOnly()
{
    Panel p;
    QTimer relay; // the unit's bytes as they come, to whoever started this panel
    QObject::connect(&relay, &QTimer::timeout, [&p] {
        const QByteArray got = p.unit.received();
        std::fwrite(got.constData(), 1, static_cast<size_t>(got.size()), stdout);
        std::fflush(stdout);
    });
    relay.start(10);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

class WebTest : public QObject {
    Q_OBJECT

private slots:
    void tapsReachTheUnitAndEveryPageSeesThem()
    {
        Panel p;
        WebProgram web;
        QVERIFY2(web.port != 0 && web.token.size() == 32, "qx50-web did not start");
        Browser browser;
        const QJsonObject opened = browser.ask({{"do", "open"}, {"url", web.base() + "#t=" + web.token}});
        QCOMPARE(opened.value(QLatin1String("status")).toInt(), 200);
        QCOMPARE(opened.value(QLatin1String("url")).toString(), web.base()); // the token left the address
        const int phone = opened.value(QLatin1String("page")).toInt();
        const int desk = browser.open(web.base(), 1280); // the token the origin keeps lets it in
        QVERIFY(browser.shows(phone, "#link", "connected"));
        QVERIFY(browser.shows(desk, "#port", "COM2 open"));
        QVERIFY(browser.eval(phone, "document.documentElement.outerHTML.length").toInt() < 40 * 1024);
        QCOMPARE(browser.eval(phone, "document.querySelector('[data-c=\"3\"]').getAttribute('aria-label')"),
                 QJsonValue("Memory 3")); // no names from a panel that has none

        struct Step {
            const char *action;
            QByteArray bytes;
            const char *status;
        };
        const Step steps[] = {{"[data-c=\"T\"]", "T", "Transmit"},
                              {"#stop", "S", "Transmit"},
                              {"[data-c=\"P\"]", "P", "Play"},
                              {"[data-c=\"7\"]", "7", "Play"},
                              {"Escape", "S", "Play"}};
        for (const Step &step : steps) {
            if (step.action[0] == '[' || step.action[0] == '#')
                browser.ask({{"do", "tap"}, {"page", phone}, {"selector", step.action}});
            else
                browser.ask({{"do", "press"}, {"page", phone}, {"key", step.action}});
            QCOMPARE(arriving(p.unit, step.bytes.size()), step.bytes);
            QVERIFY2(browser.shows(desk, "#status", QString::fromLatin1(step.status)), step.action);
        }
        QVERIFY(browser.shows(phone, "#status", "Play"));
        QCOMPARE(browser.eval(phone, "document.querySelector('#status').className"), QJsonValue(""));
        browser.ask({{"do", "tap"}, {"page", desk}, {"selector", "[data-c=\"T\"]"}});
        QCOMPARE(arriving(p.unit, 1), QByteArray("T"));
        QVERIFY(browser.shows(phone, "#status", "Transmit"));
        QCOMPARE(browser.eval(phone, "document.querySelector('#status').className"), QJsonValue("red"));

        // The Sounds switch is the panel's Options -> Sounds, on every page at once.
        QVERIFY(!p.f.form->model().hearing().sounds());
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "#sounds"}});
        QTRY_VERIFY(p.f.form->model().hearing().sounds());
        QTRY_COMPARE(browser.eval(desk, "document.querySelector('#sounds').checked"), QJsonValue(true));

        p.unit.send("QX50 READY");
        QVERIFY(browser.shows(phone, "#received", "QX50 READY"));
        QVERIFY(browser.shows(phone, "#spoken", "Transmit")); // the live region speaks the status
        browser.ask({{"do", "screenshot"}, {"page", phone}, {"path", QStringLiteral(QX50_WEB_TESTS "/phone.png")}});

        const QJsonArray violations
            = browser.ask({{"do", "axe"}, {"page", phone}}).value(QLatin1String("violations")).toArray();
        QVERIFY2(violations.isEmpty(), QJsonDocument(violations).toJson().constData());

        p.f.form->Comm1.setPortOpen(false);
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QVERIFY(browser.shows(phone, "#notice", "Com Port is not open!"));
        QCOMPARE(p.unit.received(), QByteArray());
        QVERIFY(browser.shows(phone, "#port", "closed"));
    }

    // Browsers send a host's cookies to every port on it, so a server any local user runs
    // on another port would get them. The token lives in the page's own origin's storage
    // instead, which no other port reads, and reaches qx50-web only on the WebSocket.
    void noOtherPortGetsTheCredential()
    {
        Panel p;
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#link", "connected"));
        QCOMPARE(browser.ask({{"do", "cookies"}, {"page", phone}}).value("cookies").toArray().size(), 0);
        const QJsonObject other = browser.ask({{"do", "otherPort"}});
        const QByteArray heard = QJsonDocument(other.value("heard").toArray()).toJson();
        QVERIFY2(!heard.isEmpty() && !heard.contains("cookie") && !heard.contains(web.token), heard.constData());
        QVERIFY(!other.value("stored").toString().contains(QString::fromLatin1(web.token)));
        // What that server heard, with the page's Origin forged, opens nothing.
        QVERIFY(statusOf(web.port, socketRequest(web.port, "qx50web")).startsWith("HTTP/1.1 403"));
        QCOMPARE(p.unit.received(), QByteArray());
    }

    // The phone page under a thumb, at a phone's 390 x 844: the keys in the window's
    // order, nothing that transmits
    // within 24 px of Stop, a repeat that starts only on a second tap and says what it
    // will do, the chosen memory marked, what is on the air counted down, and a name of
    // 24 characters whole on a 360-px phone.
    void thePageIsSafeUnderAThumb()
    {
        Panel p;
        const QString name = QStringLiteral("Exch 599 serial 001 QSL!");
        QCOMPARE(name.size(), 24);
        QCOMPARE(p.f.form->model().messages().setName(5, name), QString());
        QCOMPARE(p.f.form->model().messages().setLength(5, 30000), QString());
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token, 390, 844);
        QVERIFY(browser.shows(phone, "#link", "connected"));
        QVERIFY(browser.shows(phone, "[data-c=\"5\"] .name", name));

        // The keys are the command table's, as qx50-web serves it: the functions in its
        // order with their captions, then the memories laid out as the window's keypad,
        // 7 8 9 on top and 0 alone under 2.
        const QJsonArray keys = browser
                                    .eval(phone, R"([...document.querySelectorAll('main button[data-c]')].map((b) => {
            const box = b.getBoundingClientRect();
            return { key: b.dataset.c + ' ' + b.firstChild.textContent, top: box.top, left: box.left };
        }))")
                                    .toArray();
        QStringList expected;
        std::vector<const PanelCommand *> inOrder;
        for (const PanelCommand &command : CommandTable::all())
            if (command.kind == CommandKind::Function && command.character != 'S') // Stop stands apart
                inOrder.push_back(&command);
        const auto keypad = CommandTable::keypad();
        inOrder.insert(inOrder.end(), keypad.begin(), keypad.end());
        for (const PanelCommand *command : inOrder)
            expected << QChar::fromLatin1(command->character) + u' ' + QLatin1String(command->caption);
        QStringList shown;
        for (const QJsonValue key : keys)
            shown << key[QLatin1String("key")].toString();
        QCOMPARE(shown, expected);

        // Each memory key sits on its table row and column: one line per row and per
        // column, the rows going down and the columns going right.
        std::map<int, double> rowTop, columnLeft;
        for (size_t i = inOrder.size() - keypad.size(); i < inOrder.size(); ++i) {
            const KeypadPlace place = inOrder[i]->key;
            const QJsonValue shownKey = keys[qsizetype(i)];
            const double top = shownKey[QLatin1String("top")].toDouble();
            const double left = shownKey[QLatin1String("left")].toDouble();
            QCOMPARE(rowTop.try_emplace(place.row, top).first->second, top);
            QCOMPARE(columnLeft.try_emplace(place.column, left).first->second, left);
        }
        const auto ascending = [](const std::map<int, double> &line) {
            return std::is_sorted(line.begin(), line.end(), [](auto a, auto b) { return a.second < b.second; })
                && std::adjacent_find(line.begin(), line.end(), [](auto a, auto b) { return a.second == b.second; })
                == line.end();
        };
        QCOMPARE(rowTop.size(), size_t(4));
        QVERIFY(ascending(rowTop) && ascending(columnLeft));

        // Each key brought to the bottom of what shows: the nearest it comes to Stop.
        const double gap = browser
                               .eval(phone, R"((() => {
            const stop = document.querySelector('#stop').getBoundingClientRect(), main = document.querySelector('main');
            let nearest = Infinity;
            for (const b of main.querySelectorAll('button, select, input')) {
                b.scrollIntoView({ block: 'end' });
                const bottom = Math.min(b.getBoundingClientRect().bottom, main.getBoundingClientRect().bottom);
                nearest = Math.min(nearest, stop.top - bottom);
            }
            return nearest;
        })())")
                               .toDouble();
        QVERIFY2(gap >= 24, QByteArray::number(gap).constData());
        browser.ask({{"do", "screenshot"}, {"page", phone}, {"path", QStringLiteral(QX50_WEB_TESTS "/phone-bottom.png")}});

        browser.eval(phone,
                     "document.querySelector('#r-memory').value = '4';"
                     "document.querySelector('#r-seconds').value = '10';"
                     "document.querySelector('#r-count').value = '50'; true");
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "#r-start"}});
        QVERIFY(browser.shows(phone, "#r-start", "Memory 4, 50 times, every 10 s"));
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"5\"]"}});
        QCOMPARE(arriving(p.unit, 1), QByteArray("5")); // the first tap sent nothing
        QCOMPARE(browser.eval(phone, "[...document.querySelectorAll('[aria-pressed=\"true\"]')]"
                                     ".map((b) => b.dataset.c).join()"),
                 QJsonValue("5"));

        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QCOMPARE(arriving(p.unit, 1), QByteArray("T"));
        QVERIFY(browser.shows(phone, "#clock", "TX 5: "));
        QVERIFY(browser.shows(phone, "#repeat-state", "Playing"));
        QCOMPARE(browser.eval(phone, "getComputedStyle(document.querySelector('#clock')).fontSize"), QJsonValue("32px"));
        browser.ask({{"do", "screenshot"}, {"page", phone}, {"path", QStringLiteral(QX50_WEB_TESTS "/phone-top.png")}});
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "#stop"}});
        QCOMPARE(arriving(p.unit, 1), QByteArray("S"));
        QVERIFY(QTest::qWaitFor(
            [&] { return browser.eval(phone, "document.querySelector('#clock').textContent") == QJsonValue(""); },
            kBound));

        const int narrow = browser.open(web.base(), 360);
        QVERIFY(browser.shows(narrow, "[data-c=\"5\"] .name", name));
        QCOMPARE(browser.eval(narrow, R"((() => {
            const key = document.querySelector('[data-c="5"]'), shown = key.querySelector('.name');
            const k = key.getBoundingClientRect(), n = shown.getBoundingClientRect();
            return n.left >= k.left && n.right <= k.right && n.bottom <= k.bottom && shown.scrollWidth <= shown.clientWidth;
        })())"),
                 QJsonValue(true));
    }

    // A lost port waited for reads on the page as on the window's line, and the
    // refusal a tap met meanwhile goes once the port is back.
    void theLostPortReadsAsTheWindowsLine()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("usb-ORMA_QX50-if00-port0"));
        auto unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        BusPanel p;
        p.f.ports[2] = link;
        p.f.form->Comm1.setReopenLostPort(true);
        p.f.form->Form_Load();
        p.f.form->menuCom(2)->trigger();
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#port", "COM2 open"));

        unit->hangUp();
        QVERIFY(QFile::remove(link));
        QVERIFY(browser.shows(phone, "#port", QStringLiteral("COM2 lost \u2013 waiting for it to come back")));
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QVERIFY(browser.shows(phone, "#notice", "COM2 lost, waiting for it to come back"));
        const int late = browser.open(web.base() + "#t=" + web.token); // never saw the port open
        QVERIFY(browser.shows(late, "#port", QStringLiteral("COM2 lost \u2013 waiting for it to come back")));

        unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        QVERIFY(browser.shows(phone, "#port", "COM2 open"));
        QCOMPARE(browser.eval(phone, "document.querySelector('#notice').textContent"), QJsonValue(""));
    }

    void aLostPageStopsItsRepeat_data()
    {
        QTest::addColumn<QString>("loss");
        QTest::addRow("browser killed") << "kill";
        QTest::addRow("page silent, its socket still open") << "silence";
        QTest::addRow("qx50-web killed: the panel's own rule") << "server";
    }
    void aLostPageStopsItsRepeat()
    {
        QFETCH(QString, loss);
        Panel p;
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        const int watcher = browser.open(web.base());
        QVERIFY(browser.shows(phone, "#link", "connected"));
        browser.eval(phone,
                     "document.querySelector('#r-memory').value = '4';"
                     "document.querySelector('#r-seconds').value = '10';"
                     "document.querySelector('#r-count').value = '50'; true");
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "#r-start"}});
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "#r-start"}}); // the confirming tap
        QCOMPARE(arriving(p.unit, 2), QByteArray("4T"));
        QVERIFY(browser.shows(phone, "#repeat-state", "Repeating"));
        if (loss == QLatin1String("kill")) {
            browser.ask({{"do", "kill"}});
        } else if (loss == QLatin1String("server")) {
            ::kill(static_cast<pid_t>(web.process.processId()), SIGKILL);
        } else {
            browser.eval(phone, "clearInterval(heartbeat); true"); // the page stops speaking
            QVERIFY(browser.shows(watcher, "#repeat-state", "Repeating")); // a page that only watches
        }
        // The rule for remote control allows three minutes; the page's switch takes
        // at most its three seconds of silence.
        QCOMPARE(arriving(p.unit, 1, 4000), QByteArray("S"));
        QVERIFY(QTest::qWaitFor([&] { return !p.bus->repeating(); }, kBound));
        if (loss == QLatin1String("kill"))
            browser.ask({{"do", "launch"}}); // so the browser's own ending is clean
    }

    // The dead man's switch cuts the page's own message, memory 0 included, and never
    // one the desktop started after it.
    void aLostPageStopsOnlyItsOwnMessage_data()
    {
        QTest::addColumn<QString>("memory");
        QTest::addColumn<bool>("desktopSince");
        QTest::addColumn<QByteArray>("stop");
        QTest::addRow("memory 0 of known length, its own") << "0" << false << QByteArray("S");
        QTest::addRow("the desktop's message since") << "1" << true << QByteArray();
    }
    void aLostPageStopsOnlyItsOwnMessage()
    {
        QFETCH(QString, memory);
        QFETCH(bool, desktopSince);
        QFETCH(QByteArray, stop);
        Panel p;
        QCOMPARE(p.f.form->model().messages().setLength(0, 60000), QString());
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#link", "connected"));
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", QStringLiteral("[data-c=\"%1\"]").arg(memory)}});
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QCOMPARE(arriving(p.unit, 2), memory.toLatin1() + "T");
        if (memory == QLatin1String("0"))
            QVERIFY(browser.shows(phone, "#repeat-state", "Playing"));
        if (desktopSince) { // qx50-send 2, then qx50-send T
            QCOMPARE(busclient::send(QStringLiteral("2")).type(), QDBusMessage::ReplyMessage);
            QCOMPARE(busclient::send(QStringLiteral("T")).type(), QDBusMessage::ReplyMessage);
            QCOMPARE(arriving(p.unit, 2), QByteArray("2T"));
        }
        browser.ask({{"do", "close"}, {"page", phone}});
        QCOMPARE(arriving(p.unit, 1, 4000), stop);
    }

    void stoppingQx50WebStopsATransmissionAPageStarted()
    {
        Panel p;
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#link", "connected"));
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QCOMPARE(arriving(p.unit, 1), QByteArray("T"));
        ::kill(static_cast<pid_t>(web.process.processId()), SIGTERM); // as a service manager stops it
        QCOMPARE(arriving(p.unit, 1), QByteArray("S"));
        QVERIFY(QTest::qWaitFor([&] { return web.process.state() == QProcess::NotRunning; }, kBound));
        QCOMPARE(web.process.exitCode(), 0);
    }

    void thePageShowsALinkThatWentSilent()
    {
        Panel p;
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#link", "connected"));
        const auto pid = static_cast<pid_t>(web.process.processId());
        ::kill(pid, SIGSTOP); // a link that drops without a word
        QVERIFY(browser.shows(phone, "#link", "lost"));
        QCOMPARE(browser.eval(phone, "document.querySelector('[data-c=\"T\"]').disabled"), QJsonValue(true));
        ::kill(pid, SIGCONT);
        QVERIFY(browser.shows(phone, "#link", "connected"));
    }

    void servesOverTls()
    {
        QTemporaryDir keys;
        QProcess openssl;
        openssl.setWorkingDirectory(keys.path());
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                       "key.pem", "-out", "cert.pem", "-days", "1", "-subj", "/CN=127.0.0.1"});
        QVERIFY(openssl.waitForFinished(kBound) && openssl.exitCode() == 0);
        Panel p;
        WebProgram web({QStringLiteral("--tls"), keys.filePath(QStringLiteral("cert.pem")),
                        keys.filePath(QStringLiteral("key.pem"))});
        Browser browser;
        const QJsonObject opened = browser.ask({{"do", "open"}, {"url", web.base("https") + "#t=" + web.token}});
        QCOMPARE(opened.value(QLatin1String("url")).toString(), web.base("https"));
        const int phone = opened.value(QLatin1String("page")).toInt();
        QVERIFY(browser.shows(phone, "#link", "connected"));
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QCOMPARE(arriving(p.unit, 1), QByteArray("T"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("serves"); // runs on, on a terminal, having said it
        QTest::addColumn<bool>("qrCode");
        QTest::addRow("help") << QStringList {"--help"} << 0 << "--allow-remote" << false << false;
        QTest::addRow("loopback: no QR code, the way to serve a phone")
            << QStringList {"--listen", "127.0.0.1:0"} << 0 << "--allow-remote --tls CERT KEY" << true << false;
        const QList<QHostAddress> own = QNetworkInterface::allAddresses();
        const auto lan = std::find_if(own.begin(), own.end(), [](const QHostAddress &a) {
            return a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback();
        });
        if (lan != own.end())
            QTest::addRow("a network address: its QR code")
                << QStringList {"--listen", lan->toString() + ":0", "--allow-remote"} << 0
                << "http://" + lan->toString() << true << true;
        QTest::addRow("another network unasked")
            << QStringList {"--listen", "192.0.2.1:8650"} << 1 << "add --allow-remote" << false << false;
        QTest::addRow("no such COM port") << QStringList {"--port", "9"} << 1 << "--port takes 1 to 4" << false << false;
        QTest::addRow("no panel on COM3") << QStringList {"--port", "3", "--listen", "127.0.0.1:0"} << 2
                                          << "no orma-qx50-voice-mem panel has COM3 open" << false << false;
        QTest::addRow("no key") << QStringList {"--tls", "/nonexistent/cert", "/nonexistent/key"} << 1
                                << "cannot read the certificate or the key" << false << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(bool, serves);
        QFETCH(bool, qrCode);
        Panel p; // on COM2
        QTemporaryDir config;
        QProcess web;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        web.setProcessEnvironment(environment);
        if (serves) { // on a terminal, where the address and any QR code go
            web.start(QStringLiteral("script"),
                      {QStringLiteral("-qec"), (QStringList {QStringLiteral(QX50_WEB)} + arguments).join(u' '), QStringLiteral("/dev/null")});
            // Said in full: the QR code, or the lines about serving a phone in its stead.
            const QByteArray last = qrCode ? "\u2588" : "with ADDRESS one of this machine's";
            QByteArray out;
            const bool saidAll = QTest::qWaitFor(
                [&] {
                    out += web.readAllStandardOutput();
                    return out.contains(said.toLocal8Bit()) && out.contains(last) && out.endsWith('\n');
                },
                kBound);
            stopByPid(web);
            QVERIFY2(saidAll, out.constData());
            QCOMPARE(out.contains("\u2588"), qrCode);
            return;
        }
        web.start(QStringLiteral(QX50_WEB), arguments);
        QVERIFY(QTest::qWaitFor([&] { return web.state() == QProcess::NotRunning; }, kBound));
        QCOMPARE(web.exitCode(), exitCode);
        QVERIFY(QString::fromLocal8Bit(web.readAllStandardOutput() + web.readAllStandardError()).contains(said));
    }

    void theTokenIsTheOwnersAndANewOneEndsTheOld()
    {
        Panel p;
        QTemporaryDir config;
        QByteArray old;
        {
            WebProgram first({}, config.path());
            old = first.token;
            const auto others
                = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
            QCOMPARE(QFile::permissions(first.tokenFile()) & others, QFileDevice::Permissions());
        }
        WebProgram kept({}, config.path());
        QCOMPARE(kept.token, old);
        stopByPid(kept.process);
        WebProgram renewed({QStringLiteral("--new-token")}, config.path());
        QVERIFY(renewed.token.size() == 32 && renewed.token != old);
        QVERIFY(statusOf(renewed.port, socketRequest(renewed.port, "qx50web, " + old)).startsWith("HTTP/1.1 403"));
        QVERIFY(statusOf(renewed.port, socketRequest(renewed.port, "qx50web, " + renewed.token))
                    .startsWith("HTTP/1.1 101"));
    }

    // Connections that never send a request cannot keep the owner out: each address
    // may hold only a few waiting, the longest waiting gives way to a new one, and one
    // that has not sent its whole request is not held for long.
    void theOwnerGetsInPastIdleConnections_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addRow("from the owner's own address") << "127.0.0.1";
        QTest::addRow("from another address") << "127.0.0.2";
    }
    void theOwnerGetsInPastIdleConnections()
    {
        QFETCH(QString, from);
        Panel p;
        WebProgram web;
        IdleFlood flood(web.port, 40, QHostAddress(from));
        QVERIFY(QTest::qWaitFor([&] { return flood.opened >= 60; }, kBound)); // held, cut and opened again
        const QByteArray page = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(web.port) + "\r\n\r\n";
        for (int load = 0; load < 20; ++load)
            QCOMPARE(statusOf(web.port, page), QByteArray("HTTP/1.1 200 OK"));
        for (int open = 0; open < 5; ++open)
            QVERIFY(statusOf(web.port, socketRequest(web.port, "qx50web, " + web.token)).startsWith("HTTP/1.1 101"));

        QTcpSocket slow;
        slow.connectToHost(QHostAddress::LocalHost, web.port);
        QVERIFY(slow.waitForConnected(kBound));
        slow.write("GET / HTTP/1.1\r\n"); // and the rest never
        QElapsedTimer held;
        held.start();
        QVERIFY(QTest::qWaitFor([&] { return slow.state() == QAbstractSocket::UnconnectedState; }, kBound));
        QVERIFY2(held.elapsed() < 3000, QByteArray::number(held.elapsed()).constData());
    }

    // A client that sends frames and reads nothing back is cut, and qx50-web stays
    // small: pings, which Qt answers by itself; pongs nobody asked for; heartbeats,
    // which qx50-web answers.
    void aClientThatFloodsIsCut_data()
    {
        QTest::addColumn<int>("opcode");
        QTest::addColumn<QByteArray>("payload");
        QTest::addRow("pings") << 0x9 << QByteArray(125, 'p');
        QTest::addRow("pongs") << 0xA << QByteArray(125, 'p');
        QTest::addRow("heartbeats") << 0x1 << QByteArray(R"({"t":"hb"})");
    }
    void aClientThatFloodsIsCut()
    {
        QFETCH(int, opcode);
        QFETCH(QByteArray, payload);
        Panel p;
        WebProgram web;
        QTcpSocket client;
        client.setReadBufferSize(1); // what comes back stays unread
        client.connectToHost(QHostAddress::LocalHost, web.port);
        QVERIFY(client.waitForConnected(kBound));
        client.write(socketRequest(web.port, "qx50web, " + web.token));
        QVERIFY(QTest::qWaitFor([&] { return client.bytesAvailable() > 0; }, kBound));
        const QByteArray chunk = clientFrame(opcode, payload).repeated(512);
        qint64 sent = 0, peak = 0;
        while (sent < 80 * 1024 * 1024 && client.state() == QAbstractSocket::ConnectedState) {
            client.write(chunk);
            sent += chunk.size();
            (void)QTest::qWaitFor(
                [&] { return client.bytesToWrite() == 0 || client.state() != QAbstractSocket::ConnectedState; },
                kBound);
            peak = std::max(peak, residentBytes(web.process.processId()));
        }
        QVERIFY2(client.state() != QAbstractSocket::ConnectedState, "never cut");
        QVERIFY2(peak < 64 * 1024 * 1024, QByteArray::number(peak).constData());
    }

    // With --port, qx50-web follows the panel on that port through a restart, as it
    // follows the well-known name without it: the panel that starts again is a new
    // process, with a bus name of its own.
    void followsThePanelOnItsPortThroughARestart()
    {
        auto first = std::make_unique<PanelProcess>();
        WebProgram web({QStringLiteral("--port"), QStringLiteral("2")});
        QVERIFY2(web.port != 0, "qx50-web found no panel on COM2");
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#port", "COM2 open"));
        ::kill(static_cast<pid_t>(first->process.processId()), SIGKILL);
        QVERIFY(browser.shows(phone, "#status", "No panel is running"));
        first.reset();
        PanelProcess second;
        QVERIFY(browser.shows(phone, "#port", "COM2 open"));
        browser.ask({{"do", "tap"}, {"page", phone}, {"selector", "[data-c=\"T\"]"}});
        QVERIFY(second.receives("T"));
    }

    void refusals()
    {
        Panel p;
        WebProgram web;
        Browser browser;
        const int phone = browser.open(web.base() + "#t=" + web.token);
        QVERIFY(browser.shows(phone, "#link", "connected"));
        const QByteArray host = "127.0.0.1:" + QByteArray::number(web.port);
        const QByteArray token = "qx50web, " + web.token;
        struct Case {
            const char *name;
            QByteArray request;
            QByteArray status;
        };
        const Case cases[] = {
            {"WebSocket with a wrong token", socketRequest(web.port, "qx50web, " + QByteArray(32, 'a')),
             "HTTP/1.1 403"},
            {"WebSocket with no token", socketRequest(web.port, "qx50web"), "HTTP/1.1 403"},
            {"WebSocket from another origin", socketRequest(web.port, token, "http://evil.test"), "HTTP/1.1 403"},
            {"another Host", "GET / HTTP/1.1\r\nHost: rebind.test:" + QByteArray::number(web.port) + "\r\n\r\n",
             "HTTP/1.1 403"},
            {"POST from another origin",
             "POST / HTTP/1.1\r\nHost: " + host + "\r\nOrigin: http://evil.test\r\nContent-Length: 1\r\n\r\nT",
             "HTTP/1.1 403"},
            {"oversized head", "GET / HTTP/1.1\r\nHost: " + host + "\r\nX: " + QByteArray(9000, 'x') + "\r\n\r\n",
             "HTTP/1.1 431"},
            {"the page itself, which holds no secret", "GET / HTTP/1.1\r\nHost: " + host + "\r\n\r\n",
             "HTTP/1.1 200 OK"},
        };
        for (const Case &c : cases)
            QVERIFY2(statusOf(web.port, c.request).startsWith(c.status), c.name);

        // In the browser: the page through a rebound name, and a page of another origin.
        const QJsonObject rebound
            = browser.ask({{"do", "open"}, {"url", QStringLiteral("http://rebind.test:%1/").arg(web.port)}});
        QCOMPARE(rebound.value(QLatin1String("status")).toInt(), 403);
        const QJsonObject foreign = browser.ask({{"do", "crossOrigin"}, {"target", web.base()}});
        QVERIFY(!foreign.value(QLatin1String("socketOpened")).toBool());
        for (const QJsonValue status : foreign.value(QLatin1String("fetchStatuses")).toArray())
            QCOMPARE(status.toInt() / 100, 4);
        // A message larger than any the page sends ends that page's socket.
        const QJsonValue closed = browser.eval(phone, R"(new Promise((resolve) => {
            const socket = new WebSocket('ws://' + location.host + '/ws', [CONTRACT.socketProtocol, localStorage.getItem(TOKEN_KEY)]);
            socket.onopen = () => socket.send('x'.repeat(4096));
            socket.onclose = (event) => resolve(event.code);
        }))");
        QCOMPARE(closed.toInt(), 1009);
        // Eight pages at most: beside the page itself, seven more sockets are let in.
        const QJsonValue opened = browser.eval(phone, R"((async () => {
            const open = () => new Promise((resolve) => {
                const socket = new WebSocket('ws://' + location.host + '/ws', [CONTRACT.socketProtocol, localStorage.getItem(TOKEN_KEY)]);
                socket.onopen = () => resolve(socket);
                socket.onerror = () => resolve(null);
            });
            const sockets = [];
            for (let i = 0; i < 8; ++i) sockets.push(await open());
            sockets.forEach((socket) => socket && socket.close());
            return sockets.filter(Boolean).length;
        })())");
        QCOMPARE(opened.toInt(), 7);
        QCOMPARE(p.unit.received(), QByteArray()); // nothing of all that reached the unit
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kPanelOnly))
        return panelOnly();
    WebTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_web.moc"
