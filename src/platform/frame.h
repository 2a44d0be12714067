// Frame geometry of our windows: the classic metrics, and where the caption,
// its buttons, the borders, the menu bar and the client area lie. Painting and
// hit-testing both read these rectangles, so they always agree.
#pragma once

#include "platform/win32.h"

namespace platform::frame {

inline constexpr int CaptionHeight = 19;      // SM_CYCAPTION, with its bottom line
inline constexpr int CaptionButtonWidth = 18; // SM_CXSIZE
inline constexpr int SizingFrameWidth = 4;    // SM_CXFRAME
inline constexpr int DialogFrameWidth = 3;    // SM_CXDLGFRAME
inline constexpr int MenuHeight = 19;         // SM_CYMENU
// Menu bar items: a fixed width each, after a small gap.
inline constexpr int MenuItemPadding = 6;
inline constexpr int MenuItemWidth = 40;
// How far along an edge from a corner a sizing border counts as the corner.
inline constexpr int CornerExtent = 16;

struct Layout {
    int width = 0;
    int height = 0;
    int frame = 0;  // border width on every side
    RECT caption{}; // rows F .. F + CH - 2, the painted title bar
    RECT sysIcon{}; // the small icon, empty when the window has none
    RECT close{};   // the caption buttons, empty when absent
    RECT maximize{};
    RECT minimize{};
    bool maximizeEnabled = false;
    bool minimizeEnabled = false;
    RECT menu{}; // the menu bar, empty when the window has none
    RECT client{};
};

// The frame width for a style: SM_CXDLGFRAME for a fixed dialog frame (bit
// 0x80), SM_CXFRAME otherwise.
int FrameWidth(LONG_PTR style);

// The window size that gives a client area of the given size.
void WindowSizeForClient(LONG_PTR style, bool hasMenu, int clientWidth, int clientHeight,
                         int* width, int* height);

Layout ComputeLayout(int width, int height, LONG_PTR style, bool hasMenu, bool hasIcon);

// WM_NCHITTEST for a point in window coordinates.
int HitTest(const Layout& layout, LONG_PTR style, int x, int y);

bool Contains(const RECT& r, int x, int y);

// The menu bar item under a point in window coordinates, or -1.
int MenuItemAt(const Layout& layout, int itemCount, int x, int y);

// What a sizing border (HTLEFT .. HTBOTTOMRIGHT) does: the sides of the window
// it moves, as BF_LEFT, BF_TOP, BF_RIGHT and BF_BOTTOM, and the system cursor
// shown over it. Any other hit code moves no side and shows the arrow. The
// default procedure's WM_SETCURSOR and the host's sizing both read it.
struct SizingBorder {
    UINT sides = 0;
    const char* cursor = IDC_ARROW;
};
SizingBorder SizingBorderAt(int hitCode);

} // namespace platform::frame
