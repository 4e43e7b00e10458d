#pragma once

#include <QByteArray>

#include <chrono>

struct xcb_connection_t;

// Watches an X display for the moment a program's window appears: the server's
// MapNotify for a top-level window, seen from outside the program.
class MapWatch {
public:
    explicit MapWatch(const QByteArray &display);
    ~MapWatch();
    MapWatch(const MapWatch &) = delete;
    MapWatch &operator=(const MapWatch &) = delete;

    bool connected() const;
    // Drops what the display reported so far, such as the last program's windows going.
    void forget();
    // True when a top-level window was mapped within the limit.
    bool waitForMap(std::chrono::milliseconds limit);

private:
    xcb_connection_t *m_connection;
};
