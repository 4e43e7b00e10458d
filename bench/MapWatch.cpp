#include "MapWatch.h"

#include <xcb/xcb.h>
#ifdef QX50_XCB_DAMAGE
#include <xcb/damage.h>
#endif

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
    xcb_request_check(m_connection,
                      xcb_change_window_attributes_checked(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask));
#ifdef QX50_XCB_DAMAGE
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_connection, &xcb_damage_id);
    if (damage && damage->present) {
        std::free(xcb_damage_query_version_reply(m_connection, xcb_damage_query_version(m_connection, 1, 1), nullptr));
        m_damageEvent = damage->first_event;
    }
#endif
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

// Each new top-level window is given a damage object as soon as the server announces
// it, well before the program can map it and draw.
MapWatch::Appearance MapWatch::waitForWindow(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    Appearance seen;
    xcb_window_t window = XCB_NONE;
    while (connected()) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const auto now = Clock::now();
            const quint8 type = event->response_type & 0x7F;
#ifdef QX50_XCB_DAMAGE
            if (type == XCB_CREATE_NOTIFY && m_damageEvent) {
                const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
                if (!created->override_redirect) {
                    xcb_damage_create(m_connection, xcb_generate_id(m_connection), created->window,
                                      XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                    xcb_flush(m_connection);
                }
            }
#endif
            if (type == XCB_MAP_NOTIFY && !seen.mapped) {
                const auto *mapped = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (!mapped->override_redirect) {
                    seen.mapped = now;
                    window = mapped->window;
                }
            }
#ifdef QX50_XCB_DAMAGE
            else if (m_damageEvent && type == m_damageEvent + XCB_DAMAGE_NOTIFY && seen.mapped && !seen.painted) {
                if (reinterpret_cast<xcb_damage_notify_event_t *>(event)->drawable == window)
                    seen.painted = now;
            }
#endif
            std::free(event);
            if (seen.mapped && (seen.painted || !m_damageEvent))
                return seen;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return seen;
        pollfd pfd {xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left.count()));
    }
    (void)window;
    return seen;
}
