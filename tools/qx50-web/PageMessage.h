#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// What a page asks for over its WebSocket, one JSON object per message:
//   {"t":"hb"}                                  the page is still there (every second)
//   {"t":"send","c":"T"}                        one command character
//   {"t":"repeat","m":"3","s":30,"n":10}        memory 3 every 30 s, 10 times
//   {"t":"stop"}                                Stop, ending a repeat if one runs
//   {"t":"sounds","on":true}                    the panel's event sounds on or off
struct PageRequest {
    enum class Kind { Heartbeat, Send, Repeat, Stop, Sounds };
    Kind kind = Kind::Heartbeat;
    QString command; // Send: one of M R P T S 0-9
    QString memory; // Repeat
    double seconds = 0;
    qint64 count = 0;
    bool on = false; // Sounds
};

// Nothing when the message is not one of these; the values of a repeat are the
// panel's to judge.
std::optional<PageRequest> readPageRequest(QByteArrayView message);
