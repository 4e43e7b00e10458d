#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>

// A PulseAudio server of the test's own, on a runtime folder of its own, with one null
// sink whose monitor a parec records: what the desktop's event sounds would play,
// heard without speakers. Started and stopped by its own process id; every sound
// client of this process (libcanberra) reaches it through PULSE_SERVER. Should the
// test die, the recorder dies of its closed pipe and the server, left without
// clients, ends itself 5 s later.
class PrivatePulse {
public:
    // 8 kHz mono, 16-bit: plenty for telling a sound from silence.
    static constexpr int kRate = 8000;
    static constexpr int kBlockMs = 10;
    // Louder than any rounding noise of a silent sink by far, quieter than the theme's sounds.
    static constexpr int kFloor = 300;

    PrivatePulse()
    {
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=5"),
                        QStringLiteral("--use-pid-file=no"), QStringLiteral("--disable-shm=yes"),
                        QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                        QStringLiteral("module-null-sink sink_name=air rate=%1").arg(kRate), QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socket)});
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(socket) && waited.elapsed() < 10000 && m_server.state() != QProcess::NotRunning)
            QTest::qWait(20); // the server's socket is the sign it listens
        qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket);
        m_recorder.setProcessEnvironment(env);
        m_recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_recorder, &QProcess::readyReadStandardOutput, [this] { take(); });
        m_recorder.start(QStringLiteral("parec"),
                         {QStringLiteral("-d"),
                          QStringLiteral("air.monitor"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                          QStringLiteral("--rate=%1").arg(kRate), QStringLiteral("--channels=1"),
                          QStringLiteral("--latency-msec=%1").arg(kBlockMs)});
        m_recorder.waitForStarted(5000);
    }

    ~PrivatePulse()
    {
        m_recorder.kill();
        m_recorder.waitForFinished(2000);
        if (m_server.processId() > 0)
            ::kill(static_cast<pid_t>(m_server.processId()), SIGTERM);
        m_server.waitForFinished(5000);
        qunsetenv("PULSE_SERVER");
    }

    bool running() const
    {
        return m_server.state() == QProcess::Running && m_recorder.state() == QProcess::Running;
    }

    // Milliseconds of sound recorded so far, and when (ms of the recording) the first
    // block above the floor began after `fromMs`; -1 while none has.
    qint64 recordedMs() const { return m_samples.size() * 1000 / kRate; }
    qint64 firstSoundAfter(qint64 fromMs) const
    {
        const qsizetype block = kRate * kBlockMs / 1000;
        for (qsizetype at = fromMs * kRate / 1000; at + block <= m_samples.size(); at += block) {
            qint64 energy = 0;
            for (qsizetype i = at; i < at + block; ++i)
                energy += qint64(m_samples[i]) * m_samples[i];
            if (energy / block > qint64(kFloor) * kFloor)
                return at * 1000 / kRate;
        }
        return -1;
    }

private:
    void take()
    {
        m_pending += m_recorder.readAllStandardOutput();
        const qsizetype whole = m_pending.size() / 2 * 2;
        for (qsizetype i = 0; i < whole; i += 2)
            m_samples.push_back(qint16(quint8(m_pending[i]) | (quint8(m_pending[i + 1]) << 8)));
        m_pending.remove(0, whole);
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_recorder;
    QByteArray m_pending;
    QList<qint16> m_samples;
};
