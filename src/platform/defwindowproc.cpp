// The default window procedure: what a window does with a message that its
// own procedures pass on. It paints the standard frame, answers hit tests,
// turns presses on the frame into system commands and carries those out.
#include "platform/frame.h"
#include "platform/frame_painter.h"
#include "platform/window_host.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

bool IsActive(HWND hwnd) {
    return GetActiveWindow() == hwnd;
}

POINT PointFrom(LPARAM lParam) {
    return POINT{static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                 static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
}

frame::Layout LayoutOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return frame::ComputeLayout(r.right - r.left, r.bottom - r.top,
                                GetWindowLongPtrA(hwnd, GWL_STYLE), HasMenuRecord(hwnd),
                                WindowSmallIconRecord(hwnd) != nullptr);
}

LRESULT HitTest(HWND hwnd, LPARAM lParam) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const POINT p = PointFrom(lParam);
    return frame::HitTest(LayoutOf(hwnd), GetWindowLongPtrA(hwnd, GWL_STYLE), p.x - r.left,
                          p.y - r.top);
}

LRESULT SetText(HWND hwnd, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    SetWindowTextRecord(hwnd, text ? text : "");
    if (WindowHost* host = WindowHostOf(hwnd)) {
        host->textChanged();
    }
    frame::PaintStandardFrame(hwnd, 1, IsActive(hwnd));
    return TRUE;
}

LRESULT GetText(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    char* buffer = reinterpret_cast<char*>(lParam);
    const auto size = static_cast<std::size_t>(wParam);
    if (!buffer || size == 0) {
        return 0;
    }
    const std::string& text = WindowTextRecord(hwnd);
    const std::size_t count = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<LRESULT>(count);
}

bool IsCaptionButton(int hit) {
    return hit == HTCLOSE || hit == HTMAXBUTTON || hit == HTMINBUTTON;
}

LRESULT ButtonDown(HWND hwnd, WPARAM hit, LPARAM lParam) {
    const int code = static_cast<int>(hit);
    if (code == HTCAPTION) {
        return SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
    }
    if (code >= HTLEFT && code <= HTBOTTOMRIGHT) {
        return SendMessageA(hwnd, WM_SYSCOMMAND, SC_SIZE + static_cast<WPARAM>(code - HTLEFT + 1),
                            lParam);
    }
    if (IsCaptionButton(code)) {
        // The button acts on release over it; until then it shows pressed.
        SetPressedButtonRecord(hwnd, code);
        frame::PaintCaptionButtons(hwnd);
        return 0;
    }
    if (code == HTMENU) {
        RECT r{};
        GetWindowRect(hwnd, &r);
        const POINT p = PointFrom(lParam);
        const int item =
            frame::MenuItemAt(LayoutOf(hwnd), static_cast<int>(MenuItemsRecord(hwnd).size()),
                              p.x - r.left, p.y - r.top);
        if (item >= 0) {
            if (WindowHost* host = WindowHostOf(hwnd)) {
                host->menuCommand(item);
            }
        }
    }
    return 0;
}

LRESULT ButtonUp(HWND hwnd, WPARAM hit, LPARAM lParam) {
    const int pressed = PressedButtonRecord(hwnd);
    if (pressed == 0) {
        return 0;
    }
    SetPressedButtonRecord(hwnd, 0);
    frame::PaintCaptionButtons(hwnd);
    if (pressed != static_cast<int>(hit)) {
        return 0; // released elsewhere: no command
    }
    switch (pressed) {
    case HTCLOSE:
        return SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
    case HTMAXBUTTON:
        return SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
    case HTMINBUTTON:
        return SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, lParam);
    default:
        return 0;
    }
}

LRESULT SysCommand(HWND hwnd, WPARAM wParam) {
    WindowHost* host = WindowHostOf(hwnd);
    switch (wParam & 0xFFF0) {
    case SC_MOVE:
        if (host) {
            host->startMove();
        }
        return 0;
    case SC_SIZE:
        if (host && (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_THICKFRAME)) {
            host->startSize(static_cast<int>(wParam & 0x0F) + HTLEFT - 1);
        }
        return 0;
    case SC_CLOSE:
        return SendMessageA(hwnd, WM_CLOSE, 0, 0);
    case SC_MINIMIZE:
        if (host) {
            host->showState(SW_SHOWMINIMIZED);
        }
        return 0;
    case SC_MAXIMIZE:
        if (host && (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_MAXIMIZEBOX)) {
            host->showState(SW_SHOWMAXIMIZED);
        }
        return 0;
    case SC_RESTORE:
        if (host) {
            host->showState(SW_SHOWNORMAL);
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd)) {
        return 0;
    }
    switch (msg) {
    case WM_SETTEXT:
        return SetText(hwnd, lParam);
    case WM_GETTEXT:
        return GetText(hwnd, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(WindowTextRecord(hwnd).size());
    case WM_GETICON:
        return wParam == ICON_SMALL ? reinterpret_cast<LRESULT>(WindowSmallIconRecord(hwnd)) : 0;
    // A hidden window has no frame on screen to paint.
    case WM_NCPAINT:
        if (IsWindowVisible(hwnd)) {
            frame::PaintStandardFrame(hwnd, wParam, IsActive(hwnd));
        }
        return 0;
    case WM_NCACTIVATE:
        if (IsWindowVisible(hwnd)) {
            frame::PaintStandardFrame(hwnd, 1, wParam != 0);
        }
        return TRUE;
    case WM_NCHITTEST:
        return HitTest(hwnd, lParam);
    case WM_NCLBUTTONDOWN:
        return ButtonDown(hwnd, wParam, lParam);
    case WM_NCLBUTTONUP:
        return ButtonUp(hwnd, wParam, lParam);
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_MAXIMIZEBOX)) {
            return SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE,
                                lParam);
        }
        return 0;
    case WM_SYSCOMMAND:
        return SysCommand(hwnd, wParam);
    case WM_CLOSE:
        if (WindowHost* host = WindowHostOf(hwnd)) {
            host->closeRequested();
        }
        return 0;
    case WM_SETCURSOR: {
        const int hit = static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(lParam)));
        SetCursor(LoadCursorA(nullptr, frame::SizingBorderAt(hit).cursor));
        return TRUE;
    }
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_MDIGETACTIVE:
        return 0;
    default:
        return 0;
    }
}

} // namespace platform
