// Windows and window messages: the window table behind HWND, window
// procedures, properties, and the default window procedure that paints and
// drives the frame our layer draws around every form. What the forms runtime,
// as the windows' host, tells the layer and asks of it is in
// platform/window_host.h, which the program cannot include.
#pragma once

#include "platform/win32.h"

// On Windows the calls below are user32's and gdi32's own.
#ifndef _WIN32

namespace platform {

BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Window properties; names compare case-insensitively (ASCII). NULL when absent.
BOOL SetPropA(HWND hwnd, const char* name, HANDLE value);
HANDLE GetPropA(HWND hwnd, const char* name);
HANDLE RemovePropA(HWND hwnd, const char* name);

HWND GetParent(HWND hwnd);
HWND GetActiveWindow();
BOOL IsWindowVisible(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
int GetWindowTextA(HWND hwnd, char* buffer, int maxCount);
BOOL SetWindowTextA(HWND hwnd, const char* text);

BOOL DestroyIcon(HICON icon);

// Cursors.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// System metrics and colours (system_metrics.cpp).
int GetSystemMetrics(int index);
BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni);
COLORREF GetSysColor(int index);

} // namespace platform

#endif // _WIN32
