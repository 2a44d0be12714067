#include "platform/window_host.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <strings.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct WindowRecord {
    WNDPROC proc = nullptr;
    std::vector<std::pair<std::string, HANDLE>> props;
    std::string text;
    LONG_PTR style = 0;
    LONG_PTR exStyle = 0;
    HWND parent = nullptr;
    HICON smallIcon = nullptr;
    RECT rect{0, 0, 0, 0};
    bool zoomed = false;
    bool minimized = false;
    bool visible = false;
    double ratio = 1.0;
    bool hasMenu = false;
    std::vector<std::string> menuItems;
    int pressedButton = 0;
    QImage surface;
    WindowHost* host = nullptr;
};

struct LayerState {
    std::map<std::uintptr_t, std::unique_ptr<WindowRecord>> windows;
    std::uintptr_t nextWindow = 0x10000;
    std::map<std::uintptr_t, QImage> icons;
    std::uintptr_t nextIcon = 0x20000;
    HWND active = nullptr;
    std::vector<HWND> recent; // most recently active first
    HCURSOR cursor = nullptr;
};

LayerState& State() {
    static LayerState s;
    return s;
}

// The system cursors there are: a cursor's handle is its resource name.
struct SystemCursor {
    char* name;
    int shape; // Qt::CursorShape
};

const std::vector<SystemCursor>& SystemCursors() {
    static const std::vector<SystemCursor> cursors = {
        {IDC_ARROW, Qt::ArrowCursor},        {IDC_SIZENWSE, Qt::SizeFDiagCursor},
        {IDC_SIZENESW, Qt::SizeBDiagCursor}, {IDC_SIZEWE, Qt::SizeHorCursor},
        {IDC_SIZENS, Qt::SizeVerCursor},     {IDC_SIZEALL, Qt::SizeAllCursor}};
    return cursors;
}

WindowRecord* Find(HWND hwnd) {
    auto& windows = State().windows;
    auto it = windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

void ResizeSurface(WindowRecord& w) {
    const int width = std::max<LONG>(0, w.rect.right - w.rect.left);
    const int height = std::max<LONG>(0, w.rect.bottom - w.rect.top);
    // Whole device pixels covering the logical size.
    const int deviceWidth = static_cast<int>(std::ceil(width * w.ratio));
    const int deviceHeight = static_cast<int>(std::ceil(height * w.ratio));
    if (w.surface.width() == deviceWidth && w.surface.height() == deviceHeight &&
        w.surface.devicePixelRatio() == w.ratio) {
        return;
    }
    w.surface = QImage(deviceWidth, deviceHeight, QImage::Format_RGB32);
    w.surface.setDevicePixelRatio(w.ratio);
    w.surface.fill(QColor(192, 192, 192));
}

void Forget(std::vector<HWND>& list, HWND hwnd) {
    list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
}

} // namespace

HWND CreateWindowRecord(const WindowCreate& create) {
    auto record = std::make_unique<WindowRecord>();
    record->proc = create.proc ? create.proc : &DefWindowProcA;
    record->text = create.text;
    record->style = create.style;
    record->parent = create.parent;
    record->rect = create.rect;
    record->host = create.host;
    record->hasMenu = create.hasMenu;
    ResizeSurface(*record);
    auto& s = State();
    const std::uintptr_t id = s.nextWindow;
    s.nextWindow += 4;
    s.windows.emplace(id, std::move(record));
    return reinterpret_cast<HWND>(id);
}

