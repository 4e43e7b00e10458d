#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// What one page's connection may send: a burst, refilled at a steady rate. Every byte
// that arrives counts, control frames included. Qt answers a ping by itself and reads
// whatever comes, so a client that sent pings and never read their answers would
// otherwise make this program hold ever more of them; a page sends a heartbeat a
// second and a tap now and then, far inside this.
class InboundBudget {
public:
    static constexpr qint64 kBurstBytes = 16 * 1024; // the socket's opening request among it
    static constexpr qint64 kBytesPerSecond = 4 * 1024;

    InboundBudget();
    // Counts bytes that arrived; false once more came than the budget allows.
    bool charge(qint64 bytes);

private:
    QElapsedTimer m_refilled;
    qint64 m_left = kBurstBytes;
};
