#include "platform/frame_painter.h"

#include "platform/frame.h"
#include "platform/gdi.h"
#include "platform/window_host.h"

#include <string>

namespace platform::frame {

namespace {

void Fill(HDC hdc, RECT r, int sysColour) {
    HBRUSH brush = CreateSolidBrush(GetSysColor(sysColour));
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

void PaintBorder(HDC hdc, const Layout& l) {
    RECT outer{0, 0, l.width, l.height};
    // The face colour under everything, then the raised 3-D edge on top.
    Fill(hdc, RECT{0, 0, l.width, l.caption.top + CaptionHeight}, COLOR_BTNFACE);
    Fill(hdc, RECT{0, 0, l.frame, l.height}, COLOR_BTNFACE);
    Fill(hdc, RECT{l.width - l.frame, 0, l.width, l.height}, COLOR_BTNFACE);
    Fill(hdc, RECT{0, l.height - l.frame, l.width, l.height}, COLOR_BTNFACE);
    DrawEdge(hdc, &outer, EDGE_RAISED, BF_RECT);
}

void PaintButtons(HWND hwnd, HDC hdc, const Layout& l, LONG_PTR style);

void PaintCaption(HWND hwnd, HDC hdc, const Layout& l, LONG_PTR style, bool active) {
    Fill(hdc, l.caption, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    RECT text = l.caption;
    text.left += 2;
    if (HICON icon = WindowSmallIconRecord(hwnd)) {
        DrawIconEx(hdc, l.sysIcon.left, l.sysIcon.top, icon, l.sysIcon.right - l.sysIcon.left,
                   l.sysIcon.bottom - l.sysIcon.top, 0, nullptr, DI_NORMAL);
        text.left = l.sysIcon.right + 3;
    }
    if (l.close.right > l.close.left) {
        text.right = (l.minimize.right > l.minimize.left ? l.minimize.left : l.close.left) - 2;
    }
    const LOGFONTA logFont = CaptionLogFont();
    HFONT font = CreateFontIndirectA(&logFont);
    HGDIOBJ oldFont = SelectObject(hdc, font);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    const std::string& caption = WindowTextRecord(hwnd);
    DrawTextA(hdc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(hdc, oldFont);
    DeleteObject(font);

    PaintButtons(hwnd, hdc, l, style);
}

void PaintButtons(HWND hwnd, HDC hdc, const Layout& l, LONG_PTR style) {
    if (!(style & WS_SYSMENU)) {
        return;
    }
    const int pressed = PressedButtonRecord(hwnd);
    RECT close = l.close;
    DrawFrameControl(hdc, &close, DFC_CAPTION,
                     DFCS_CAPTIONCLOSE | (pressed == HTCLOSE ? DFCS_PUSHED : 0));
    if (l.maximize.right > l.maximize.left) {
        RECT max = l.maximize;
        UINT state = IsZoomed(hwnd) ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMAX;
        state |= l.maximizeEnabled ? 0 : DFCS_INACTIVE;
        state |= pressed == HTMAXBUTTON ? DFCS_PUSHED : 0;
        DrawFrameControl(hdc, &max, DFC_CAPTION, state);
        RECT min = l.minimize;
        UINT minState = DFCS_CAPTIONMIN | (l.minimizeEnabled ? 0 : DFCS_INACTIVE);
        minState |= pressed == HTMINBUTTON ? DFCS_PUSHED : 0;
        DrawFrameControl(hdc, &min, DFC_CAPTION, minState);
    }
}

void PaintMenu(HWND hwnd, HDC hdc, const Layout& l) {
    Fill(hdc, l.menu, COLOR_BTNFACE);
    LOGFONTA logFont = CaptionLogFont();
    logFont.lfWeight = 400;
    HFONT font = CreateFontIndirectA(&logFont);
    HGDIOBJ oldFont = SelectObject(hdc, font);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, GetSysColor(COLOR_BTNTEXT));
    RECT item = l.menu;
    for (const std::string& text : MenuItemsRecord(hwnd)) {
        item.left += MenuItemPadding;
        item.right = item.left + MenuItemWidth;
        DrawTextA(hdc, text.c_str(), static_cast<int>(text.size()), &item,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        item.left = item.right;
    }
    SelectObject(hdc, oldFont);
    DeleteObject(font);
}

} // namespace

LOGFONTA CaptionLogFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0);
    return metrics.lfCaptionFont;
}

namespace {

Layout LayoutOf(HWND hwnd, const RECT& window, LONG_PTR style) {
    return ComputeLayout(window.right - window.left, window.bottom - window.top, style,
                         HasMenuRecord(hwnd), WindowSmallIconRecord(hwnd) != nullptr);
}

} // namespace

void PaintCaptionButtons(HWND hwnd) {
    RECT window{};
    if (!GetWindowRect(hwnd, &window)) {
        return;
    }
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    HDC hdc = GetWindowDC(hwnd);
    if (!hdc) {
        return;
    }
    PaintButtons(hwnd, hdc, LayoutOf(hwnd, window, style), style);
    ReleaseDC(hwnd, hdc);
}

void PaintStandardFrame(HWND hwnd, WPARAM clip, bool active) {
    RECT window{};
    if (!GetWindowRect(hwnd, &window)) {
        return;
    }
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    const Layout l = LayoutOf(hwnd, window, style);
    HDC hdc = GetWindowDC(hwnd);
    if (!hdc) {
        return;
    }
    if (clip > 1) {
        // The update region comes in screen coordinates; the DC works in window ones.
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(region, reinterpret_cast<HRGN>(clip), nullptr, RGN_COPY);
        OffsetRgn(region, -window.left, -window.top);
        SelectClipRgn(hdc, region);
        DeleteObject(region);
    }
    PaintBorder(hdc, l);
    PaintCaption(hwnd, hdc, l, style, active);
    if (l.menu.bottom > l.menu.top) {
        PaintMenu(hwnd, hdc, l);
    }
    ReleaseDC(hwnd, hdc);
}

} // namespace platform::frame
