// Device contexts and GDI objects: creating, selecting and deleting them, and
// the stock objects every new DC starts with.
#include "platform/gdi_private.h"
#include "platform/testing.h"

#include <cmath>
#include <utility>

namespace platform {

using namespace gdi_internal;

namespace {

// The stock objects every new DC starts with; they are never counted, and
// deleting one does nothing.
void EnsureStock() {
    Table& t = table();
    if (t.stockBitmap) {
        return;
    }
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(0xFF000000);
    t.stockBitmap = Add(Entry{Bitmap{one}, true, 0});
    t.stockBrush = Add(Entry{Brush{RGB(255, 255, 255)}, true, 0});
    t.stockFont = Add(Entry{Font{FontFromLogFont(LOGFONTA{})}, true, 0});
}

double DcRatio(const DeviceContext& dc) {
    if (dc.window) {
        const QImage* surface = WindowSurface(dc.window);
        return surface ? surface->devicePixelRatio() : 1.0;
    }
    return dc.ratio;
}

void Deselect(std::uintptr_t id) {
    Entry* entry = FindEntry(id);
    if (entry && !entry->stock && entry->selections > 0) {
        --entry->selections;
    }
}

void DeselectAll(const DeviceContext& dc) {
    Deselect(dc.bitmap);
    Deselect(dc.brush);
    Deselect(dc.font);
}

std::uintptr_t NewDc(HWND window) {
    EnsureStock();
    const Table& t = table();
    DeviceContext dc;
    dc.window = window;
    dc.bitmap = window ? 0 : t.stockBitmap;
    dc.brush = t.stockBrush;
    dc.font = t.stockFont;
    return Add(Entry{dc, false, 0});
}

} // namespace

HDC GetWindowDC(HWND hwnd) {
    if (!WindowSurface(hwnd)) {
        return nullptr;
    }
    return reinterpret_cast<HDC>(NewDc(hwnd));
}

int ReleaseDC(HWND hwnd, HDC hdc) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || !dc->window || dc->window != hwnd) {
        return 0;
    }
    DeselectAll(*dc);
    table().entries.erase(Id(hdc));
    WindowSurfaceChanged(hwnd);
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    const DeviceContext* source = hdc ? FindDc(hdc) : nullptr;
    if (hdc && !source) {
        return nullptr;
    }
    const double ratio = source ? DcRatio(*source) : 1.0;
    const std::uintptr_t id = NewDc(nullptr);
    Get<DeviceContext>(id)->ratio = ratio;
    return reinterpret_cast<HDC>(id);
}

BOOL DeleteDC(HDC hdc) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || dc->window) { // a window DC goes back with ReleaseDC
        return FALSE;
    }
    DeselectAll(*dc);
    table().entries.erase(Id(hdc));
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || width < 0 || height < 0) {
        return nullptr;
    }
    if (width == 0 || height == 0) { // as Win32: a 1 x 1 bitmap
        width = height = 1;
    }
    // A bitmap compatible with a DC has its device pixel ratio: as many
    // device pixels per logical one.
    const double ratio = DcRatio(*dc);
    const std::int64_t deviceWidth = static_cast<std::int64_t>(std::ceil(width * ratio));
    const std::int64_t deviceHeight = static_cast<std::int64_t>(std::ceil(height * ratio));
    if (deviceWidth * deviceHeight * 4 > std::int64_t{1} << 30) {
        return nullptr;
    }
    const QImage* surface = Surface(*dc);
    const QImage::Format format = surface && surface->format() == QImage::Format_RGB32
                                      ? QImage::Format_RGB32
                                      : QImage::Format_ARGB32_Premultiplied;
    QImage image(static_cast<int>(deviceWidth), static_cast<int>(deviceHeight), format);
    if (image.isNull()) {
        return nullptr;
    }
    image.setDevicePixelRatio(ratio);
    image.fill(0xFF000000); // black, opaque
    return reinterpret_cast<HBITMAP>(Add(Entry{Bitmap{std::move(image)}, false, 0}));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return reinterpret_cast<HBRUSH>(Add(Entry{Brush{colour & 0xFFFFFF}, false, 0}));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    DeviceContext* dc = FindDc(hdc);
    Entry* entry = FindEntry(Id(object));
    if (!dc || !entry) {
        return nullptr;
    }
    if (std::holds_alternative<Region>(entry->body)) {
        const int kind = SelectClipRgn(hdc, static_cast<HRGN>(object));
        return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(kind));
    }
    const std::uintptr_t id = Id(object);
    std::uintptr_t* slot = nullptr;
    if (std::holds_alternative<Bitmap>(entry->body)) {
        if (dc->window) {
            return nullptr; // only memory DCs take bitmaps
        }
        if (dc->bitmap == id) {
            return object;
        }
        if (!entry->stock && entry->selections > 0) {
            return nullptr; // a bitmap lives in one DC at a time
        }
        slot = &dc->bitmap;
    } else if (std::holds_alternative<Brush>(entry->body)) {
        slot = &dc->brush;
    } else if (std::holds_alternative<Font>(entry->body)) {
        slot = &dc->font;
    } else {
        return nullptr;
    }
    const std::uintptr_t previous = *slot;
    Deselect(previous);
    *slot = id;
    if (!entry->stock) {
        ++entry->selections;
    }
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ object) {
    Entry* entry = FindEntry(Id(object));
    if (!entry || std::holds_alternative<DeviceContext>(entry->body)) {
        return FALSE;
    }
    if (entry->stock) {
        return TRUE;
    }
    if (entry->selections > 0) {
        return FALSE; // still selected into a DC
    }
    table().entries.erase(Id(object));
    return TRUE;
}

int gdi_testing::LiveGdiObjectCount() {
    const auto& entries = table().entries;
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const auto& item) { return !item.second.stock; }));
}

} // namespace platform
