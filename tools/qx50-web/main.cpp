// qx50-web: the panel on a phone. One page, served on the station's own network,
// drives the running panel over the session bus; a token the page shows only on its
// WebSocket, Host and Origin checks, and a dead man's switch keep it safe.
#include "FrontDoor.h"
#include "PageHub.h"
#include "PanelClient.h"
#include "PhoneReach.h"
#include "RequestGuard.h"
#include "TerminalQr.h"
#include "TokenStore.h"
#include "WebOptions.h"
#include "WebServer.h"
#include "client/EndingSignals.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>

#include <cstdio>
#include <unistd.h>

namespace {

int fail(int exitCode, const QString &why)
{
    std::fprintf(stderr, "qx50-web: %s\n", why.toLocal8Bit().constData());
    return exitCode;
}

// The certificate and key for --tls, or the reason they cannot be used.
std::optional<QSslConfiguration> tlsFrom(const WebOptions &options, QString *why)
{
    QFile certificateFile(options.certificate);
    QFile keyFile(options.key);
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read the certificate or the key");
        return std::nullopt;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateFile.readAll(), QSsl::Pem);
    const QByteArray keyText = keyFile.readAll();
    QSslKey key(keyText, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyText, QSsl::Ec, QSsl::Pem);
    if (chain.isEmpty() || key.isNull()) {
        *why = QStringLiteral("the certificate or the key is not PEM");
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

// The host part of the printed address. Serving every address, the first of the
// machine's own that another machine can reach stands for them all.
QHostAddress printedHost(const QHostAddress &address)
{
    if (address != QHostAddress::Any && address != QHostAddress::AnyIPv4 && address != QHostAddress::AnyIPv6)
        return address;
    const QList<QHostAddress> own = phone_reach::ownAddresses();
    return own.isEmpty() ? QHostAddress(QHostAddress::LocalHost) : own.first();
}

QByteArray hostForm(const QHostAddress &address)
{
    const QByteArray text = address.toString().toLatin1();
    return address.protocol() == QAbstractSocket::IPv6Protocol ? '[' + text + ']' : text;
}

} // namespace

// Serves the page until a stopping signal; the exit code.
int serve(QCoreApplication &app, const WebOptions &options, const QByteArray &token,
          const std::optional<QSslConfiguration> &tls)
{
    QString why;
    const std::unique_ptr<PanelClient> panelClient = PanelClient::find(options.panelPort, &why);
    if (!panelClient)
        return fail(2, why);
    RequestGuard guard({}, tls.has_value(), token);
    PageHub pages(*panelClient);
    auto *door = new FrontDoor(guard, pages, tls, &app);
    if (!door->listen(options.address, options.port))
        return fail(1,
                    QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(options.address.toString())
                        .arg(options.port)
                        .arg(door->errorString()));
    guard.setHosts(RequestGuard::hostsFor(options.address, door->serverPort(), tls.has_value()));
    WebServer server(guard);
    server.bind(door); // the server takes the listener as its child

    const QHostAddress host = printedHost(options.address);
    const QByteArray address = (tls ? "https://" : "http://") + hostForm(host) + ':'
        + QByteArray::number(door->serverPort()) + '/';
    if (!tls && !options.address.isLoopback())
        std::fprintf(stderr,
                     "qx50-web: warning: without --tls the token travels in clear "
                     "on this network; anyone on it who reads them can transmit\n");
    // The token goes to a terminal only, never to a log a service's output lands in.
    if (::isatty(STDOUT_FILENO)) {
        // In the fragment, which no request carries: the page reads it and keeps it.
        const QByteArray withToken = address + "#t=" + token;
        // A QR code only for an address a phone can reach.
        if (host.isLoopback())
            std::printf("qx50-web: open %s\n", withToken.constData());
        else
            std::printf("qx50-web: open %s on the phone, or scan:\n%s", withToken.constData(),
                        terminalQr(QString::fromLatin1(withToken)).constData());
    } else {
        std::printf("qx50-web: serving %s (add #t= and the token in %s)\n", address.constData(),
                    qPrintable(token_store::path()));
    }
    if (host.isLoopback())
        std::fputs(phone_reach::howToServeAPhone(door->serverPort()).constData(), stdout);
    std::fflush(stdout);

    // Stopped by a service manager, Ctrl+C or a closed terminal: a transmission a page
    // started is stopped before going.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::ending, &app, [&pages] {
        pages.end();
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    WebOptions options;
    if (const QString wrong = parseWebOptions(app.arguments().mid(1), options); !wrong.isEmpty()) {
        std::fputs(kWebUsage, stderr);
        return fail(1, wrong);
    }
    if (options.help) {
        std::fputs(kWebUsage, stdout);
        return 0;
    }

    QString why;
    // Qt's HTTP server makes a TLS configuration even for plain HTTP; without --tls
    // the backend that only reads certificates does, and OpenSSL stays unloaded.
    // Its notes that this backend makes no keys concern TLS, which is then not served.
    if (options.certificate.isEmpty()) {
        QSslSocket::setActiveBackend(QStringLiteral("cert-only"));
        QLoggingCategory::setFilterRules(QStringLiteral("qt.network.ssl.warning=false"));
    }
    std::optional<QSslConfiguration> tls;
    if (!options.certificate.isEmpty() && !(tls = tlsFrom(options, &why)))
        return fail(1, why);
    const QByteArray token = token_store::obtain(options.newToken, &why);
    if (token.isEmpty())
        return fail(1, why);

    const int code = serve(app, options, token, tls);
    // Sockets handed on to Qt are deleted later; once the loop has ended, now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}
