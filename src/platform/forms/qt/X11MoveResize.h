// The X11 window manager's move and size (_NET_WM_MOVERESIZE), asked for as a
// drag that started where the mouse button went down: the manager keeps that
// spot under the pointer, so a move or size that starts only once the pointer
// has travelled the drag distance loses none of that distance. And the
// screen's work area as X11 counts it, in device pixels.
#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>
#include <optional>

class QWindow;

namespace platform::forms::qt {

// `pressed` is the press point in Qt's global (logical) coordinates; no edges
// means a move. True when a window manager that offers the request runs and
// the request was sent; false off X11 or on a bare X server.
bool StartManagerMoveResize(QWindow* window, QPoint pressed, Qt::Edges edges);

// Whether the application runs on a Wayland compositor, which alone moves,
// sizes and places windows there.
bool OnWayland();

// The root window less what the window manager keeps for itself
// (_NET_WORKAREA), in device pixels; nothing off X11.
std::optional<QRect> X11WorkArea();

} // namespace platform::forms::qt
