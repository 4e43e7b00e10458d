// A Com port served over the network: through a real ser2net holding a
// pseudo-terminal as the unit, and through qx50-sim --listen for what ser2net on a
// pseudo-terminal cannot show (the commands a server receives, a server that hangs).
#include "serial/DeviceProbe.h"
#include "serial/NetworkAddress.h"
#include "serial/OpeningTime.h"
#include "serial/SerialError.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "support/Ser2net.h"
#include "ui/VbColor.h"

#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// qx50-sim serving the unit over RFC 2217 on 127.0.0.1; it reports each
// serial-control command it receives on a line of its own.
struct ListeningSimulator {
    QProcess process;
    QString address;

    explicit ListeningSimulator(QStringList options = {})
    {
        process.start(QStringLiteral(QX50_SIM),
                      QStringList {QStringLiteral("--listen"), QStringLiteral("0")} + options);
        if (process.waitForReadyRead(5000))
            address = QString::fromLatin1(process.readLine().trimmed());
    }
    ~ListeningSimulator()
    {
        process.terminate();
        process.waitForFinished(5000);
    }

    // Waits until it has reported `count` commands, then gives them.
    QStringList reported(int count)
    {
        QStringList lines;
        (void)QTest::qWaitFor(
            [&] {
                while (process.canReadLine())
                    lines << QString::fromLatin1(process.readLine().trimmed());
                return lines.size() >= count;
            },
            5000);
        return lines;
    }
};

// The window with COM1 at a network address, chosen from the menu.
struct RemoteWindow {
    FormFixture f;

    explicit RemoteWindow(const QString &address) { f.ports[1] = address; }

    bool choose()
    {
        f.form->Form_Load();
        f.form->menuCom(1)->trigger();
        return f.form->Comm1.portOpen();
    }
};

// Why opening fails on a component, or on the window's line.
template <typename Component>
QString openingFailure(Component &comm)
{
    try {
        comm.setPortOpen(true);
    } catch (const SerialError &e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<opened>");
}

void addBothServings()
{
    QTest::addColumn<Ser2net::Accepter>("accepter");
    QTest::addRow("rfc2217") << Ser2net::Accepter::Rfc2217;
    QTest::addRow("socket") << Ser2net::Accepter::Raw;
}

} // namespace

class NetworkLineTest : public QObject {
    Q_OBJECT

private slots:
    void addressesAreReadAsPyserialWritesThem_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("rfc2217");

        QTest::addRow("rfc2217") << "rfc2217://127.0.0.1:2217" << true << "127.0.0.1" << 2217 << true;
        QTest::addRow("socket, scheme in capitals")
            << "SOCKET://radio-shack.local:7000" << true << "radio-shack.local" << 7000 << false;
        QTest::addRow("IPv6 in brackets") << "rfc2217://[::1]:65535" << true << "::1" << 65535 << true;
        QTest::addRow("trailing slash") << "socket://host:1/" << true << "host" << 1 << false;
        QTest::addRow("pyserial's options")
            << "rfc2217://host:2217?ign_set_control&timeout=3&logging=debug" << true << "host" << 2217 << true;

