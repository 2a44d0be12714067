// The default window procedure: what a window does with a message that its
// own procedures pass on.
#include "platform/window.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

LRESULT setText(HWND hwnd, LPARAM lParam);
LRESULT getText(HWND hwnd, WPARAM wParam, LPARAM lParam);

} // namespace

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd)) {
        return 0;
    }
    switch (msg) {
    case WM_SETTEXT:
        return setText(hwnd, lParam);
    case WM_GETTEXT:
        return getText(hwnd, wParam, lParam);
    case WM_GETTEXTLENGTH: {
        return static_cast<LRESULT>(WindowTextRecord(hwnd).size());
    }
    case WM_GETICON:
        return wParam == ICON_SMALL ? reinterpret_cast<LRESULT>(WindowSmallIconRecord(hwnd)) : 0;
    case WM_NCACTIVATE:
        return TRUE;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_MDIGETACTIVE:
        return 0;
    default:
        return 0;
    }
}

namespace {

LRESULT setText(HWND hwnd, LPARAM lParam) {
    const char* text = reinterpret_cast<const char*>(lParam);
    SetWindowTextRecord(hwnd, text ? text : "");
    if (WindowHost* host = WindowHostOf(hwnd)) {
        host->textChanged();
    }
    return TRUE;
}

LRESULT getText(HWND hwnd, WPARAM wParam, LPARAM lParam) {
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

} // namespace

} // namespace platform
