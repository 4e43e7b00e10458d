// The panel model with no window: it links without Qt Widgets, and drives a real
// pseudo-terminal unit through opening, commands, received text and a lost line,
// which its own tick notices and, with reopening on, takes back when it comes.
#include "panel/PanelModel.h"
#include "contract/PanelTexts.h"
#include "contract/StatusColour.h"
#include "support/PtyUnit.h"
#include "support/RecordingDesktop.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// The inotify descriptors this process holds: one per watched device path.
int inotifyDescriptors()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    int count = 0;
    for (const QFileInfo &fd : fds.entryInfoList(QDir::NoDotAndDotDot | QDir::System))
        count += fd.symLinkTarget().contains(QLatin1String("inotify")) ? 1 : 0;
    return count;
}

} // namespace

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
        model.settingsMemory().iniFile = folder.filePath(QStringLiteral("panel.ini"));
        Line &line = model.line();
        line.setReopenLostPort(false); // a lost line is told and left closed
        QSignalSpy checked(&line, &Line::checkedPortChanged);

        model.load();
        QCOMPARE(model.statusCaption(), QString::fromLatin1(PanelText::kPortClosedAtStart));
        QVERIFY(line.portUsable(1));
        QVERIFY(!line.portUsable(2)); // no device
        QVERIFY(!line.whyNotUsable(2).isEmpty());

        model.portChoice().selectComPort(1);
        QCOMPARE(unit.received(1), QByteArray("P"));
        QCOMPARE(line.openPort(), 1);
        QCOMPARE(checked.last().at(0).toInt(), 1);
        QVERIFY(line.closeOffered());
        QVERIFY(QFile::exists(model.settingsMemory().iniFile));

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

        // Read by the line's own tick: nobody reads for it.
        QSignalSpy received(&line, &Line::receivedChanged);
        unit.send("SLOT 5\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(line.received(), QStringLiteral("SLOT 5\r\n"), 5000);
        QCOMPARE(received.count(), 1);
        QCOMPARE(desktop.events, QStringList());

        // The device goes: noticed by the tick, closed, told once, and no door can send.
        unit.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!line.portOpen(), 5000);
        QTRY_COMPARE(desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        QCOMPARE(line.checkedPort(), 0);
        QVERIFY(!line.closeOffered());
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
        model.settingsMemory().iniFile = folder.filePath(QStringLiteral("panel.ini"));
        QFile saved(model.settingsMemory().iniFile);
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write("COM1:9600,N,8,1");
        saved.close();

        model.load();
        QVERIFY(model.line().portOpen());
        QVERIFY(model.line().portUsable(1));
        // Connections are taken in the order they came: once a last one of the test's
        // own is in, any the panel made are in too.
        QTcpSocket last;
        last.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QTRY_VERIFY(
            std::any_of(held.begin(), held.end(), [&](QTcpSocket *in) { return in->peerPort() == last.localPort(); }));
        QCOMPARE(connections, 2);
        QCOMPARE(desktop.events, QStringList());
    }

    // With reopening on, a device behind a link that hangs up and goes is waited for
    // with one beep, through the one watcher its Com item already has, and taken back
    // as soon as it comes, with nothing sent by itself.
    void reopensALostDeviceWithNoWindow()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("usb-ORMA_QX50-if00-port0"));
        auto unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        RecordingDesktop desktop;
        PanelModel model(desktop, PortDevices {[&](int port) { return port == 1 ? link : QString(); }});
        model.settingsMemory().iniFile = folder.filePath(QStringLiteral("panel.ini"));
        Line &line = model.line();
        line.setReopenLostPort(true);
        model.load();
        model.portChoice().selectComPort(1);
        QCOMPARE(unit->received(1), QByteArray("P"));
        const int watchers = inotifyDescriptors();
        QVERIFY(watchers > 0); // COM1's item is watched

        unit->hangUp();
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE_WITH_TIMEOUT(line.state(), Line::State::Waiting, 5000);
        QCOMPARE(desktop.events, QStringList {"beep"});
        QCOMPARE(line.noticeForms().last(), QStringLiteral("COM1 lost"));
        QCOMPARE(line.noticeDetail(), QStringLiteral("COM1 lost: waiting for %1 to come back").arg(link));
        QCOMPARE(line.portNotOpenWords(), QStringLiteral("COM1 lost, waiting for it to come back"));
        QCOMPARE(line.checkedPort(), 1);
        QCOMPARE(inotifyDescriptors(), watchers); // the wait shares the item's watcher

        unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        QTRY_COMPARE_WITH_TIMEOUT(line.state(), Line::State::Open, 5000);
        QCOMPARE(line.notice(), QStringLiteral("COM1 back"));
        QCOMPARE(unit->received(), QByteArray());
        QCOMPARE(model.sendFromOutside('T').refused, PanelModel::Refused::No);
        QCOMPARE(unit->received(1), QByteArray("T"));
        QCOMPARE(desktop.events, QStringList {"beep"});
    }
};

QTEST_GUILESS_MAIN(PanelModelTest)
#include "tst_panelmodel.moc"