        QTest::addRow("no port") << "rfc2217://host" << false << "" << 0 << true;
        QTest::addRow("port 0") << "rfc2217://host:0" << false << "" << 0 << true;
        QTest::addRow("port too large") << "rfc2217://host:65536" << false << "" << 0 << true;
        QTest::addRow("port with letters") << "socket://host:12x" << false << "" << 0 << false;
        QTest::addRow("no host") << "rfc2217://:2217" << false << "" << 0 << true;
        QTest::addRow("space in host") << "rfc2217://my host:2217" << false << "" << 0 << true;
        QTest::addRow("unclosed bracket") << "rfc2217://[::1:2217" << false << "" << 0 << true;
        QTest::addRow("IPv4 in brackets") << "rfc2217://[10.0.0.1]:2217" << false << "" << 0 << true;
        QTest::addRow("unknown option") << "rfc2217://host:2217?baud=9600" << false << "" << 0 << true;
        QTest::addRow("a path") << "socket://host:2217/dev/ttyS0" << false << "" << 0 << false;
    }

    void addressesAreReadAsPyserialWritesThem()
    {
        QFETCH(QString, device);
        QFETCH(bool, valid);
        QVERIFY(NetworkAddress::isNetworkName(device));
        QString problem;
        const auto address = NetworkAddress::parse(device, &problem);
        QCOMPARE(address.has_value(), valid);
        if (!valid) {
            QVERIFY(!problem.isEmpty());
            return;
        }
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, rfc2217);
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
        QCOMPARE(address->kind == NetworkAddress::Kind::Rfc2217, rfc2217);

        for (const char *local : {"/dev/ttyUSB0", "ttyS0", "COM1", "rfc2217:/host:1"})
            QVERIFY2(!NetworkAddress::isNetworkName(QString::fromLatin1(local)), local);
    }

    // A name with an unknown scheme is a network name everywhere: the dialog's probe,
    // the device naming and the opening all say how a network port is written.
    void anUnknownSchemeIsAMiswrittenNetworkPort()
    {
        const QString device = QStringLiteral("telnet://radio:23");
        const QString howToWrite
            = QStringLiteral("a network port is written rfc2217://HOST:PORT or socket://HOST:PORT");
        QVERIFY(NetworkAddress::isNetworkName(device));
        QCOMPARE(deviceFromName(device), device);
        const DeviceProbe probe = probePresence(device);
        QVERIFY(probe.rulesOutOpening());
        QCOMPARE(probe.reason, howToWrite);
        SerialComm comm([&](int) { return device; });
        QCOMPARE(openingFailure(comm), QStringLiteral("COM1 (%1): %2").arg(device, howToWrite));
    }

    void startUpRestoresARemotePort_data() { addBothServings(); }
    void startUpRestoresARemotePort()
    {
        QFETCH(Ser2net::Accepter, accepter);
        PtyUnit unit;
        Ser2net server(unit.devicePath(), accepter);
        QVERIFY2(server.listening(), qPrintable(server.output()));
        RemoteWindow window(server.address());
        window.f.writeSettingsFile("COM1:9600,N,8,1");

        window.f.form->Form_Load(); // the scan opens and closes it, then the restore reopens it
        QVERIFY(window.f.form->menuCom(1)->isEnabled());
        QVERIFY(window.f.form->Comm1.portOpen());
        QCOMPARE(window.f.checkedComItems(), QList<int> {1});
        QCOMPARE(window.f.form->Status->caption(), QStringLiteral("Play"));
        QCOMPARE(unit.received(1), QByteArray("P"));
        QCOMPARE(window.f.desktop.events, QStringList());
    }

    void commandsAndRepliesCrossTheNetwork_data() { addBothServings(); }
    void commandsAndRepliesCrossTheNetwork()
    {
        QFETCH(Ser2net::Accepter, accepter);
        PtyUnit unit;
        Ser2net server(unit.devicePath(), accepter);
        QVERIFY2(server.listening(), qPrintable(server.output()));
        RemoteWindow window(server.address());
        QVERIFY(window.choose());
        QCOMPARE(unit.received(1), QByteArray("P"));

        Form1 &form = *window.f.form;
        QTest::mouseClick(form.Number[3], Qt::LeftButton);
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QTest::keyClick(&form, 'r');
        QTest::keyClick(&form, '9');
        QTest::mouseClick(form.Command4, Qt::LeftButton);
        QTest::keyClick(&form, 's');
        QCOMPARE(unit.received(6), QByteArray("3MR9TS"));
        QCOMPARE(form.Status->caption(), QStringLiteral("Transmit"));

        // Every byte value comes through unaltered, the telnet escape among them.
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte.append(static_cast<char>(b));
        unit.send("PLAY 3\r\n" + everyByte);
        const QString expected = QString::fromLatin1(("PLAY 3\r\n" + everyByte).right(188));
        QTRY_COMPARE_WITH_TIMEOUT((form.Timer1_Timer(), form.TextBox->caption()), expected, 5000);
        QCOMPARE(window.f.desktop.events, QStringList());
    }

    void settingsTextReachesTheFarDevice()
    {
        PtyUnit unit;
        Ser2net server(unit.devicePath());
        QVERIFY2(server.listening(), qPrintable(server.output()));
        FormFixture f;
        f.ports[2] = server.address();
        f.writeSettingsFile("COM2:19200,E,7,2");
        f.form->Form_Load();
        QVERIFY(f.form->Comm1.portOpen());
        QCOMPARE(unit.received(1), QByteArray("P"));

        // The pseudo-terminal's settings, as ser2net put them on the device.
        const int fd = ::open(unit.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios tio {};
        QCOMPARE(::tcgetattr(fd, &tio), 0);
        ::close(fd);
        // (A pseudo-terminal keeps 8 bits without parity whatever it is told.)
        QCOMPARE(::cfgetispeed(&tio), speed_t(B19200));
        QVERIFY(tio.c_cflag & CSTOPB);
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM2:19200,E,7,2")); // the record is the local one
    }

    void aStoppedServerIsOneLostLine_data() { addBothServings(); }
    void aStoppedServerIsOneLostLine()
    {
        QFETCH(Ser2net::Accepter, accepter);
        PtyUnit unit;
        auto server = std::make_unique<Ser2net>(unit.devicePath(), accepter);
        QVERIFY2(server->listening(), qPrintable(server->output()));
        RemoteWindow window(server->address());
        QVERIFY(window.choose());
        window.f.desktop.clear();
        QString reason;
        connect(&window.f.form->Comm1, &Line::lost, this, [&](const QString &why) { reason = why; });

        server->kill();
        for (int i = 0; i < 3; ++i) // writes to the dead connection, before it is noticed: no SIGPIPE
            window.f.form->Command4_Click();
        QTRY_COMPARE(window.f.desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        QVERIFY(!window.f.form->Comm1.portOpen());
        QCOMPARE(window.f.checkedComItems(), QList<int>());
        QCOMPARE(window.f.form->Status->caption(), QStringLiteral("Com Port Closed"));
        QCOMPARE(window.f.settingsFileBytes(), QByteArray("COM1:9600,N,8,1"));
        QVERIFY2(reason.contains(QStringLiteral("127.0.0.1 port %1").arg(server->port())), qPrintable(reason));

        for (int i = 0; i < 20; ++i) { // the ticks and more commands add nothing
            QCoreApplication::processEvents();
            window.f.form->Timer1_Timer();
        }
        window.f.form->Command3_Click();
        QCOMPARE(window.f.desktop.boxes.size(), 2);
        QCOMPARE(window.f.desktop.prompts().last(), QStringLiteral("Com Port is not open!"));
    }

    // The server is there but its device is not, or goes: the server's own words are
    // quoted, and a device lost while open is one lost line.
    void theFarDeviceFailing()
    {
        Ser2net nowhere(QStringLiteral("/dev/pts/qx50-missing"));
        QVERIFY2(nowhere.listening(), qPrintable(nowhere.output()));
        SerialComm comm([&](int) { return nowhere.address(); });
        const QString why = openingFailure(comm);
        QVERIFY2(why.contains(QStringLiteral("closed the connection, saying \"Device open failure")), qPrintable(why));

        auto unit = std::make_unique<PtyUnit>();
        Ser2net server(unit->devicePath());
        RemoteWindow window(server.address());
        QVERIFY(window.choose());
        window.f.desktop.clear();
        unit->hangUp();
        QTRY_COMPARE(window.f.desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        QVERIFY(!window.f.form->Comm1.portOpen());
    }

    void aSecondPanelIsRefusedAndToldWhy_data() { addBothServings(); }
    void aSecondPanelIsRefusedAndToldWhy()
    {
        QFETCH(Ser2net::Accepter, accepter);
        PtyUnit unit;
        Ser2net server(unit.devicePath(), accepter);
        QVERIFY2(server.listening(), qPrintable(server.output()));
        SerialComm first([&](int) { return server.address(); });
        SerialComm second([&](int) { return server.address(); });
        first.setPortOpen(true);

        const QString why = openingFailure(second);
        QVERIFY2(why.contains(QStringLiteral("in use by another connection"))
                     && why.contains(QStringLiteral("Port already in use")),
                 qPrintable(why));
        QVERIFY(!second.portOpen());

        first.setOutput(QStringLiteral("T")); // the first panel is untouched
        QCOMPARE(unit.received(1), QByteArray("T"));
        first.setPortOpen(false);
        // Once the server has seen the first one go, the second gets the port.
        QTRY_VERIFY_WITH_TIMEOUT(second.portOpen() || openingFailure(second) == QLatin1String("<opened>"), 5000);
        second.setOutput(QStringLiteral("S"));
        QCOMPARE(unit.received(1), QByteArray("S"));
    }

    void theServerReceivesTheSettingsThenDtrOnAndRtsOff()
    {
        ListeningSimulator sim;
        QVERIFY(sim.address.startsWith(QStringLiteral("rfc2217://127.0.0.1:")));
        SerialComm comm([&](int) { return sim.address; });
        comm.setSettings(QStringLiteral("19200,o,7,1.5"));
        comm.setPortOpen(true);
        QCOMPARE(sim.reported(6),
                 QStringList({"SET-BAUDRATE 19200", "SET-DATASIZE 7", "SET-PARITY ODD", "SET-STOPSIZE 1.5",
                              "SET-CONTROL DTR-ON", "SET-CONTROL RTS-OFF"}));
        comm.setOutput(QStringLiteral("5"));
        QString got;
        QTRY_VERIFY_WITH_TIMEOUT((got += comm.input()).endsWith(QStringLiteral("\r\n")), 5000);
        QCOMPARE(got, QStringLiteral("SLOT 5\r\n"));
    }

    void aServerThatNeverNegotiatesTimesOutWhileTheWindowRuns()
    {
        ListeningSimulator silent({QStringLiteral("--no-negotiation")});
        RemoteWindow window(silent.address);
        window.f.form->Form_Load(); // the scan gives up on it
        QVERIFY(!window.f.form->menuCom(1)->isEnabled());

        // Chosen anyway (as if it had been there at start-up): the window's timer
        // keeps ticking through the wait, and the operator is told once.
        int ticks = 0;
        connect(&window.f.form->Timer1, &QTimer::timeout, this, [&] { ++ticks; });
        window.f.form->menuCom(1)->setEnabled(true);
        window.f.form->menuCom(1)->trigger();
        QVERIFY(ticks > 0);
        QCOMPARE(window.f.desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        QVERIFY(!window.f.form->Comm1.portOpen());

        const QString why = openingFailure(window.f.form->Comm1);
        QVERIFY2(why.contains(silent.address.mid(10).replace(u':', QStringLiteral(" port "))), qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("did not take up RFC 2217 serial control within 2.0 s")), qPrintable(why));
    }

    // Four silent servers at start-up share one wait instead of taking one each.
    void probesOfSilentPortsShareOneWait()
    {
        ListeningSimulator silent({QStringLiteral("--no-negotiation")});
        SerialComm comm([&](int) { return silent.address; });
        QStringList reasons;
        {
            const OpeningTime::Shared shared;
            for (int port = 1; port <= 4; ++port) {
                comm.setCommPort(port);
                reasons << openingFailure(comm);
            }
        }
        int allowedTenths = 0;
        for (const QString &why : reasons) {
            const qsizetype at = why.indexOf(QStringLiteral("within "));
            QVERIFY2(at > 0, qPrintable(why));
            allowedTenths += qRound(why.mid(at + 7).section(u' ', 0, 0).toDouble() * 10);
        }
        QVERIFY2(reasons.first().contains(QStringLiteral("within 2.0 s")), qPrintable(reasons.first()));
        QVERIFY2(allowedTenths <= 25, qPrintable(reasons.join(u'\n')));

        reasons.clear(); // afterwards each opening has its own time again
        comm.setCommPort(1);
        QVERIFY2(openingFailure(comm).contains(QStringLiteral("within 2.0 s")), "not restored");
    }

    void connectionFailuresNameHostPortAndCause_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("cause");
        QTest::addRow("refused") << "127.0.0.1"
                                 << "127.0.0.1 port %1 refused the connection";
        // A label longer than 63 characters is refused before any name server is asked.
        const QString longName = QString(64, u'q') + QStringLiteral(".example");
        QTest::addRow("host not found") << longName << QStringLiteral("the host %1 was not found").arg(longName);
    }

    void connectionFailuresNameHostPortAndCause()
    {
        QFETCH(QString, host);
        QFETCH(QString, cause);
        const quint16 port = freeLoopbackPort();
        const QString address = QStringLiteral("rfc2217://%1:%2").arg(host).arg(port);
        SerialComm comm([&](int) { return address; });
        comm.setCommPort(3);
        const QString why = openingFailure(comm);
        QVERIFY2(why.startsWith(QStringLiteral("COM3 (%1): ").arg(address)), qPrintable(why));
        QVERIFY2(why.contains(cause.contains(u'%') ? cause.arg(port) : cause), qPrintable(why));
        QVERIFY(!comm.portOpen());
    }

    // Events flow while a network port opens: whatever they do to the component then
    // is refused or cancels the opening, never pulls the line from under it.
    void theComponentDuringAnOpening()
    {
        ListeningSimulator silent({QStringLiteral("--no-negotiation")});
        SerialComm comm([&](int) { return silent.address; });
        QStringList refused;
        QTimer::singleShot(50, this, [&] {
            try {
                comm.setPortOpen(true);
            } catch (const SerialError &e) {
                refused << QString::fromUtf8(e.what());
            }
            try {
                comm.setCommPort(2);
            } catch (const SerialError &e) {
                refused << QString::fromUtf8(e.what());
            }
            comm.setPortOpen(false);
        });
        const QString why = openingFailure(comm);
        QCOMPARE(refused.size(), 2);
        QVERIFY2(refused[0].contains(QStringLiteral("still being opened")), qPrintable(refused[0]));
        QVERIFY2(why.contains(QStringLiteral("cancelled")), qPrintable(why));
        QCOMPARE(comm.commPort(), 1);
        QVERIFY(!comm.portOpen());
    }
};

QTEST_MAIN(NetworkLineTest)
#include "tst_networkline.moc"
