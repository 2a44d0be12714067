// The window layer's side that only the platform itself uses: the forms
// runtime, which hosts every window in a Qt widget, creates window records and
// reports activation, visibility, state, size and pixel ratio; the default
// window procedure and the frame painter read and keep what the layer holds
// for each window beyond Win32 (its text, menu bar, pressed caption button,
// small icon and non-client surface). The program uses platform/window.h.
#ifndef TAVRO_PLATFORM_INTERNAL
#error "platform/window_host.h is the platform's own; the program includes platform/window.h"
#endif
#pragma once

#include "platform/window.h"

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

// The host reports activation here; it does not send any message. Windows
// are kept in the order they were last active, most recent first.
void SetActiveWindowRecord(HWND hwnd);
// Shown (and not hidden since); the host reports it.
void SetWindowVisibleRecord(HWND hwnd, bool visible);
// When `leaving` is the active window and is being hidden, closed or
// minimized: activates its owner, else the most recently active other window,
// that is visible and not minimized, and sends it WM_NCACTIVATE (1) so its caption shows it,
// as Windows activates the next window. Returns that window, or nullptr
// (then no window of ours is active).
HWND ActivateNextWindow(HWND leaving);
void SetWindowStateRecord(HWND hwnd, bool zoomed, bool minimized);
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
// The stored text itself, as the default procedure keeps it.
const std::string& WindowTextRecord(HWND hwnd);
void SetWindowTextRecord(HWND hwnd, const std::string& text);
HICON WindowSmallIconRecord(HWND hwnd);

// The non-client surface: an image the size of the whole window, in window
// coordinates, with the window's device pixel ratio. nullptr for a bad handle.
QImage* WindowSurface(HWND hwnd);
// Asks the host to show the surface again (ReleaseDC of a window DC does this).
void WindowSurfaceChanged(HWND hwnd);
WindowHost* WindowHostOf(HWND hwnd);

// Icons: the small icon a window returns for WM_GETICON.
HICON CreateIconFromImage(const QImage& image);
const QImage* IconImage(HICON icon);
void SetWindowSmallIcon(HWND hwnd, HICON icon);

// The Qt cursor shape a system cursor handle stands for.
int CursorShape(HCURSOR cursor);

} // namespace platform
