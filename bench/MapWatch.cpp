#include "MapWatch.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>

MapWatch::MapWatch(const QByteArray &display)
    : m_connection(xcb_connect(display.constData(), nullptr))
{
    if (!connected())
        return;
    // Windows a program maps without a window manager are children of the root.
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_request_check(m_connection, xcb_change_window_attributes_checked(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask));
}

MapWatch::~MapWatch()
{
    xcb_disconnect(m_connection);
}

bool MapWatch::connected() const
{
    return xcb_connection_has_error(m_connection) == 0;
}

void MapWatch::forget()
{
    xcb_flush(m_connection);
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        std::free(event);
}

bool MapWatch::waitForMap(std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    while (connected()) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const bool mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY
                && !reinterpret_cast<xcb_map_notify_event_t *>(event)->override_redirect;
            std::free(event);
            if (mapped)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd {xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left.count()));
    }
    return false;
}
