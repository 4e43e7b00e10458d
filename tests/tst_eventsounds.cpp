// What happens on the air heard as event sounds, through a real sound server: a
// private PulseAudio with a null sink, recorded from its monitor.
#include "panel/PanelModel.h"
#include "support/PrivatePulse.h"
#include "support/PtyUnit.h"
#include "support/RecordingDesktop.h"
#include "ui/EventSounds.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class EventSoundsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_pulse = std::make_unique<PrivatePulse>();
        QVERIFY2(m_pulse->running(), "the private PulseAudio or its recorder did not start");
        QTRY_VERIFY(m_pulse->recordedMs() > 100); // the monitor records
    }

    void cleanupTestCase() { m_pulse.reset(); }

    void eventsAreHeardWhileSoundsIsOn_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<bool>("soundsOn");
        QTest::addColumn<QString>("sound");
        QTest::addRow("transmit") << "T" << true << EventSounds::kOnAir;
        QTest::addRow("port lost") << "hang up" << true << EventSounds::kPortLost;
        QTest::addRow("transmit, Sounds off") << "T" << false << QString();
        QTest::addRow("port lost, Sounds off") << "hang up" << false << QString();
    }

    void eventsAreHeardWhileSoundsIsOn()
    {
        QFETCH(QString, event);
        QFETCH(bool, soundsOn);
        QFETCH(QString, sound);

        QTemporaryDir folder;
        PtyUnit unit;
        RecordingDesktop desktop;
        PanelModel model(desktop, PortDevices {[&](int port) { return port == 1 ? unit.devicePath() : QString(); },
                                               folder.filePath(QStringLiteral("ports.conf"))});
        model.settingsMemory().iniFile = folder.filePath(QStringLiteral("panel.ini"));
        model.line().setReopenLostPort(true);
        model.hearing().setSounds(soundsOn);
        EventSounds sounds(model);
        QVERIFY(sounds.available());
        model.load();
        model.portChoice().selectComPort(1);
        QCOMPARE(unit.received(1), QByteArray("P"));

        // The byte is at the unit's end before the sound is handed to the server.
        QByteArray atTheUnitWhenPlayed;
        QStringList played;
        connect(&sounds, &EventSounds::played, this, [&](const QString &name) {
            played << name;
            atTheUnitWhenPlayed += unit.received();
        });
        const qint64 before = m_pulse->recordedMs();
        QElapsedTimer sinceEvent;
        sinceEvent.start();
        if (event == QLatin1String("T"))
            QVERIFY(model.issueCommand('T'));
        else
            unit.hangUp();

        if (soundsOn) {
            QTRY_COMPARE(played, QStringList {sound});
            // Timed to its arrival at the recorder: the recording's latency counts too.
            QTRY_VERIFY_WITH_TIMEOUT(m_pulse->firstSoundAfter(before) >= 0, 2000);
            QVERIFY2(sinceEvent.elapsed() <= 500,
                     qPrintable(QStringLiteral("the sound was heard %1 ms after the event").arg(sinceEvent.elapsed())));
            if (event == QLatin1String("T"))
                QCOMPARE(atTheUnitWhenPlayed, QByteArray("T"));
        } else {
            // Silence for as long as a sound would have taken to start, and then some.
            QTRY_VERIFY_WITH_TIMEOUT(m_pulse->recordedMs() > before + 800, 5000);
            QCOMPARE(m_pulse->firstSoundAfter(before), -1);
            QCOMPARE(played, QStringList());
        }
        // Any sound that still plays ends before the next row listens.
        const qint64 now = m_pulse->recordedMs();
        QTRY_VERIFY_WITH_TIMEOUT(m_pulse->recordedMs() > now + 300
                                     && m_pulse->firstSoundAfter(m_pulse->recordedMs() - 300) == -1,
                                 10000);
    }

private:
    std::unique_ptr<PrivatePulse> m_pulse;
};

QTEST_GUILESS_MAIN(EventSoundsTest)
#include "tst_eventsounds.moc"
