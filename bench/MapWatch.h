#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

struct xcb_connection_t;

// Watches an X display for the moments a program's window appears, seen from outside
// the program: the server's MapNotify for a top-level window, and the first drawing
// into it after that, as the DAMAGE extension reports it.
class MapWatch {
public:
    using Clock = std::chrono::steady_clock;
    struct Appearance {
        std::optional<Clock::time_point> mapped;
        std::optional<Clock::time_point> painted;
    };

    explicit MapWatch(const QByteArray &display);
    ~MapWatch();
    MapWatch(const MapWatch &) = delete;
    MapWatch &operator=(const MapWatch &) = delete;

    bool connected() const;
    // Whether first paints can be seen (the server has DAMAGE).
    bool seesPaint() const { return m_damageEvent != 0; }
    // Drops what the display reported so far, such as the last program's windows going.
    void forget();
    // Waits, within the limit, for a top-level window to be mapped and then drawn in.
    Appearance waitForWindow(std::chrono::milliseconds limit);

private:
    xcb_connection_t *m_connection;
    quint8 m_damageEvent = 0;
};
