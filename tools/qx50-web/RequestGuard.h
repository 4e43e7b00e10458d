#pragma once

#include "RequestHead.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHostAddress>

class Sessions;

// Decides, from its head alone, whether a request is let in and what it asks for.
// A request must name one of the addresses served (a page fetched through a name that
// was made to point here, DNS rebinding, is refused); a WebSocket, and anything but
// a plain read, must come from the page's own origin; everything but the token's
// exchange needs a live session's cookie; no request may carry a body. A refusal is
// an HTTP status, told with no detail.
class RequestGuard {
public:
    enum class Route { Page, TokenExchange, Socket };
    struct Verdict {
        int refusal = 0; // an HTTP status; 0 when the request is let in
        Route route = Route::Page;
    };

    static constexpr auto kCookie = "qx50web";
    static constexpr auto kSocketPath = "/ws";

    RequestGuard(QByteArrayList hosts, bool secure, QByteArray token, const Sessions &sessions);

    Verdict judge(const RequestHead &request) const;
    // Set once the listener knows its port.
    void setHosts(const QByteArrayList &hosts);
    bool secure() const { return m_secure; }

    // The Host values a browser sends for a server listening on address:port: the
    // address itself, and for loopback "localhost"; for any other address the
    // machine's own name too; for every address when listening on all of them.
    static QByteArrayList hostsFor(const QHostAddress &address, quint16 port, bool secure);
    // The session cookie's value in a Cookie field, empty when there is none.
    static QByteArray sessionCookie(const RequestHead &request);

private:
    QByteArrayList m_hosts; // lower case
    bool m_secure;
    QByteArray m_token;
    const Sessions &m_sessions;
};
