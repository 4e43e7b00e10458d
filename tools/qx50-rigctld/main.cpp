// qx50-rigctld: answers Hamlib's rigctld protocol for the panel, so a contest logger
// that plays a radio's voice keyer with "\send_voice_mem N" plays the unit instead.
#include "ClientGate.h"
#include "PanelLink.h"
#include "Printable.h"
#include "Session.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpServer>

#include <cstdio>
#include <cstring>

namespace {

struct Options {
    QHostAddress address {QHostAddress::LocalHost};
    quint16 port = 4532;
    bool allowRemote = false;
    Upstream upstream;
    int panelPort = 0;
    int maxClients = ClientGate::kDefaultMaxClients;
};

int usage(std::FILE *to, int exitCode)
{
    std::fprintf(to,
                 "usage: qx50-rigctld [--listen [ADDR:]PORT] [--allow-remote] [--upstream HOST:PORT] [--port N]\n"
                 "                    [--max-clients N]\n"
                 "Answers Hamlib's rigctld protocol: \\send_voice_mem N plays memory N on the unit\n"
                 "through the panel, \\stop_voice_mem stops it.\n"
                 "--listen [ADDR:]PORT  where to listen, by default 127.0.0.1:4532 (port 0: any free one)\n"
                 "--allow-remote        allow an address other than loopback (Hamlib has no authentication)\n"
                 "--upstream HOST:PORT  the rigctld that controls the radio: every other command goes there\n"
                 "--port N              the panel whose open port is COM N (1 to 4)\n"
                 "--max-clients N       clients at once, 1 to 1000 (64 by default); the rest are refused\n");
    return exitCode;
}

int refuse(const QString &why)
{
    std::fprintf(stderr, "qx50-rigctld: %s\n", why.toLocal8Bit().constData());
    return usage(stderr, 1);
}

// "HOST:PORT" or "[V6]:PORT"; with hostRequired false also a bare "PORT".
bool splitHostPort(const QString &text, bool hostRequired, QString *host, quint16 *port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0 && hostRequired)
        return false;
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535 || text.mid(colon + 1).startsWith(QLatin1Char('+')))
        return false;
    *port = static_cast<quint16>(number);
    *host = colon < 0 ? QString() : text.left(colon);
    if (host->startsWith(QLatin1Char('[')) && host->endsWith(QLatin1Char(']')))
        *host = host->mid(1, host->size() - 2);
    return colon < 0 || !host->isEmpty();
}

// Whether the upstream is this program's own listening address: every line passed
// on would come back to it, and around again.
bool upstreamIsItself(const Upstream &upstream, const QTcpServer &server)
{
    if (upstream.port != server.serverPort())
        return false;
    const QHostAddress listening = server.serverAddress();
    QList<QHostAddress> addresses;
    if (QHostAddress numeric; numeric.setAddress(upstream.host))
        addresses << numeric;
    else
        addresses = QHostInfo::fromName(upstream.host).addresses();
    const bool anyAddress
        = listening == QHostAddress::Any || listening == QHostAddress::AnyIPv4 || listening == QHostAddress::AnyIPv6;
    const QList<QHostAddress> local = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : std::as_const(addresses)) {
        if (address.isEqual(listening, QHostAddress::ConvertV4MappedToIPv4)
            || (anyAddress && (address.isLoopback() || local.contains(address))))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return usage(stdout, 0);
        if (arg == QLatin1String("--allow-remote")) {
            options.allowRemote = true;
        } else if (arg == QLatin1String("--listen") && hasValue) {
            QString host;
            if (!splitHostPort(args[++i], false, &host, &options.port))
                return refuse(QStringLiteral("--listen takes [ADDR:]PORT"));
            if (!host.isEmpty() && !options.address.setAddress(host))
                return refuse(QStringLiteral("--listen takes a numeric address, not %1").arg(host.left(60)));
        } else if (arg == QLatin1String("--upstream") && hasValue) {
            if (!splitHostPort(args[++i], true, &options.upstream.host, &options.upstream.port)
                || options.upstream.port == 0)
                return refuse(QStringLiteral("--upstream takes HOST:PORT"));
        } else if (arg == QLatin1String("--port") && hasValue) {
            const auto port = panel::comPortNumber(args[++i]);
            if (!port)
                return refuse(QStringLiteral("--port takes a COM port number 1 to 4"));
            options.panelPort = *port;
        } else if (arg == QLatin1String("--max-clients") && hasValue) {
            bool ok = false;
            options.maxClients = args[++i].toInt(&ok);
            if (!ok || options.maxClients < 1 || options.maxClients > 1000)
                return refuse(QStringLiteral("--max-clients takes a number from 1 to 1000"));
        } else {
            return refuse(QStringLiteral("unknown or incomplete option %1").arg(arg.left(40)));
        }
    }
    if (!options.address.isLoopback() && !options.allowRemote)
        return refuse(QStringLiteral("%1 is not a loopback address; Hamlib has no authentication, so anyone who "
                                     "reaches it can key the transmitter. Add --allow-remote to listen there anyway.")
                          .arg(options.address.toString()));

    PanelLink panel(panel::sessionBus(), options.panelPort);
    QTcpServer server;
    if (!server.listen(options.address, options.port)) {
        std::fprintf(stderr, "qx50-rigctld: cannot listen on %s:%u: %s\n", qPrintable(options.address.toString()),
                     options.port, qPrintable(server.errorString()));
        return 2;
    }
    if (options.upstream.present() && upstreamIsItself(options.upstream, server))
        return refuse(QStringLiteral("--upstream %1:%2 is this program's own address: name the rigctld that "
                                     "controls the radio")
                          .arg(printable(options.upstream.host.left(60)))
                          .arg(options.upstream.port));
    ClientGate gate(server, options.maxClients);
    QObject::connect(&gate, &ClientGate::arrived, &gate,
                     [&](QTcpSocket *client) { new Session(client, panel, options.upstream); });
    std::printf("qx50-rigctld: listening on %s:%u\n", qPrintable(server.serverAddress().toString()),
                server.serverPort());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
