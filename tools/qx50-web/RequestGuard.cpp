#include "RequestGuard.h"

#include "Secrets.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace {
constexpr int kBadRequest = 400;
constexpr int kForbidden = 403;
constexpr int kNotFound = 404;
constexpr int kMethodNotAllowed = 405;
constexpr int kContentTooLarge = 413;

QByteArray hostForm(const QHostAddress &address)
{
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return '[' + address.toString().toLatin1().toLower() + ']';
    return address.toString().toLatin1();
}
} // namespace

RequestGuard::RequestGuard(QByteArrayList hosts, bool secure, QByteArray token)
    : m_secure(secure)
    , m_token(std::move(token))
{
    setHosts(hosts);
}

void RequestGuard::setHosts(const QByteArrayList &hosts)
{
    m_hosts.clear();
    for (const QByteArray &host : hosts)
        m_hosts.append(host.toLower());
}

QByteArrayList RequestGuard::hostsFor(const QHostAddress &address, quint16 port, bool secure)
{
    QList<QByteArray> names;
    const bool everywhere
        = address == QHostAddress::Any || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6;
    if (everywhere) {
        for (const QHostAddress &own : QNetworkInterface::allAddresses())
            names.append(hostForm(QHostAddress(own.toString().section(QLatin1Char('%'), 0, 0))));
    } else {
        names.append(hostForm(address));
    }
    if (everywhere || address.isLoopback())
        names.append("localhost");
    if (!address.isLoopback()) {
        const QByteArray machine = QHostInfo::localHostName().toLatin1().toLower();
        if (!machine.isEmpty())
            names << machine << machine + ".local";
    }
    QByteArrayList hosts;
    const bool defaultPort = port == (secure ? 443 : 80);
    for (const QByteArray &name : names) {
        for (QByteArray host : {name + ':' + QByteArray::number(port), defaultPort ? name : QByteArray()})
            if (!host.isEmpty() && !hosts.contains(host))
                hosts.append(host);
    }
    return hosts;
}

bool RequestGuard::presentsToken(const RequestHead &request) const
{
    bool presented = false;
    for (const auto &[name, value] : request.fields) {
        if (name != "sec-websocket-protocol")
            continue;
        for (const QByteArray &offered : value.split(','))
            presented = sameSecret(offered.trimmed(), m_token) || presented;
    }
    return presented;
}

RequestGuard::Verdict RequestGuard::judge(const RequestHead &request) const
{
    if (request.fieldCount("host") != 1 || request.fieldCount("origin") > 1)
        return {kBadRequest};
    const QByteArray host = request.field("host").toLower();
    if (!m_hosts.contains(host))
        return {kForbidden};

    const bool plainRead = request.method == "GET" && !request.asksForWebSocket();
    const QByteArray origin = request.field("origin").toLower();
    const QByteArray ownOrigin = (m_secure ? "https://" : "http://") + host;
    if (origin != ownOrigin && (!plainRead || !origin.isEmpty()))
        return {kForbidden};

    // Nothing the page asks for carries a body, so none is ever read.
    const QByteArray length = request.field("content-length");
    if ((!length.isEmpty() && length != "0") || request.fieldCount("transfer-encoding") > 0)
        return {kContentTooLarge};

    const qsizetype mark = request.target.indexOf('?');
    const QByteArray path = mark < 0 ? request.target : request.target.left(mark);
    const QByteArray query = mark < 0 ? QByteArray() : request.target.mid(mark + 1);
    if (path == kSocketPath && request.asksForWebSocket()) {
        if (!presentsToken(request))
            return {kForbidden};
        return {request.method == "GET" ? 0 : kMethodNotAllowed, Route::Socket};
    }
    if (path == "/" && query.isEmpty())
        return {plainRead ? 0 : kMethodNotAllowed, Route::Page};
    return {kNotFound};
}
