// The panel model with no window: it links without Qt Widgets, and drives a real
// pseudo-terminal unit through opening, commands, received text and a lost line.
#include "panel/PanelModel.h"
#include "panel/PanelTexts.h"
#include "panel/StatusColour.h"
#include "support/PtyUnit.h"
#include "support/RecordingDesktop.h"

#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class PanelModelTest : public QObject {
    Q_OBJECT

private slots:
    void drivesAUnitWithNoWindow()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY2(!maps.readAll().contains("libQt6Widgets"), "the panel model loaded Qt Widgets");

        QTemporaryDir folder;
        PtyUnit unit;
        RecordingDesktop desktop;
        PanelModel model(desktop, PortDevices {[&](int port) { return port == 1 ? unit.devicePath() : QString(); }});
        model.iniFile = folder.filePath(QStringLiteral("panel.ini"));
        model.setReopenLostPort(false); // a lost line is told and left closed
        QSignalSpy checked(&model, &PanelModel::checkedPortChanged);

        model.load();
        QCOMPARE(model.statusCaption(), QString::fromLatin1(PanelText::kPortClosedAtStart));
        QVERIFY(model.portUsable(1));
        QVERIFY(!model.portUsable(2)); // no device
        QVERIFY(!model.whyNotUsable(2).isEmpty());

        model.selectComPort(1);
        QCOMPARE(unit.received(1), QByteArray("P"));
        QCOMPARE(model.openPort(), 1);
        QCOMPARE(checked.last().at(0).toInt(), 1);
        QVERIFY(model.closeOffered());
        QVERIFY(QFile::exists(model.iniFile));

        // Each door's command takes the one road: a bus caller's and a click's alike.
        struct Step {
            char command;
            const char *status;
            quint32 colour;
        };
        for (const Step &step :
             {Step {'5', "Play", StatusColour::kButtonText}, Step {'T', "Transmit", StatusColour::kRed},
              Step {'S', "Transmit", StatusColour::kRed}}) {
            QCOMPARE(model.sendFromOutside(step.command).refused, PanelModel::Refused::No);
            QCOMPARE(unit.received(1), QByteArray(1, step.command));
            QCOMPARE(model.statusCaption(), QString::fromLatin1(step.status));
            QCOMPARE(model.statusColour(), step.colour);
        }

        QSignalSpy received(&model, &PanelModel::receivedChanged);
        unit.send("SLOT 5\r\n");
        QTRY_VERIFY_WITH_TIMEOUT((model.readInput(), model.received() == QStringLiteral("SLOT 5\r\n")), 5000);
        QCOMPARE(received.count(), 1);
        QCOMPARE(desktop.events, QStringList());

        // The device goes: closed at once, told once, and no door can send.
        unit.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT((model.readInput(), !model.portOpen()), 5000);
        QTRY_COMPARE(desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        QCOMPARE(model.checkedPort(), 0);
        QVERIFY(!model.closeOffered());
        QCOMPARE(model.statusCaption(), QString::fromLatin1(PanelText::kPortClosedAtStart));
        const PanelModel::Outcome refused = model.sendFromOutside('T');
        QCOMPARE(refused.refused, PanelModel::Refused::PortNotOpen);
        QCOMPARE(refused.why, QString::fromLatin1(PanelText::kPortNotOpen));
        QCOMPARE(desktop.events.size(), 2); // a caller's refusal raises no box
    }

    // A saved network port is connected once at start-up: by the opening, not also by
    // the scan's probe, since a server may take one connection at a time.
    void aSavedNetworkPortIsConnectedOnce()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int connections = 0;
        QList<QTcpSocket *> held;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                held << socket;
            }
        });
        QTemporaryDir folder;
        RecordingDesktop desktop;
        const QString address = QStringLiteral("socket://127.0.0.1:%1").arg(server.serverPort());
        PanelModel model(desktop, PortDevices {[&](int port) { return port == 1 ? address : QString(); }});
        model.iniFile = folder.filePath(QStringLiteral("panel.ini"));
        QFile saved(model.iniFile);
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write("COM1:9600,N,8,1");
        saved.close();

        model.load();
        QVERIFY(model.portOpen());
        QVERIFY(model.portUsable(1));
        // Connections are taken in the order they came: once a last one of the test's
        // own is in, any the panel made are in too.
        QTcpSocket last;
        last.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QTRY_VERIFY(
            std::any_of(held.begin(), held.end(), [&](QTcpSocket *in) { return in->peerPort() == last.localPort(); }));
        QCOMPARE(connections, 2);
        QCOMPARE(desktop.events, QStringList());
    }
};

QTEST_GUILESS_MAIN(PanelModelTest)
#include "tst_panelmodel.moc"
