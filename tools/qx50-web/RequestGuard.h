#pragma once

#include "RequestHead.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHostAddress>

// Decides, from its head alone, whether a request is let in and what it asks for.
// A request must name one of the addresses served (a page fetched through a name that
// was made to point here, DNS rebinding, is refused); a WebSocket, and anything but
// a plain read, must come from the page's own origin; no request may carry a body.
// The page holds no secret and is served to any such request. The WebSocket, which
// reaches the transmitter, must present the token among its subprotocols: the page
// keeps it in its own origin's storage, which a server on another port of the host
// never sees, as it would a cookie. A refusal is an HTTP status, told with no detail.
class RequestGuard {
public:
    enum class Route { Page, Socket };
    struct Verdict {
        int refusal = 0; // an HTTP status; 0 when the request is let in
        Route route = Route::Page;
    };

    static constexpr auto kSocketPath = "/ws";
    // The subprotocol the page asks for and the server answers with; the token goes
    // beside it in the same field.
    static constexpr auto kSocketProtocol = "qx50web";

    RequestGuard(QByteArrayList hosts, bool secure, QByteArray token);

    Verdict judge(const RequestHead &request) const;
    // Set once the listener knows its port.
    void setHosts(const QByteArrayList &hosts);
    bool secure() const { return m_secure; }

    // The Host values a browser sends for a server listening on address:port: the
    // address itself, and for loopback "localhost"; for any other address the
    // machine's own name too; for every address when listening on all of them.
    static QByteArrayList hostsFor(const QHostAddress &address, quint16 port, bool secure);
    // Whether the request's Sec-WebSocket-Protocol values include the token; every
    // value is compared in full, so the time taken tells nothing of the token.
    bool presentsToken(const RequestHead &request) const;

private:
    QByteArrayList m_hosts; // lower case
    bool m_secure;
    QByteArray m_token;
};
