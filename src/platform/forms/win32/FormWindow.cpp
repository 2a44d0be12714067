#include "platform/forms/win32/FormWindow.h"

#include "platform/forms/win32/ControlWindows.h"
#include "platform/system/win32/wide_names.h"

#include <algorithm>

namespace platform::forms {

namespace {

constexpr const wchar_t* FormClassName = L"TavroForm";
// Posted by Unload(): the form is destroyed from the message loop.
constexpr UINT DestroyFormMessage = WM_APP + 1;

HWND mainWindow = nullptr;

const wchar_t* FormClass() {
    static const wchar_t* name = [] {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.style = CS_DBLCLKS;
        cls.lpfnWndProc = FormWndProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        cls.hIcon = LoadIconW(cls.hInstance, MAKEINTRESOURCEW(1));
        cls.lpszClassName = FormClassName;
        RegisterClassExW(&cls);
        return FormClassName;
    }();
    return name;
}

DWORD StyleFor(const Form::Design& d) {
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    // The caption painter reads the dialog frame bit to pick the frame's width.
    style |= d.border == BorderStyle::Sizable ? WS_THICKFRAME : DS_MODALFRAME;
    if (d.minButton) {
        style |= WS_MINIMIZEBOX;
    }
    if (d.maxButton) {
        style |= WS_MAXIMIZEBOX;
    }
    return style;
}

SIZE WindowSizeFor(HWND hwnd, DWORD style, bool hasMenu, int clientWidth, int clientHeight,
                   UINT dpi) {
    RECT r{0, 0, win32::TwipsToPixelsAt(clientWidth, dpi),
           win32::TwipsToPixelsAt(clientHeight, dpi)};
    AdjustWindowRectExForDpi(&r, style, hasMenu, hwnd ? GetWindowLongW(hwnd, GWL_EXSTYLE) : 0, dpi);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Where a window of `size` is centred on the primary screen; a window
// larger than the screen keeps its top-left corner, and with it the caption
// and its left end, on the screen. False when the system cannot tell.
bool CentredPlace(SIZE size, POINT& place) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        return false;
    }
    const RECT area = monitor.rcWork;
    place.x = std::max((area.left + area.right - size.cx) / 2, area.left);
    place.y = std::max((area.top + area.bottom - size.cy) / 2, area.top);
    return true;
}

// Focus goes back to where it was when the window was last active, or to its
// first tab stop.
void RestoreFocus(HWND hwnd) {
    win32::WindowState& s = win32::StateOf(hwnd);
    HWND target = s.lastFocus && IsWindow(s.lastFocus) && IsChild(hwnd, s.lastFocus)
                      ? s.lastFocus
                      : GetNextDlgTabItem(hwnd, nullptr, FALSE);
    if (target) {
        SetFocus(target);
    }
}

} // namespace

