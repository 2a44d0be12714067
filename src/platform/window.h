// Windows and window messages: the window table behind HWND, window
// procedures, properties, and the default window procedure that paints and
// drives the frame our layer draws around every form.
#pragma once

#include "platform/win32.h"

#include <QImage>
#include <string>
#include <vector>

class QWidget;

namespace platform {

// The Qt side of a window: the layer asks it to show what was drawn on the
// window's non-client surface, to carry out moves and sizes, and to close.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // The top-level Qt window, or nullptr for a window without one (tests).
    virtual QWidget* hostWidget() = 0;
    // The non-client surface changed; show it.
    virtual void surfaceChanged() = 0;
    // SC_CLOSE: run the form's close and unload steps.
    virtual void closeRequested() = 0;
    // The window text changed (WM_SETTEXT reached the default procedure).
    virtual void textChanged() {}
    // SC_MOVE: let the user move the window with the mouse.
    virtual void startMove() {}
    // SC_SIZE: let the user size the window from the border with this hit code.
    virtual void startSize(int hitCode) { (void)hitCode; }
    // SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE as SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNORMAL.
    virtual void showState(int showCommand) { (void)showCommand; }
    // A menu bar item was chosen (its index).
    virtual void menuCommand(int item) { (void)item; }
    // Bring the window to the front and give it the keyboard focus. True when
    // the window is then active; false when the system decides later (a
    // Wayland compositor) and reports it like any other activation.
    virtual bool activate() { return true; }
};

struct WindowCreate {
    std::string text;
    LONG_PTR style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT rect{0, 0, 0, 0}; // screen coordinates
    HWND parent = nullptr;
    WNDPROC proc = nullptr; // nullptr: DefWindowProcA
    WindowHost* host = nullptr;
    bool hasMenu = false; // a menu bar below the caption
};

// Creates a window record; its surface is the size of rect.
HWND CreateWindowRecord(const WindowCreate& create);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongA(HWND hwnd, int index);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Window properties; names compare case-insensitively (ASCII). 0 when absent.
BOOL SetPropA(HWND hwnd, const char* name, LONG_PTR value);
LONG_PTR GetPropA(HWND hwnd, const char* name);
LONG_PTR RemovePropA(HWND hwnd, const char* name);

HWND GetParent(HWND hwnd);
HWND GetActiveWindow();
// The host reports activation here; it does not send any message. Windows
// are kept in the order they were last active, most recent first.
void SetActiveWindowRecord(HWND hwnd);
// Shown (and not hidden since); the host reports it.
void SetWindowVisibleRecord(HWND hwnd, bool visible);
BOOL IsWindowVisible(HWND hwnd);
// When `leaving` is the active window and is being hidden, closed or
// minimized: activates the most recently active other window that is visible
// and not minimized, and sends it WM_NCACTIVATE (1) so its caption shows it,
// as Windows activates the next window. Returns that window, or nullptr
// (then no window of ours is active).
HWND ActivateNextWindow(HWND leaving);
BOOL IsZoomed(HWND hwnd);
BOOL IsIconic(HWND hwnd);
void SetWindowStateRecord(HWND hwnd, bool zoomed, bool minimized);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
// Updates the record's rectangle (screen coordinates) and resizes its surface.
void SetWindowRectRecord(HWND hwnd, const RECT& rect);
// The device pixel ratio of the window's screen: the surface holds that many
// device pixels per logical pixel, and everything drawn on it is drawn at
// device resolution. Coordinates stay logical. 1 by default.
void SetWindowPixelRatioRecord(HWND hwnd, double ratio);
double WindowPixelRatioRecord(HWND hwnd);
BOOL HasMenuRecord(HWND hwnd);
// The menu bar's items, with & before an access key.
void SetMenuItemsRecord(HWND hwnd, std::vector<std::string> items);
const std::vector<std::string>& MenuItemsRecord(HWND hwnd);
// The caption button held down with the mouse (a hit code), 0 when none.
void SetPressedButtonRecord(HWND hwnd, int hitCode);
int PressedButtonRecord(HWND hwnd);
int GetWindowTextA(HWND hwnd, char* buffer, int maxCount);
// The stored text itself, as the default procedure keeps it.
const std::string& WindowTextRecord(HWND hwnd);
void SetWindowTextRecord(HWND hwnd, const std::string& text);
HICON WindowSmallIconRecord(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, const char* text);

// The non-client surface: an image the size of the whole window, in window
// coordinates, with the window's device pixel ratio. nullptr for a bad handle.
QImage* WindowSurface(HWND hwnd);
// Asks the host to show the surface again (ReleaseDC of a window DC does this).
void WindowSurfaceChanged(HWND hwnd);
WindowHost* WindowHostOf(HWND hwnd);

// Icons: the small icon a window returns for WM_GETICON.
HICON CreateIconFromImage(const QImage& image);
BOOL DestroyIcon(HICON icon);
const QImage* IconImage(HICON icon);
void SetWindowSmallIcon(HWND hwnd, HICON icon);

// Cursors.
HCURSOR LoadCursorA(void* instance, std::uintptr_t cursorId);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The Qt cursor shape a system cursor handle stands for.
int CursorShape(HCURSOR cursor);

int GetSystemMetrics(int index);
BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni);
COLORREF GetSysColor(int index);

} // namespace platform