BOOL DestroyWindow(HWND hwnd) {
    auto& s = State();
    if (s.windows.erase(reinterpret_cast<std::uintptr_t>(hwnd)) == 0) {
        return FALSE;
    }
    if (s.active == hwnd) {
        s.active = nullptr;
    }
    Forget(s.recent, hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return Find(hwnd) ? TRUE : FALSE;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    WindowRecord* w = Find(hwnd);
    if (!w) {
        return 0;
    }
    LONG_PTR old = 0;
    switch (index) {
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (value != 0) {
            w->proc = reinterpret_cast<WNDPROC>(value);
        }
        break;
    case GWL_STYLE:
        old = w->style;
        w->style = value;
        break;
    case GWL_EXSTYLE:
        old = w->exStyle;
        w->exStyle = value;
        break;
    default:
        break;
    }
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    const WindowRecord* w = Find(hwnd);
    if (!w) {
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
        return w->style;
    case GWL_EXSTYLE:
        return w->exStyle;
    default:
        return 0;
    }
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) {
        return 0;
    }
    return proc(hwnd, msg, wParam, lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const WindowRecord* w = Find(hwnd);
    if (!w || !w->proc) {
        return 0;
    }
    return w->proc(hwnd, msg, wParam, lParam);
}

BOOL SetPropA(HWND hwnd, const char* name, HANDLE value) {
    WindowRecord* w = Find(hwnd);
    if (!w || !name) {
        return FALSE;
    }
    for (auto& [key, stored] : w->props) {
        if (strcasecmp(key.c_str(), name) == 0) {
            stored = value;
            return TRUE;
        }
    }
    w->props.emplace_back(name, value);
    return TRUE;
}

HANDLE GetPropA(HWND hwnd, const char* name) {
    const WindowRecord* w = Find(hwnd);
    if (!w || !name) {
        return nullptr;
    }
    for (const auto& [key, stored] : w->props) {
        if (strcasecmp(key.c_str(), name) == 0) {
            return stored;
        }
    }
    return nullptr;
}

HANDLE RemovePropA(HWND hwnd, const char* name) {
    WindowRecord* w = Find(hwnd);
    if (!w || !name) {
        return nullptr;
    }
    auto it = std::find_if(w->props.begin(), w->props.end(), [name](const auto& p) {
        return strcasecmp(p.first.c_str(), name) == 0;
    });
    if (it == w->props.end()) {
        return nullptr;
    }
    const HANDLE value = it->second;
    w->props.erase(it);
    return value;
}

HWND GetParent(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w ? w->parent : nullptr;
}

HWND GetActiveWindow() {
    return State().active;
}

void SetActiveWindowRecord(HWND hwnd) {
    auto& s = State();
    s.active = Find(hwnd) ? hwnd : nullptr;
    if (s.active) {
        Forget(s.recent, hwnd);
        s.recent.insert(s.recent.begin(), hwnd);
    }
}

void SetWindowVisibleRecord(HWND hwnd, bool visible) {
    if (WindowRecord* w = Find(hwnd)) {
        w->visible = visible;
    }
}

BOOL IsWindowVisible(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w && w->visible ? TRUE : FALSE;
}

HWND ActivateNextWindow(HWND leaving) {
    auto& s = State();
    if (!leaving || s.active != leaving) {
        return nullptr; // only the active window hands the activation on
    }
    // Its owner first, as Windows activates the owner of a closing dialog;
    // then the most recently active, then those never active, oldest first.
    std::vector<HWND> order = s.recent;
    if (const WindowRecord* w = Find(leaving); w && w->parent) {
        Forget(order, w->parent);
        order.insert(order.begin(), w->parent);
    }
    for (const auto& [id, record] : s.windows) {
        HWND hwnd = reinterpret_cast<HWND>(id);
        if (std::find(order.begin(), order.end(), hwnd) == order.end()) {
            order.push_back(hwnd);
        }
    }
    s.active = nullptr;
    for (HWND next : order) {
        const WindowRecord* w = Find(next);
        if (next == leaving || !w || !w->visible || w->minimized) {
            continue;
        }
        if (w->host && !w->host->activate()) {
            return nullptr; // the system reports the activation when it happens
        }
        SetActiveWindowRecord(next);
        SendMessageA(next, WM_NCACTIVATE, 1, 0);
        return next;
    }
    return nullptr;
}

BOOL IsZoomed(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w && w->zoomed ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w && w->minimized ? TRUE : FALSE;
}

void SetWindowStateRecord(HWND hwnd, bool zoomed, bool minimized) {
    if (WindowRecord* w = Find(hwnd)) {
        w->zoomed = zoomed;
        w->minimized = minimized;
    }
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    const WindowRecord* w = Find(hwnd);
    if (!w || !rect) {
        return FALSE;
    }
    *rect = w->rect;
    return TRUE;
}

void SetWindowRectRecord(HWND hwnd, const RECT& rect) {
    if (WindowRecord* w = Find(hwnd)) {
        w->rect = rect;
        ResizeSurface(*w);
    }
}

void SetWindowPixelRatioRecord(HWND hwnd, double ratio) {
    if (WindowRecord* w = Find(hwnd); w && ratio > 0 && std::isfinite(ratio)) {
        w->ratio = ratio;
        ResizeSurface(*w);
    }
}

double WindowPixelRatioRecord(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w ? w->ratio : 1.0;
}

BOOL HasMenuRecord(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w && w->hasMenu ? TRUE : FALSE;
}

void SetMenuItemsRecord(HWND hwnd, std::vector<std::string> items) {
    if (WindowRecord* w = Find(hwnd)) {
        w->menuItems = std::move(items);
        w->hasMenu = !w->menuItems.empty();
    }
}

const std::vector<std::string>& MenuItemsRecord(HWND hwnd) {
    static const std::vector<std::string> none;
    const WindowRecord* w = Find(hwnd);
    return w ? w->menuItems : none;
}

void SetPressedButtonRecord(HWND hwnd, int hitCode) {
    if (WindowRecord* w = Find(hwnd)) {
        w->pressedButton = hitCode;
    }
}

int PressedButtonRecord(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w ? w->pressedButton : 0;
}

int GetWindowTextA(HWND hwnd, char* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                         reinterpret_cast<LPARAM>(buffer)));
}