void FormEvents::Create(Form& form, const Form::Design& design) {
    Form::Window& w = *form.window_;
    w.position = design.position;
    const DWORD style = StyleFor(design);
    if (design.hasMenu) {
        w.menu = CreateMenu();
    }
    const SIZE size = WindowSizeFor(nullptr, style, design.hasMenu, design.clientWidth,
                                    design.clientHeight, GetDpiForSystem());
    HWND owner = design.owner ? design.owner->hWnd() : nullptr;
    // A centred window is made where it will show, so that showing it does
    // not move it first.
    POINT place{CW_USEDEFAULT, CW_USEDEFAULT};
    if (design.position == StartUpPosition::CenterScreen && !CentredPlace(size, place)) {
        place = POINT{CW_USEDEFAULT, CW_USEDEFAULT};
    }
    w.hwnd =
        CreateWindowExW(0, FormClass(), WideName(design.caption).c_str(), style, place.x, place.y,
                        size.cx, size.cy, owner, w.menu, GetModuleHandleW(nullptr), &form);
    form.hwnd_ = w.hwnd;
    if (!w.hwnd) {
        return;
    }
    win32::StateOf(w.hwnd).kind = win32::Kind::Form;
    // The window may have come up on a screen of another resolution.
    const UINT dpi = win32::DpiOf(w.hwnd);
    if (dpi != GetDpiForSystem()) {
        const SIZE scaled = WindowSizeFor(w.hwnd, style, design.hasMenu, design.clientWidth,
                                          design.clientHeight, dpi);
        SetWindowPos(w.hwnd, nullptr, 0, 0, scaled.cx, scaled.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FormEvents::PlaceFirstTime(Form& form) {
    // The window shows its controls in their order.
    win32::RaiseMadeControls();
    Form::Window& w = *form.window_;
    if (w.placed) {
        return;
    }
    w.placed = true;
    if (w.position != StartUpPosition::CenterScreen) {
        return;
    }
    RECT r{};
    GetWindowRect(w.hwnd, &r);
    POINT place{};
    // Centred for its size now; it may already be there.
    if (CentredPlace(SIZE{r.right - r.left, r.bottom - r.top}, place) &&
        (place.x != r.left || place.y != r.top)) {
        SetWindowPos(w.hwnd, nullptr, place.x, place.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT FormEvents::Message(Form& form, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Form::Window& w = *form.window_;
    LRESULT result = 0;
    if (win32::ContainerMessage(msg, wParam, lParam, result)) {
        return result;
    }
    switch (msg) {
    case WM_COMMAND:
        // A menu item (a control's notification was passed on above).
        if (lParam == 0 && HIWORD(wParam) == 0) {
            const std::size_t item = LOWORD(wParam);
            if (item >= 1 && item <= w.menuActions.size() && w.menuActions[item - 1]) {
                const std::function<void()> action = w.menuActions[item - 1];
                action();
            }
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1; // all of it in WM_PAINT
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        win32::PaintContainer(hwnd, dc, ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT &&
            win32::SetPointerFor(reinterpret_cast<HWND>(wParam), hwnd)) {
            return TRUE;
        }
        break;
    case WM_SIZE:
        if (!w.released) {
            form.Form_Resize();
        }
        break;
    case WM_GETMINMAXINFO: {
        // A sizable window keeps room for its caption's buttons.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        const UINT dpi = win32::DpiOf(hwnd);
        RECT r{0, 0, 0, 0};
        AdjustWindowRectExForDpi(&r, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)),
                                 GetMenu(hwnd) != nullptr, 0, dpi);
        info->ptMinTrackSize.x = std::max<LONG>(
            info->ptMinTrackSize.x, r.right - r.left + 4 * GetSystemMetricsForDpi(SM_CXSIZE, dpi));
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus)) {
                win32::StateOf(hwnd).lastFocus = focus;
            }
        } else if (!HIWORD(wParam)) {
            RestoreFocus(hwnd);
        }
        return 0;
    case WM_CLOSE: {
        if (w.released) {
            break;
        }
        bool cancel = false;
        form.Form_QueryUnload(cancel);
        if (!cancel) {
            form.Unload();
        }
        return 0;
    }
    case DestroyFormMessage:
        if (!w.released) {
            delete &form; // and with it this window
        }
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The system is ending the program: its main window closes as when asked.
        if (wParam && hwnd == mainWindow) {
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        const LRESULT done = DefWindowProcW(hwnd, msg, wParam, lParam);
        if (hwnd == mainWindow) {
            mainWindow = nullptr;
            PostQuitMessage(0);
        }
        if (!w.released) {
            // The system destroyed the window (its owner went): the form goes with it.
            w.hwnd = nullptr;
            delete &form;
        }
        return done;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

namespace win32 {

bool IsFormWindow(HWND window) {
    wchar_t name[16] = {};
    return window && GetClassNameW(window, name, 16) > 0 && std::wstring(name) == FormClassName;
}

void SetMainWindow(HWND window) {
    mainWindow = window;
}

} // namespace win32

LRESULT FormWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return FormEvents::Message(*form, hwnd, msg, wParam, lParam);
}

} // namespace platform::forms
