#include "Ser2net.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <csignal>

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool listeningOnLoopback(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // "sl local_address rem_address st ...": 0100007F is 127.0.0.1, state 0A is LISTEN.
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

Ser2net::Ser2net(const QString &device, Accepter accepter, quint16 port)
    : m_accepter(accepter)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    m_port = port != 0 ? port : freeLoopbackPort();
    if (program.isEmpty() || m_port == 0)
        return;
    const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QString protocol
        = accepter == Accepter::Rfc2217 ? QStringLiteral("telnet(rfc2217),tcp") : QStringLiteral("tcp");
    file.write(QStringLiteral("connection: &qx50\n"
                              "  accepter: %1,127.0.0.1,%2\n"
                              "  connector: serialdev,%3,9600n81,local\n")
                   .arg(protocol)
                   .arg(m_port)
                   .arg(device)
                   .toUtf8());
    file.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program,
                    {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                     QStringLiteral("-P"), m_dir.filePath(QStringLiteral("ser2net.pid"))});
    m_listening = m_process.waitForStarted(5000)
        && QTest::qWaitFor([this] { return listeningOnLoopback(m_port) || m_process.state() != QProcess::Running; },
                           5000)
        && m_process.state() == QProcess::Running;
}

Ser2net::~Ser2net()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(5000))
        kill();
}

QString Ser2net::address() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_accepter == Accepter::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("socket"))
        .arg(m_port);
}

void Ser2net::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
    m_process.waitForFinished(5000);
}

QString Ser2net::output()
{
    return QString::fromLocal8Bit(m_process.readAll());
}
