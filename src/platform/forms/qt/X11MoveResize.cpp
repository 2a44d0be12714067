#include "platform/forms/qt/X11MoveResize.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace platform::forms::qt {

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The first 32-bit items of a root window property.
std::vector<std::uint32_t> RootProperty(xcb_connection_t* c, xcb_window_t root, xcb_atom_t name,
                                        xcb_atom_t type) {
    std::vector<std::uint32_t> values;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, name, type, 0, 1024), nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

// A running manager names its check window on the root window, and the
// request must be among those it says it supports (a manager that quit can
// leave _NET_SUPPORTED behind).
bool ManagerOffers(xcb_connection_t* c, xcb_window_t root, xcb_atom_t request) {
    const std::vector<std::uint32_t> check =
        RootProperty(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    if (check.empty() || check.front() == XCB_WINDOW_NONE) {
        return false;
    }
    xcb_get_geometry_reply_t* alive =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, check.front()), nullptr);
    std::free(alive);
    if (!alive) {
        return false;
    }
    for (std::uint32_t atom : RootProperty(c, root, Atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM)) {
        if (atom == request) {
            return true;
        }
    }
    return false;
}

// _NET_WM_MOVERESIZE directions.
std::uint32_t Direction(Qt::Edges edges) {
    constexpr std::uint32_t MoveDirection = 8;
    const bool left = edges & Qt::LeftEdge, right = edges & Qt::RightEdge;
    const bool top = edges & Qt::TopEdge, bottom = edges & Qt::BottomEdge;
    if (top) {
        return left ? 0 : right ? 2 : 1;
    }
    if (bottom) {
        return left ? 6 : right ? 4 : 5;
    }
    if (left) {
        return 7;
    }
    return right ? 3 : MoveDirection;
}

} // namespace

bool StartManagerMoveResize(QWindow* window, QPoint pressed, Qt::Edges edges) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!window || !x11 || !x11->connection() || !window->screen()) {
        return false;
    }
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) {
        return false;
    }
    const xcb_atom_t request = Atom(c, "_NET_WM_MOVERESIZE");
    if (request == XCB_ATOM_NONE || !ManagerOffers(c, screen->root, request)) {
        return false;
    }
    // The root window counts device pixels.
    const QScreen* on = window->screen();
    const qreal ratio = window->devicePixelRatio();
    const QPointF offset = QPointF(pressed - on->geometry().topLeft()) * ratio;
    const QPoint native = on->geometry().topLeft() + offset.toPoint();
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = request;
    event.data.data32[0] = static_cast<std::uint32_t>(native.x());
    event.data.data32[1] = static_cast<std::uint32_t>(native.y());
    event.data.data32[2] = Direction(edges);
    event.data.data32[3] = XCB_BUTTON_INDEX_1;
    event.data.data32[4] = 1; // from an application
    // The manager grabs the pointer itself; ours (the press's) must go first.
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    return true;
}

std::optional<QRect> X11WorkArea() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        return std::nullopt;
    }
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) {
        return std::nullopt;
    }
    const QRect root(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const std::vector<std::uint32_t> area =
        RootProperty(c, screen->root, Atom(c, "_NET_WORKAREA"), XCB_ATOM_CARDINAL);
    if (area.size() < 4) {
        return root;
    }
    return root & QRect(static_cast<int>(area[0]), static_cast<int>(area[1]),
                        static_cast<int>(area[2]), static_cast<int>(area[3]));
}

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace platform::forms::qt
