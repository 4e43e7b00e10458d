#include "NetworkAddress.h"

#include <QStringList>

#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>

namespace {

constexpr QStringView kRfc2217Scheme = u"rfc2217://";
constexpr QStringView kSocketScheme = u"socket://";

// pyserial's own tuning options: this program bounds its waits itself.
bool isPyserialOption(QStringView option)
{
    const QStringView name = option.left(option.indexOf(u'='));
    return name == u"logging" || name == u"ign_set_control" || name == u"poll_modem" || name == u"timeout";
}

// The address in its usual short form, or empty when the text is no IPv6 address.
// Read by the C library, so that naming a port needs no network library.
QString ipv6Address(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7f || (!std::isxdigit(c.unicode()) && c != u':' && c != u'.'))
            return {};
    in6_addr address {};
    if (::inet_pton(AF_INET6, text.toLatin1().constData(), &address) != 1)
        return {};
    char written[INET6_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET6, &address, written, sizeof written) ? QString::fromLatin1(written) : QString();
}

bool isHostCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_';
}

std::optional<NetworkAddress> refuse(QString *problem, const QString &why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}

} // namespace

bool NetworkAddress::isNetworkName(QStringView device)
{
    return device.contains(u"://");
}

std::optional<NetworkAddress> NetworkAddress::parse(QStringView device, QString *problem)
{
    NetworkAddress address;
    QStringView rest;
    if (device.startsWith(kRfc2217Scheme, Qt::CaseInsensitive)) {
        rest = device.mid(kRfc2217Scheme.size());
    } else if (device.startsWith(kSocketScheme, Qt::CaseInsensitive)) {
        address.kind = Kind::Socket;
        rest = device.mid(kSocketScheme.size());
    } else {
        return refuse(problem, QStringLiteral("a network port is written rfc2217://HOST:PORT or socket://HOST:PORT"));
    }

    if (const qsizetype query = rest.indexOf(u'?'); query >= 0) {
        for (QStringView option : rest.mid(query + 1).split(u'&', Qt::SkipEmptyParts))
            if (!isPyserialOption(option))
                return refuse(problem, QStringLiteral("the option \"%1\" is not known").arg(option));
        rest = rest.left(query);
    }
    if (rest.endsWith(u'/'))
        rest.chop(1);

    QStringView portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        const QString ip6 = close > 0 ? ipv6Address(rest.mid(1, close - 1)) : QString();
        if (ip6.isEmpty())
            return refuse(problem, QStringLiteral("the address in brackets is not an IPv6 address"));
        address.host = ip6;
        if (!rest.mid(close + 1).startsWith(u':'))
            return refuse(problem, QStringLiteral("the port number is missing (HOST:PORT)"));
        portText = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return refuse(problem, QStringLiteral("the port number is missing (HOST:PORT)"));
        const QStringView host = rest.left(colon);
        if (host.isEmpty())
            return refuse(problem, QStringLiteral("the host is missing (HOST:PORT)"));
        for (QChar c : host)
            if (!isHostCharacter(c))
                return refuse(problem, QStringLiteral("\"%1\" is not a host name").arg(host));
        address.host = host.toString();
        portText = rest.mid(colon + 1);
    }

    bool isNumber = !portText.isEmpty() && portText.size() <= 5;
    for (QChar c : portText)
        isNumber = isNumber && c >= u'0' && c <= u'9';
    const int port = isNumber ? portText.toInt() : 0;
    if (port < 1 || port > 65535)
        return refuse(problem, QStringLiteral("\"%1\" is not a port number (1 to 65535)").arg(portText));
    address.port = static_cast<quint16>(port);
    return address;
}
