// What the GDI files share: the one handle table behind every HDC and GDI
// object, the lookups that refuse a stale or foreign handle, and the surface a
// DC draws on. Private to the platform layer.
#ifndef TAVRO_PLATFORM_INTERNAL
#error "platform/gdi_private.h is the platform's own; the program includes platform/gdi.h"
#endif
#pragma once

#include "platform/gdi.h"
#include "platform/window_host.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <variant>

namespace platform::gdi_internal {

// Coordinates are kept within this range before they reach Qt, whose rectangle
// arithmetic is plain int: no surface comes near it, so clamping changes no
// pixel, and the sums below can never overflow.
constexpr std::int64_t Far = std::int64_t{1} << 24;

struct DeviceContext {
    HWND window = nullptr;     // a window DC draws on this window's surface
    std::uintptr_t bitmap = 0; // a memory DC draws on the bitmap selected here
    std::uintptr_t brush = 0;
    std::uintptr_t font = 0;
    std::optional<QRegion> clip; // none: the whole surface
    int bkMode = OPAQUE;
    COLORREF bkColour = RGB(255, 255, 255);
    COLORREF textColour = RGB(0, 0, 0);
    double ratio = 1.0; // a memory DC's device pixel ratio, from the DC it matches
};

struct Bitmap {
    QImage image;
};

struct Brush {
    COLORREF colour = 0;
};

struct Font {
    QFont font;
};

struct Region {
    QRegion region;
};

struct Entry {
    std::variant<DeviceContext, Bitmap, Brush, Font, Region> body;
    bool stock = false;
    int selections = 0; // DCs that have this object selected
};

struct Table {
    std::unordered_map<std::uintptr_t, Entry> entries;
    std::uintptr_t next = 0x1000000;
    std::uintptr_t stockBitmap = 0;
    std::uintptr_t stockBrush = 0;
    std::uintptr_t stockFont = 0;
};

inline Table& table() {
    static Table t;
    return t;
}

inline std::uintptr_t Id(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

inline Entry* FindEntry(std::uintptr_t id) {
    auto& entries = table().entries;
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

template <class T> inline T* Get(std::uintptr_t id) {
    Entry* entry = FindEntry(id);
    return entry ? std::get_if<T>(&entry->body) : nullptr;
}

inline DeviceContext* FindDc(HDC hdc) {
    return Get<DeviceContext>(Id(hdc));
}

inline std::uintptr_t Add(Entry entry) {
    Table& t = table();
    const std::uintptr_t id = t.next;
    t.next += 8;
    t.entries.emplace(id, std::move(entry));
    return id;
}

inline QRgb ToQRgb(COLORREF c) {
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

inline COLORREF FromQRgb(QRgb c) {
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

inline LONG Clamp(std::int64_t v) {
    return static_cast<LONG>(std::clamp(v, -Far, Far));
}

// [left, right) x [top, bottom) as a QRect; empty when inverted.
inline QRect ToQRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    const LONG l = Clamp(left), t = Clamp(top), r = Clamp(right), b = Clamp(bottom);
    if (r <= l || b <= t) {
        return {};
    }
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

inline QRect ToQRect(const RECT& r) {
    return ToQRect(r.left, r.top, r.right, r.bottom);
}

// The font a LOGFONTA asks for; gdi_text.cpp holds the rules.
QFont FontFromLogFont(const LOGFONTA& lf);

inline QImage* Surface(const DeviceContext& dc) {
    if (dc.window) {
        return WindowSurface(dc.window); // nullptr once the window is gone
    }
    Bitmap* bitmap = Get<Bitmap>(dc.bitmap);
    return bitmap ? &bitmap->image : nullptr;
}

// Surfaces hold device pixels; every coordinate the calls take is logical.
// Ratio 1 (the common case) maps one to one.
inline QRect LogicalRect(const QImage& image) {
    const double ratio = image.devicePixelRatio();
    if (ratio == 1.0) {
        return image.rect();
    }
    return QRect(0, 0, static_cast<int>(std::lround(image.width() / ratio)),
                 static_cast<int>(std::lround(image.height() / ratio)));
}

// Where drawing on this DC may land, cut to `limit`.
inline QRegion DrawableArea(const DeviceContext& dc, const QImage& image, const QRect& limit) {
    QRegion area(limit & LogicalRect(image));
    if (dc.clip) {
        area &= *dc.clip;
    }
    return area;
}

} // namespace platform::gdi_internal
