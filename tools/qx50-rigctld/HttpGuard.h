#pragma once

#include <QByteArray>

namespace rigctl {

// Tells a web browser's request from a rigctld client. Any page the operator visits
// can make the browser POST plain text to a loopback port, and a line protocol would
// run the body's lines as commands. A browser always opens with an HTTP request line
// ("POST /path HTTP/1.1") and sends a Host header and, for a cross-origin request, an
// Origin one; no rigctld command looks like either. The guard sees every byte as it
// arrives, before any line of it is taken, and keeps only a few bytes of each line.
class HttpGuard {
public:
    // Reads the bytes; true once any line so far is an HTTP request line or a Host or
    // Origin header. A line still open is judged as far as it goes.
    bool feed(const QByteArray &bytes);
    bool tripped() const { return m_tripped; }

private:
    void endLine();
    bool headerSoFar() const;

    static constexpr qsizetype kHead = 16; // "Origin:" and a method fit
    static constexpr qsizetype kTail = 10; // " HTTP/1.1\r"
    QByteArray m_head;
    QByteArray m_tail;
    bool m_tripped = false;
};

} // namespace rigctl