const std::string& WindowTextRecord(HWND hwnd) {
    static const std::string none;
    const WindowRecord* w = Find(hwnd);
    return w ? w->text : none;
}

void SetWindowTextRecord(HWND hwnd, const std::string& text) {
    if (WindowRecord* w = Find(hwnd)) {
        w->text = text;
    }
}

HICON WindowSmallIconRecord(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w ? w->smallIcon : nullptr;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    return static_cast<BOOL>(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

QImage* WindowSurface(HWND hwnd) {
    WindowRecord* w = Find(hwnd);
    return w ? &w->surface : nullptr;
}

void WindowSurfaceChanged(HWND hwnd) {
    if (WindowHost* host = WindowHostOf(hwnd)) {
        host->surfaceChanged();
    }
}

WindowHost* WindowHostOf(HWND hwnd) {
    const WindowRecord* w = Find(hwnd);
    return w ? w->host : nullptr;
}

HICON CreateIconFromImage(const QImage& image) {
    if (image.isNull()) {
        return nullptr;
    }
    auto& s = State();
    const std::uintptr_t id = s.nextIcon;
    s.nextIcon += 4;
    s.icons.emplace(id, image.convertToFormat(QImage::Format_ARGB32));
    return reinterpret_cast<HICON>(id);
}

BOOL DestroyIcon(HICON icon) {
    return State().icons.erase(reinterpret_cast<std::uintptr_t>(icon)) ? TRUE : FALSE;
}

const QImage* IconImage(HICON icon) {
    auto& icons = State().icons;
    auto it = icons.find(reinterpret_cast<std::uintptr_t>(icon));
    return it == icons.end() ? nullptr : &it->second;
}

void SetWindowSmallIcon(HWND hwnd, HICON icon) {
    if (WindowRecord* w = Find(hwnd)) {
        w->smallIcon = icon;
    }
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
    if (instance) {
        return nullptr; // only the system cursors exist
    }
    for (const SystemCursor& cursor : SystemCursors()) {
        if (cursor.name == name) {
            return reinterpret_cast<HCURSOR>(cursor.name);
        }
    }
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    return std::exchange(State().cursor, cursor);
}

HCURSOR GetCursor() {
    return State().cursor;
}

int CursorShape(HCURSOR cursor) {
    for (const SystemCursor& system : SystemCursors()) {
        if (reinterpret_cast<char*>(cursor) == system.name) {
            return system.shape;
        }
    }
    return Qt::ArrowCursor;
}

} // namespace platform
