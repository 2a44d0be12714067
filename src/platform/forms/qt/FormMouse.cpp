// A form moved and sized by the mouse on its own frame: the presses, moves
// and releases that become non-client messages, and the move or size they
// start, by the window manager, the compositor, or ourselves on a bare X
// server.
#include "platform/forms/qt/FormWindow.h"

#include "platform/forms/qt/X11MoveResize.h"
#include "platform/frame.h"
#include "platform/window_host.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QWindow>
#include <algorithm>

namespace platform::forms::qt {

namespace {

// The edges a sizing border's hit code moves; none for any other code.
Qt::Edges EdgesFor(int hitCode) {
    const platform::UINT sides = platform::frame::SizingBorderAt(hitCode).sides;
    Qt::Edges edges;
    edges.setFlag(Qt::LeftEdge, (sides & platform::BF_LEFT) != 0);
    edges.setFlag(Qt::TopEdge, (sides & platform::BF_TOP) != 0);
    edges.setFlag(Qt::RightEdge, (sides & platform::BF_RIGHT) != 0);
    edges.setFlag(Qt::BottomEdge, (sides & platform::BF_BOTTOM) != 0);
    return edges;
}

} // namespace

void FormWindow::startMove() {
    if (pressPoint_) {
        // From a press: wait until the pointer moves with the button down.
        drag_ = Drag::PendingMove;
        dragStart_ = *pressPoint_;
        dragGeometry_ = geometry();
        return;
    }
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
        return;
    }
    // No window manager to move us (a bare X server): follow the mouse ourselves.
    drag_ = Drag::Move;
    dragStart_ = QCursor::pos();
    dragGeometry_ = geometry();
}

void FormWindow::startSize(int hitCode) {
    const Qt::Edges edges = EdgesFor(hitCode);
    if (!edges) {
        return;
    }
    dragEdge_ = hitCode;
    dragGeometry_ = geometry();
    if (pressPoint_) {
        drag_ = Drag::PendingSize;
        dragStart_ = *pressPoint_;
        return;
    }
    if (QWindow* window = windowHandle(); window && window->startSystemResize(edges)) {
        return;
    }
    drag_ = Drag::Size;
    dragStart_ = QCursor::pos();
}

void FormWindow::beginDrag(const QPoint& globalPos) {
    const bool moving = drag_ == Drag::PendingMove;
    const Qt::Edges edges = moving ? Qt::Edges() : EdgesFor(dragEdge_);
    QWindow* window = windowHandle();
    // An X11 window manager takes it from the press point, so the window
    // catches up with the pointer at once.
    if (StartManagerMoveResize(window, dragStart_, edges)) {
        drag_ = Drag::None;
        return;
    }
    // A Wayland compositor takes it from where the pointer is now.
    if (window && OnWayland() &&
        (moving ? window->startSystemMove() : window->startSystemResize(edges))) {
        drag_ = Drag::None;
        return;
    }
    // Nobody else (a bare X server): our own loop follows the mouse.
    drag_ = moving ? Drag::Move : Drag::Size;
    dragTo(globalPos);
}

platform::LPARAM FormWindow::screenPoint(const QMouseEvent* event) const {
    const QPoint p = event->globalPosition().toPoint();
    return platform::MAKELPARAM(p.x(), p.y());
}

void FormWindow::mousePressEvent(QMouseEvent* event) {
    const platform::LPARAM point = screenPoint(event);
    if (!isActiveWindow()) {
        platform::SendMessageA(hwnd_, platform::WM_MOUSEACTIVATE, 0,
                               platform::MAKELPARAM(platform::HTCAPTION, platform::WM_LBUTTONDOWN));
        activateWindow();
    }
    const auto hit = static_cast<platform::WPARAM>(
        platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point));
    if (event->button() == Qt::LeftButton) {
        pressPoint_ = event->globalPosition().toPoint();
        platform::SendMessageA(hwnd_, platform::WM_NCLBUTTONDOWN, hit, point);
        pressPoint_.reset();
    } else if (event->button() == Qt::RightButton) {
        platform::SendMessageA(hwnd_, platform::WM_NCRBUTTONDOWN, hit, point);
    }
}

void FormWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    drag_ = Drag::None; // the second press of a double-click moves nothing
    const platform::LPARAM point = screenPoint(event);
    const auto hit = static_cast<platform::WPARAM>(
        platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point));
    platform::SendMessageA(hwnd_, platform::WM_NCLBUTTONDBLCLK, hit, point);
}

void FormWindow::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == Drag::PendingMove || drag_ == Drag::PendingSize) {
        const QPoint p = event->globalPosition().toPoint();
        if (!(event->buttons() & Qt::LeftButton)) {
            drag_ = Drag::None; // the release went elsewhere
        } else if ((p - dragStart_).manhattanLength() >=
                   QGuiApplication::styleHints()->startDragDistance()) {
            beginDrag(p);
        }
        return;
    }
    if (drag_ == Drag::Move || drag_ == Drag::Size) {
        dragTo(event->globalPosition().toPoint());
        return;
    }
    if (event->buttons() != Qt::NoButton) {
        return;
    }
    const platform::LPARAM point = screenPoint(event);
    const platform::LRESULT hit = platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point);
    platform::SendMessageA(hwnd_, platform::WM_SETCURSOR, reinterpret_cast<platform::WPARAM>(hwnd_),
                           platform::MAKELPARAM(static_cast<int>(hit), platform::WM_MOUSEMOVE));
    setCursor(static_cast<Qt::CursorShape>(platform::CursorShape(platform::GetCursor())));
}

void FormWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == Drag::Move || drag_ == Drag::Size) {
        dragTo(event->globalPosition().toPoint());
        drag_ = Drag::None;
        return;
    }
    drag_ = Drag::None; // a press and release without motion: a click
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const platform::LPARAM point = screenPoint(event);
    const auto hit = static_cast<platform::WPARAM>(
        platform::SendMessageA(hwnd_, platform::WM_NCHITTEST, 0, point));
    platform::SendMessageA(hwnd_, platform::WM_NCLBUTTONUP, hit, point);
}

void FormWindow::dragTo(const QPoint& globalPos) {
    const QPoint delta = globalPos - dragStart_;
    if (drag_ == Drag::Move) {
        move(dragGeometry_.topLeft() + delta);
        return;
    }
    QRect g = dragGeometry_;
    const Qt::Edges edges = EdgesFor(dragEdge_);
    if (edges & Qt::LeftEdge) {
        g.setLeft(std::min(g.left() + delta.x(), g.right() - minimumWidth() + 1));
    }
    if (edges & Qt::RightEdge) {
        g.setRight(g.right() + delta.x());
    }
    if (edges & Qt::TopEdge) {
        g.setTop(std::min(g.top() + delta.y(), g.bottom() - minimumHeight() + 1));
    }
    if (edges & Qt::BottomEdge) {
        g.setBottom(g.bottom() + delta.y());
    }
    g.setWidth(std::max(g.width(), minimumWidth()));
    g.setHeight(std::max(g.height(), minimumHeight()));
    setGeometry(g);
}

} // namespace platform::forms::qt
