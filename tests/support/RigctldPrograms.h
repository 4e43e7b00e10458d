#pragma once

// The programs the qx50-rigctld suites start and stop by their PID: qx50-rigctld
// itself, Hamlib's rigctld, a second panel in a process of its own, and a client.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <memory>

namespace rigctld_test {

constexpr int kBound = 10000;

// A program the test starts and stops by its PID.
struct Program {
    QProcess process;
    explicit Program(const QString &path, const QStringList &args, const QString &cwd = {})
    {
        if (!cwd.isEmpty())
            process.setWorkingDirectory(cwd);
        process.start(path, args);
    }
    ~Program()
    {
        if (process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process.processId()), SIGCONT); // a stopped one included
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(5000);
        }
    }
    pid_t pid() const { return static_cast<pid_t>(process.processId()); }
    bool finished()
    {
        return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kBound);
    }
    int exitCode() { return finished() && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1; }
    // Waits until its standard error has said the text; everything it said so far.
    QString said(const QString &text)
    {
        (void)QTest::qWaitFor(
            [&] {
                m_stderr += QString::fromLocal8Bit(process.readAllStandardError());
                return m_stderr.contains(text);
            },
            kBound);
        return m_stderr;
    }
    // The most memory it has held so far, in KiB.
    qint64 peakKib() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }

private:
    QString m_stderr;
};

// Hamlib's dummy rig behind a real rigctld, answering once it takes connections.
// Ready once a client of the test's own has had an answer, and that client stays
// connected for as long as rigctld runs: Hamlib's rigctld closes the rig for a second
// after a client leaves abruptly, and a request meanwhile is answered RPRT -6, so a
// probe that came and went would race the test's next request.
struct HamlibRigctld : Program {
    quint16 port;
    std::unique_ptr<QTcpSocket> keeper;
    explicit HamlibRigctld(quint16 p)
        : Program(QStringLiteral("rigctld"), {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(p)})
        , port(p)
    {
    }
    bool ready()
    {
        return QTest::qWaitFor(
            [&] {
                if (!keeper || keeper->state() != QAbstractSocket::ConnectedState) {
                    keeper = std::make_unique<QTcpSocket>();
                    keeper->connectToHost(QHostAddress::LocalHost, port);
                    if (!keeper->waitForConnected(200))
                        return false;
                }
                keeper->write("f\n");
                QByteArray answer;
                while (!answer.endsWith('\n') && keeper->waitForReadyRead(1000))
                    answer += keeper->readAll();
                return answer.endsWith('\n') && !answer.startsWith("RPRT");
            },
            kBound);
    }
};

// qx50-rigctld on a free port it picks and prints; with a descriptor limit, started
// through the shell that sets it.
struct Front : Program {
    quint16 port = 0;
    explicit Front(QStringList args, int openFiles = 0)
        : Program(openFiles ? QStringLiteral("bash") : QStringLiteral(QX50_RIGCTLD),
                  openFiles ? QStringList {"-c", QStringLiteral("ulimit -n %1 && exec \"$0\" \"$@\"").arg(openFiles),
                                           QStringLiteral(QX50_RIGCTLD)}
                          + args + QStringList {"--listen", "127.0.0.1:0"}
                            : args + QStringList {"--listen", "127.0.0.1:0"})
    {
        QByteArray said;
        (void)QTest::qWaitFor(
            [&] {
                said += process.readAllStandardOutput();
                return said.contains('\n');
            },
            kBound);
        port = static_cast<quint16>(said.mid(said.lastIndexOf(':') + 1).trimmed().toUInt());
    }
};

struct Client {
    QTcpSocket socket;
    explicit Client(quint16 port) { socket.connectToHost(QHostAddress::LocalHost, port); }
    // Sends the bytes and waits for an answer that ends in a newline.
    QByteArray ask(const QByteArray &bytes) { return send(bytes).receive(); }
    Client &send(const QByteArray &bytes)
    {
        socket.write(bytes);
        return *this;
    }
    // Waits until what arrived ends in a newline (or the connection ends); all of it.
    QByteArray receive()
    {
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                got += socket.readAll();
                return got.endsWith('\n') || socket.state() == QAbstractSocket::UnconnectedState;
            },
            kBound);
        return got;
    }
    bool closed()
    {
        return QTest::qWaitFor(
            [&] {
                if (socket.state() == QAbstractSocket::UnconnectedState)
                    return true;
                socket.readAll();
                return false;
            },
            kBound);
    }
};

// A second panel, a process of its own with COM3 open on its own unit, answering on
// the bus under its own name once it has played the start-up's "P".
struct PanelProcess {
    PtyUnit unit;
    TemporaryWorkingDirectory cwd;
    QProcess process;
    bool up = false;

    PanelProcess()
    {
        FormFixture::writeSettingsFile("COM3:9600,N,8,1"); // it opens COM3 at start-up
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (int n = 1; n <= 4; ++n)
            env.insert(QStringLiteral("QX50_COM%1").arg(n),
                       n == 3 ? unit.devicePath() : QStringLiteral("/nonexistent/qx50-com%1").arg(n));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(cwd.path());
        process.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        const QString own = QStringLiteral("org.orma.Qx50VoiceMemory.pid%1").arg(process.processId());
        up = unit.received(1) == "P"
            && QTest::qWaitFor(
                 [&] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(own).value(); }, kBound);
    }
    ~PanelProcess()
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
    // Stops it where it stands: it answers nothing on the bus until the test ends.
    void freeze() { ::kill(static_cast<pid_t>(process.processId()), SIGSTOP); }
};

} // namespace rigctld_test
