#include "WebOptions.h"

#include "contract/ComPorts.h"

const char *const kWebUsage
    = "Usage: qx50-web [--port N] [--listen ADDR:PORT] [--allow-remote] [--tls CERT KEY] [--new-token]\n"
      "Serves the panel's page to a phone or another browser; the page's address, with\n"
      "its token, is printed at start and, on a network address, drawn as a QR code.\n"
      "  --port N          drive the panel whose open port is COM N\n"
      "  --listen ADDR:PORT  the address to serve on (default 127.0.0.1:8650; port 0 picks one)\n"
      "  --allow-remote    allow an address other than loopback\n"
      "  --tls CERT KEY    serve over HTTPS with this PEM certificate and key\n"
      "  --new-token       replace the kept token, so the old address stops working\n"
      "  --help            show this text\n";

namespace {
// "127.0.0.1:8650", "[::1]:8650", "0.0.0.0:0".
bool parseListen(const QString &text, QHostAddress &address, quint16 &port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535 || !address.setAddress(host))
        return false;
    port = static_cast<quint16>(number);
    return true;
}
} // namespace

QString parseWebOptions(const QStringList &arguments, WebOptions &options)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        const auto value = [&](int count) { return i + count < arguments.size(); };
        if (option == QLatin1String("--help")) {
            options.help = true;
        } else if (option == QLatin1String("--allow-remote")) {
            options.allowRemote = true;
        } else if (option == QLatin1String("--new-token")) {
            options.newToken = true;
        } else if (option == QLatin1String("--port")) {
            if (!value(1))
                return QStringLiteral("--port needs a number");
            bool ok = false;
            options.panelPort = arguments[++i].toInt(&ok);
            if (!ok || options.panelPort < kFirstComPort || options.panelPort > kLastComPort)
                return QStringLiteral("--port takes %1 to %2").arg(kFirstComPort).arg(kLastComPort);
        } else if (option == QLatin1String("--listen")) {
            if (!value(1) || !parseListen(arguments[i + 1], options.address, options.port))
                return QStringLiteral("--listen takes ADDRESS:PORT, for example 127.0.0.1:8650");
            ++i;
        } else if (option == QLatin1String("--tls")) {
            if (!value(2))
                return QStringLiteral("--tls needs a certificate file and a key file");
            options.certificate = arguments[++i];
            options.key = arguments[++i];
        } else {
            return QStringLiteral("unknown option %1").arg(option);
        }
    }
    if (!options.address.isLoopback() && !options.allowRemote)
        return QStringLiteral("%1 is not a loopback address: add --allow-remote to serve the network")
            .arg(options.address.toString());
    return {};
}
