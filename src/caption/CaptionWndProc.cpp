// The caption painter's message half: installing it on a window, and the
// window procedure that repaints the caption at every message after which
// the system would draw its own.
#include "caption/GradForm.h"

#include "platform/gdi.h"
#include "platform/window.h"

namespace tavro {

using namespace platform;

namespace {

constexpr const char* OldProcProperty = "OldMeProc";

WNDPROC PreviousProc(HWND window) {
    return reinterpret_cast<WNDPROC>(GetPropA(window, OldProcProperty));
}

LRESULT PassOn(WNDPROC previous, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(previous, window, msg, wParam, lParam);
}

// What one repaint made, to free within the same message.
struct Repaint {
    RECT window{};
    HBITMAP bitmap = nullptr;
    HGDIOBJ keptBitmap = nullptr;
};

void BeginRepaint(HWND window, Repaint& r) {
    GetWindowRect(window, &r.window);
    WindowDC = GetWindowDC(window);
    MemoryDC = CreateCompatibleDC(WindowDC);
    r.bitmap = CreateCompatibleBitmap(WindowDC, r.window.right - r.window.left,
                                      OffscreenCaptionHeight(window));
    r.keptBitmap = SelectObject(MemoryDC, r.bitmap);
    // The clip starts as the whole window, in window coordinates.
    ClipRegion = CreateRectRgn(r.window.left, r.window.top, r.window.right, r.window.bottom);
    SelectClipRgn(WindowDC, ClipRegion);
    OffsetClipRgn(WindowDC, -r.window.left, -r.window.top);
}

void RepaintCaption(bool active) {
    COLORREF colour1 = 0;
    COLORREF colour2 = 0;
    CaptionColours(active ? -1 : 0, colour1, colour2);
    PaintCaption(colour1, colour2);
}

// Frees the off-screen surface and reads back the window less its caption,
// in screen coordinates, into ClipRegion.
void EndRepaint(Repaint& r) {
    SelectObject(MemoryDC, r.keptBitmap);
    DeleteObject(r.bitmap);
    DeleteDC(MemoryDC);
    OffsetClipRgn(WindowDC, r.window.left, r.window.top);
    GetClipRgn(WindowDC, ClipRegion);
}

void ReleaseRepaint(HWND window) {
    ReleaseDC(window, WindowDC);
    DeleteObject(ClipRegion);
    WindowDC = nullptr;
}

bool IsMdiActive(HWND window) {
    int scratch = 0;
    const HWND parent = GetParent(window);
    return reinterpret_cast<HWND>(SendMessageA(parent, WM_MDIGETACTIVE, 0,
                                               reinterpret_cast<LPARAM>(&scratch))) == window;
}

bool GroupAActive(HWND window, UINT msg, WPARAM wParam) {
    const HWND parent = GetParent(window);
    if (parent && msg == WM_KILLFOCUS) {
        return false;
    }
    if (!parent && msg == WM_NCACTIVATE) {
        return wParam != 0;
    }
    if (parent && wParam == reinterpret_cast<WPARAM>(window)) {
        return false; // an MDI child being deactivated
    }
    return IsMdiActive(window) || GetActiveWindow() == window;
}

bool GroupBActive(HWND window) {
    return GetActiveWindow() == window || IsMdiActive(window);
}

// Messages after which the caption looks active or inactive: repaint and
// answer them here; they never reach the previous procedure.
LRESULT GroupA(HWND window, UINT msg, WPARAM wParam) {
    Repaint r;
    BeginRepaint(window, r);
    RepaintCaption(GroupAActive(window, msg, wParam));
    EndRepaint(r);
    ReleaseRepaint(window);
    return 1;
}

// Messages after which the system repaints the frame: the caption first,
// then the previous procedure paints the rest of the frame around it.
LRESULT GroupB(WNDPROC previous, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    Repaint r;
    BeginRepaint(window, r);
    RepaintCaption(GroupBActive(window));
    EndRepaint(r);
    const LRESULT result =
        CallWindowProcA(previous, window, WM_NCPAINT, reinterpret_cast<WPARAM>(ClipRegion), lParam);
    ReleaseRepaint(window);

    if ((msg == WM_NCLBUTTONDOWN && wParam != HTCAPTION && wParam != HTSYSMENU) ||
        (msg == WM_SYSCOMMAND && wParam != SC_MOUSEMENU)) {
        return PassOn(previous, window, msg, wParam, lParam);
    }
    if (msg == WM_NCLBUTTONDOWN && wParam == HTCAPTION && !IsZoomed(window)) {
        return SendMessageA(window, WM_SYSCOMMAND, SC_MOVE, 0);
    }
    return result;
}

const char* SizingCursor(int hit) {
    switch (hit) {
    case HTLEFT:
    case HTRIGHT:
        return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM:
        return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return IDC_SIZENWSE;
    default: // HTTOPRIGHT, HTBOTTOMLEFT
        return IDC_SIZENESW;
    }
}

} // namespace

int LoWordSigned(LPARAM value) {
    const int low = static_cast<int>(value & 0xFFFF);
    return low > 0x7FFF ? low - 0x10000 : low;
}

void SubclassWindow(HWND window) {
    ApplyCaptionStyleDefaults();
    const LONG_PTR previous =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CaptionWndProc));
    SetPropA(window, OldProcProperty, reinterpret_cast<HANDLE>(previous));
}

void UnsubclassWindow(HWND window) {
    const HANDLE previous = GetPropA(window, OldProcProperty);
    RemovePropA(window, OldProcProperty);
    if (previous != nullptr) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }
}

LRESULT CALLBACK CaptionWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    // True only while this procedure asks its own window for the small icon.
    static bool InIconFetch = false;

    CurrentWindow = window;
    const WNDPROC previous = PreviousProc(window);
    if (!InIconFetch) {
        InIconFetch = true;
        CaptionIcon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
        InIconFetch = false;
    }

    switch (msg) {
    case WM_SIZE: {
        int zero = 0;
        SendMessageA(window, WM_NCPAINT, 0, reinterpret_cast<LPARAM>(&zero));
        return PassOn(previous, window, msg, wParam, lParam);
    }
    case WM_KILLFOCUS:
    case WM_MOUSEACTIVATE:
    case WM_NCACTIVATE:
    case WM_MDIACTIVATE:
        return GroupA(window, msg, wParam);
    case WM_SETTEXT: {
        // The previous procedure keeps the text the caption is painted with.
        const LRESULT result = PassOn(previous, window, msg, wParam, lParam);
        GroupB(previous, window, msg, wParam, lParam);
        return result;
    }
    case WM_SETCURSOR: {
        const int hit = LoWordSigned(lParam);
        if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
            SetCursor(LoadCursorA(nullptr, SizingCursor(hit)));
            return 1;
        }
        return PassOn(previous, window, msg, wParam, lParam);
    }
    case WM_NCPAINT:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_SYSCOMMAND:
    case WM_INITMENUPOPUP:
        return GroupB(previous, window, msg, wParam, lParam);
    default:
        return PassOn(previous, window, msg, wParam, lParam);
    }
}

} // namespace tavro
