#include "platform/frame.h"

namespace platform::frame {

namespace {

constexpr RECT Empty{0, 0, 0, 0};

RECT Shifted(RECT r, int dx) {
    r.left += dx;
    r.right += dx;
    return r;
}

struct SizingBorderRow {
    int hitCode;
    SizingBorder border;
};

const SizingBorderRow SizingBorders[] = {
    {HTLEFT, {BF_LEFT, IDC_SIZEWE}},
    {HTRIGHT, {BF_RIGHT, IDC_SIZEWE}},
    {HTTOP, {BF_TOP, IDC_SIZENS}},
    {HTBOTTOM, {BF_BOTTOM, IDC_SIZENS}},
    {HTTOPLEFT, {BF_TOP | BF_LEFT, IDC_SIZENWSE}},
    {HTBOTTOMRIGHT, {BF_BOTTOM | BF_RIGHT, IDC_SIZENWSE}},
    {HTTOPRIGHT, {BF_TOP | BF_RIGHT, IDC_SIZENESW}},
    {HTBOTTOMLEFT, {BF_BOTTOM | BF_LEFT, IDC_SIZENESW}},
};

} // namespace

bool Contains(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

int MenuItemAt(const Layout& l, int itemCount, int x, int y) {
    if (!Contains(l.menu, x, y)) {
        return -1;
    }
    const int offset = x - l.menu.left;
    const int item = offset / (MenuItemPadding + MenuItemWidth);
    return item < itemCount ? item : -1;
}

SizingBorder SizingBorderAt(int hitCode) {
    for (const SizingBorderRow& row : SizingBorders) {
        if (row.hitCode == hitCode) {
            return row.border;
        }
    }
    return {};
}

int FrameWidth(LONG_PTR style) {
    return (style & DS_MODALFRAME) ? DialogFrameWidth : SizingFrameWidth;
}

void WindowSizeForClient(LONG_PTR style, bool hasMenu, int clientWidth, int clientHeight,
                         int* width, int* height) {
    const int f = FrameWidth(style);
    *width = clientWidth + 2 * f;
    *height = clientHeight + 2 * f + CaptionHeight + (hasMenu ? MenuHeight : 0);
}

Layout ComputeLayout(int width, int height, LONG_PTR style, bool hasMenu, bool hasIcon) {
    Layout l;
    l.width = width;
    l.height = height;
    const int f = FrameWidth(style);
    l.frame = f;
    const int ch = CaptionHeight;
    const int bw = CaptionButtonWidth;
    l.caption = RECT{f, f, width - f, f + ch - 1};
    l.sysIcon = hasIcon ? RECT{f + 1, f + 1, f + bw - 1, f + bw - 1} : Empty;

    // The buttons sit where the caption painter draws them: the close button
    // 2 pixels in from the frame, maximise next to it, minimise touching that.
    l.close = l.maximize = l.minimize = Empty;
    if (style & WS_SYSMENU) {
        const int cw = width - f;
        const RECT close{cw - 2 - bw + 2, f + 2, cw - 2, f + 2 + ch - 5};
        l.close = close;
        if (style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) {
            l.maximize = Shifted(close, -bw);
            l.minimize = Shifted(l.maximize, -(bw - 2));
            l.maximizeEnabled = (style & WS_MAXIMIZEBOX) != 0;
            l.minimizeEnabled = (style & WS_MINIMIZEBOX) != 0;
        }
    }

    int top = f + ch;
    l.menu = Empty;
    if (hasMenu) {
        l.menu = RECT{f, top, width - f, top + MenuHeight};
        top += MenuHeight;
    }
    l.client = RECT{f, top, width - f, height - f};
    return l;
}

int HitTest(const Layout& l, LONG_PTR style, int x, int y) {
    if (x < 0 || y < 0 || x >= l.width || y >= l.height) {
        return HTNOWHERE;
    }
    if (Contains(l.client, x, y)) {
        return HTCLIENT;
    }
    const bool sizable = (style & WS_THICKFRAME) != 0;
    const int f = l.frame;
    const bool left = x < f, right = x >= l.width - f;
    const bool top = y < f, bottom = y >= l.height - f;
    if (left || right || top || bottom) {
        if (!sizable) {
            return HTBORDER;
        }
        const bool nearLeft = x < CornerExtent, nearRight = x >= l.width - CornerExtent;
        const bool nearTop = y < CornerExtent, nearBottom = y >= l.height - CornerExtent;
        if ((top && nearLeft) || (left && nearTop)) {
            return HTTOPLEFT;
        }
        if ((top && nearRight) || (right && nearTop)) {
            return HTTOPRIGHT;
        }
        if ((bottom && nearLeft) || (left && nearBottom)) {
            return HTBOTTOMLEFT;
        }
        if ((bottom && nearRight) || (right && nearBottom)) {
            return HTBOTTOMRIGHT;
        }
        if (left) {
            return HTLEFT;
        }
        if (right) {
            return HTRIGHT;
        }
        return top ? HTTOP : HTBOTTOM;
    }
    if (Contains(l.close, x, y)) {
        return HTCLOSE;
    }
    if (l.maximizeEnabled && Contains(l.maximize, x, y)) {
        return HTMAXBUTTON;
    }
    if (l.minimizeEnabled && Contains(l.minimize, x, y)) {
        return HTMINBUTTON;
    }
    if (Contains(l.sysIcon, x, y)) {
        return HTSYSMENU;
    }
    if (Contains(l.menu, x, y)) {
        return HTMENU;
    }
    if (y < l.client.top) {
        return HTCAPTION;
    }
    return HTBORDER;
}

} // namespace platform::frame
