// Loggers reach the unit through the panel: qx50-rigctld with Hamlib's own rigctld
// as its upstream and Hamlib's own rigctl as a client, qx50-send's play and hold, and
// a second panel found by its open port. A private bus, pseudo-terminal units.
#include "support/BusPanel.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "support/RigctldPrograms.h"
#include "support/Ser2net.h"
#include "app/ControlBus.h"
#include "panel/RepeatTransmit.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <sys/socket.h>

namespace {

using namespace rigctld_test;

// Whether bytes wait for the socket in the kernel, whether or not Qt has read them yet.
bool anythingArrived(QTcpSocket &socket)
{
    char byte;
    return socket.bytesAvailable() > 0
        || ::recv(static_cast<int>(socket.socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

// The panel in this process, with COM2 open on a unit and the well-known name.
struct Panel : BusPanel {
    Panel() { f.openPort(2); }
};

} // namespace

class RigctldTest : public QObject {
    Q_OBJECT

private slots:
    void not1mmPlaysAndStopsWhileTheUpstreamKeepsTheRest()
    {
        Panel p;
        HamlibRigctld hamlib(freeLoopbackPort());
        QVERIFY(hamlib.ready());
        Front front({QStringLiteral("--upstream"), QStringLiteral("127.0.0.1:%1").arg(hamlib.port)});
        QVERIFY(front.port != 0);
        Client logger(front.port);

        QCOMPARE(logger.ask("\\send_voice_mem 2\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(2), QByteArray("2T"));
        QCOMPARE(p.f.form->Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(logger.ask("\\stop_voice_mem\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(1), QByteArray("S"));

        QCOMPARE(logger.ask("f\n"), QByteArray("145000000\n")); // the dummy rig's frequency
        QCOMPARE(logger.ask("+\\send_voice_mem 7\n"), QByteArray("send_voice_mem: 7\nRPRT 0\n"));
        QCOMPARE(p.unit.received(2), QByteArray("7T"));
        QCOMPARE(logger.ask("F 7074000\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(logger.ask("f\n"), QByteArray("7074000\n"));
        QCOMPARE(p.unit.received(), QByteArray()); // nothing of the rig's reached the unit
        QCOMPARE(p.f.desktop.events, QStringList());
    }

    void hamlibsOwnClientPlaysAMemory_data()
    {
        QTest::addColumn<bool>("upstream");
        QTest::addRow("with an upstream rigctld") << true;
        QTest::addRow("alone") << false;
    }
    void hamlibsOwnClientPlaysAMemory()
    {
        QFETCH(bool, upstream);
        Panel p;
        std::unique_ptr<HamlibRigctld> hamlib;
        QStringList args;
        if (upstream) {
            hamlib = std::make_unique<HamlibRigctld>(freeLoopbackPort());
            QVERIFY(hamlib->ready());
            args << QStringLiteral("--upstream") << QStringLiteral("127.0.0.1:%1").arg(hamlib->port);
        }
        Front front(args);
        Program rigctl(QStringLiteral("rigctl"),
                       {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(front.port), "send_voice_mem", "5"});
        QCOMPARE(rigctl.exitCode(), 0);
        QCOMPARE(p.unit.received(2), QByteArray("5T"));
        QCOMPARE(QString::fromLocal8Bit(rigctl.process.readAllStandardError()), QString());
    }

    void refusalsAreHamlibCodesWithTheReasonOnStderr_data()
    {
        QTest::addColumn<bool>("panel");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("reason");
        QTest::addRow("no panel") << false << false << QByteArray("\\send_voice_mem 1\n") << QByteArray("RPRT -6\n")
                                  << "send_voice_mem 1 refused: no orma-qx50-voice-mem panel is running";
        QTest::addRow("port closed") << true << false << QByteArray("\\stop_voice_mem\n") << QByteArray("RPRT -9\n")
                                     << "stop_voice_mem refused: Com Port is not open!";
        QTest::addRow("not a memory") << true << true << QByteArray("\\send_voice_mem 12\n") << QByteArray("RPRT -1\n")
                                      << "";
        QTest::addRow("no upstream") << true << true << QByteArray("+f\n") << QByteArray("f:\nRPRT -4\n") << "";
    }
    void refusalsAreHamlibCodesWithTheReasonOnStderr()
    {
        QFETCH(bool, panel);
        QFETCH(bool, open);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        QFETCH(QString, reason);
        std::unique_ptr<Panel> p;
        if (panel) {
            p = std::make_unique<Panel>();
            if (!open)
                p->f.form->Comm1.setPortOpen(false);
        }
        Front front({});
        Client logger(front.port);
        QCOMPARE(logger.ask(line), answer);
        if (!reason.isEmpty()) {
            QString said;
            QTRY_VERIFY_WITH_TIMEOUT(
                (said += QString::fromLocal8Bit(front.process.readAllStandardError())).contains(reason), kBound);
        }
        if (p)
            QCOMPARE(p->unit.received(), QByteArray());
    }

    // A client that sends and never reads: the other client and the panel go on, and
    // the silent one is dropped once its unread answers pass the bound.
    void aClientThatStopsReadingHoldsUpNoOne()
    {
        Panel p;
        Front front({});
        Client stalled(front.port);
        stalled.socket.setReadBufferSize(1); // this end stops taking the answers in
        QVERIFY(stalled.socket.waitForConnected(kBound));
        QByteArray flood;
        for (int i = 0; i < 6000; ++i)
            flood += "\\dump_state\n";
        stalled.socket.write(flood);

        Client logger(front.port);
        QCOMPARE(logger.ask("\\send_voice_mem 3\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(2), QByteArray("3T"));
        QTRY_COMPARE_WITH_TIMEOUT(stalled.socket.state(), QAbstractSocket::UnconnectedState, kBound);
        QCOMPARE(logger.ask("\\stop_voice_mem\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(1), QByteArray("S"));
    }

    void playHoldsAndASignalStops()
    {
        Panel p;
        Program held(QStringLiteral(QX50_SEND), {"--play", "4", "--hold", "600"});
        QCOMPARE(p.unit.arriving(2, kBound), QByteArray("4T"));
        QCOMPARE(held.process.state(), QProcess::Running); // still holding the station
        ::kill(static_cast<pid_t>(held.process.processId()), SIGTERM);
        QCOMPARE(p.unit.arriving(1, kBound), QByteArray("S"));
        QCOMPARE(held.exitCode(), 0);

        Program shortHold(QStringLiteral(QX50_SEND), {"--play", "9", "--hold", "0.2"});
        QCOMPARE(shortHold.exitCode(), 0);
        QCOMPARE(p.unit.received(2), QByteArray("9T"));
        QCOMPARE(p.unit.received(), QByteArray()); // no stop when the time is up
    }

    void badArgumentsAreRefusedBeforeAnyPanelIsAsked_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addRow("memory 10") << QStringList {"--play", "10"};
        QTest::addRow("hold 0") << QStringList {"--play", "1", "--hold", "0"};
        QTest::addRow("hold past 600") << QStringList {"--play", "1", "--hold", "601"};
        QTest::addRow("hold alone") << QStringList {"T", "--hold", "5"};
        QTest::addRow("port 5") << QStringList {"--port", "5", "T"};
    }
    void badArgumentsAreRefusedBeforeAnyPanelIsAsked()
    {
        QFETCH(QStringList, args);
        Panel p;
        Program sender(QStringLiteral(QX50_SEND), args);
        QCOMPARE(sender.exitCode(), 1);
        QVERIFY(
            QString::fromLocal8Bit(sender.process.readAllStandardError()).startsWith(QStringLiteral("qx50-send: ")));
        QCOMPARE(p.unit.received(), QByteArray());
    }

    // Two units: the second panel, another process, answers under its own name and is
    // found by its open port, while the first keeps the well-known one.
    void aSecondPanelIsFoundByItsPort()
    {
        Panel first;
        PtyUnit second;
        TemporaryWorkingDirectory cwd;
        FormFixture::writeSettingsFile("COM3:9600,N,8,1"); // it opens COM3 at start-up
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (int n = 1; n <= 4; ++n)
            env.insert(QStringLiteral("QX50_COM%1").arg(n),
                       n == 3 ? second.devicePath() : QStringLiteral("/nonexistent/qx50-com%1").arg(n));
        QProcess panelProcess;
        panelProcess.setProcessEnvironment(env);
        panelProcess.setWorkingDirectory(cwd.path());
        auto stop = qScopeGuard([&] {
            panelProcess.terminate();
            if (!panelProcess.waitForFinished(5000))
                panelProcess.kill();
            panelProcess.waitForFinished(5000);
        });
        panelProcess.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        QCOMPARE(second.received(1), QByteArray("P")); // start-up's Play
        const QString own = QStringLiteral("org.orma.Qx50VoiceMemory.pid%1").arg(panelProcess.processId());
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(own).value(), kBound);

        Program viaSend(QStringLiteral(QX50_SEND), {"--port", "3", "--play", "6"});
        QCOMPARE(viaSend.exitCode(), 0);
        QCOMPARE(second.received(2), QByteArray("6T"));
        Front front({QStringLiteral("--port"), QStringLiteral("3")});
        Client logger(front.port);
        QCOMPARE(logger.ask("\\send_voice_mem 8\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(second.received(2), QByteArray("8T"));
        Program noPort(QStringLiteral(QX50_SEND), {"--play", "1"});
        QCOMPARE(noPort.exitCode(), 0);
        QCOMPARE(first.unit.received(2), QByteArray("1T"));
        Program nobody(QStringLiteral(QX50_SEND), {"--port", "4", "T"});
        QCOMPARE(nobody.exitCode(), 2);
        QCOMPARE(second.received(), QByteArray());
    }
    // The upstream is stopped while a query to it and a voice memory are asked in one
    // write: the panel plays at once, and its answer waits for the upstream's.
    void answersComeBackInTheOrderAsked_data()
    {
        QTest::addColumn<QByteArray>("asked");
        QTest::addColumn<QByteArray>("unitHears");
        QTest::addColumn<QByteArray>("answers");
        QTest::addRow("frequency, then play")
            << QByteArray("f\n\\send_voice_mem 2\n") << QByteArray("2T") << QByteArray("145000000\nRPRT 0\n");
        QTest::addRow("mode's two lines, then stop")
            << QByteArray("m\n\\stop_voice_mem\n") << QByteArray("S") << QByteArray("FM\n15000\nRPRT 0\n");
        QTest::addRow("extended") << QByteArray("+f\n+\\send_voice_mem 4\n") << QByteArray("4T")
                                  << QByteArray("get_freq:\nFrequency: 145000000\nRPRT 0\nsend_voice_mem: 4\nRPRT 0\n");
        QTest::addRow("setting, play, query") << QByteArray("F 7074000\n\\send_voice_mem 6\nf\n") << QByteArray("6T")
                                              << QByteArray("RPRT 0\nRPRT 0\n7074000\n");
    }
    void answersComeBackInTheOrderAsked()
    {
        QFETCH(QByteArray, asked);
        QFETCH(QByteArray, unitHears);
        QFETCH(QByteArray, answers);
        Panel p;
        HamlibRigctld hamlib(freeLoopbackPort());
        QVERIFY(hamlib.ready());
        Front front({QStringLiteral("--upstream"), QStringLiteral("127.0.0.1:%1").arg(hamlib.port)});
        Client logger(front.port);
        QVERIFY(logger.socket.waitForConnected(kBound));
        ::kill(hamlib.pid(), SIGSTOP);
        logger.send(asked);
        QCOMPARE(p.unit.arriving(unitHears.size(), kBound), unitHears);
        // Once a second client's memory is heard, the first one's panel call is over.
        Client other(front.port);
        QCOMPARE(other.ask("\\send_voice_mem 9\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(2), QByteArray("9T"));
        QVERIFY(!anythingArrived(logger.socket));
        ::kill(hamlib.pid(), SIGCONT);
        QByteArray got;
        QTRY_COMPARE_WITH_TIMEOUT((got += logger.socket.readAll()).size(), answers.size(), kBound);
        QCOMPARE(got, answers);
    }

    // Hamlib's rigctld restarted: the connected logger's next request reaches the new one.
    void aRestartedUpstreamIsReachedOnTheNextRequest()
    {
        const quint16 port = freeLoopbackPort();
        auto hamlib = std::make_unique<HamlibRigctld>(port);
        QVERIFY(hamlib->ready());
        Front front({QStringLiteral("--upstream"), QStringLiteral("127.0.0.1:%1").arg(port)});
        Client logger(front.port);
        QCOMPARE(logger.ask("f\n"), QByteArray("145000000\n"));
        hamlib.reset();
        QCOMPARE(logger.ask("f\n"), QByteArray("RPRT -6\n")); // nobody there now
        hamlib = std::make_unique<HamlibRigctld>(port);
        QVERIFY(hamlib->ready());
        QCOMPARE(logger.ask("F 7074000\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(logger.ask("f\n"), QByteArray("7074000\n"));
        QVERIFY(front.said(QStringLiteral("upstream 127.0.0.1:%1").arg(port)).count(QStringLiteral("upstream")) == 1);
    }

    // A panel stopped where it stands answers nothing: looking for a port among the
    // panels waits for it alone, while other clients are answered at once and the
    // panel that has the port is found without it.
    void aStuckPanelHoldsUpNoOtherClient()
    {
        Panel p;
        PanelProcess stuck;
        QVERIFY(stuck.up);
        stuck.freeze();
        Front nowhere({QStringLiteral("--port"), QStringLiteral("4")});
        Client waiting(nowhere.port);
        waiting.send("\\send_voice_mem 1\n");
        Client other(nowhere.port);
        QCOMPARE(other.ask("\\chk_vfo\n"), QByteArray("0\n"));
        QVERIFY(!anythingArrived(waiting.socket)); // still waiting for the stuck panel
        QCOMPARE(waiting.receive(), QByteArray("RPRT -6\n"));
        QVERIFY(nowhere.said(QStringLiteral("no orma-qx50-voice-mem panel has COM4 open"))
                    .contains(QStringLiteral("no orma-qx50-voice-mem panel has COM4 open")));

        Front here({QStringLiteral("--port"), QStringLiteral("2")});
        Client logger(here.port);
        QCOMPARE(logger.ask("\\send_voice_mem 5\n"), QByteArray("RPRT 0\n"));
        QCOMPARE(p.unit.received(2), QByteArray("5T"));
        QCOMPARE(stuck.unit.received(), QByteArray());
    }

    // A panel that ends (its window closing) ends the repeat, then leaves the bus. The
    // sender is stopped meanwhile, so that it finds both at once when it goes on: it
    // tells the repeat's early end, how many went out, not a panel gone.
    void aPanelThatEndsItsRepeatLetsTheSenderEndWell_data()
    {
        QTest::addColumn<int>("round");
        for (int round = 1; round <= 3; ++round)
            QTest::addRow("round %d", round) << round;
    }
    void aPanelThatEndsItsRepeatLetsTheSenderEndWell()
    {
        Panel p;
        // On one processor, without a woken thread taking it over at once (SCHED_BATCH),
        // the sender's bus thread hands both on before its main thread looks at either.
        Program sender(QStringLiteral("taskset"),
                       {"-c", "0", "chrt", "--batch", "0", QX50_SEND, "--repeat", "1", "--every", "2", "--times", "3"});
        // The second transmission: the sender has long heard that the repeat runs, and waits.
        QCOMPARE(p.unit.arriving(4, kBound), QByteArray("1T1T"));
        ::kill(sender.pid(), SIGSTOP);
        p.f.form->repeat->stop(RepeatTransmit::Stop::WindowClosing);
        p.bus.reset();
        // A round trip through the bus daemon: what it had to pass to the sender is on its way.
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(QString::fromLatin1(panel::kService)));
        ::kill(sender.pid(), SIGCONT);
        QCOMPARE(sender.exitCode(), 4);
        QCOMPARE(QString::fromLocal8Bit(sender.process.readAllStandardError()),
                 QStringLiteral("qx50-send: the repeat ended early: 2 of 3 transmissions went out\n"));
        QCOMPARE(p.unit.received(1), QByteArray("S"));
    }
};

QTEST_MAIN(RigctldTest)
#include "tst_rigctld.moc"
