#include "platform/gdi.h"

#include "platform/window_host.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace platform {

namespace {

// Coordinates are kept within this range before they reach Qt, whose rectangle
// arithmetic is plain int: no surface comes near it, so clamping changes no
// pixel, and the sums below can never overflow.
constexpr std::int64_t kFar = std::int64_t{1} << 24;

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

Table& table() {
    static Table t;
    return t;
}

std::uintptr_t Id(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

Entry* FindEntry(std::uintptr_t id) {
    auto& entries = table().entries;
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

template <class T> T* Get(std::uintptr_t id) {
    Entry* entry = FindEntry(id);
    return entry ? std::get_if<T>(&entry->body) : nullptr;
}

DeviceContext* FindDc(HDC hdc) {
    return Get<DeviceContext>(Id(hdc));
}

std::uintptr_t Add(Entry entry) {
    Table& t = table();
    const std::uintptr_t id = t.next;
    t.next += 8;
    t.entries.emplace(id, std::move(entry));
    return id;
}

QRgb ToQRgb(COLORREF c) {
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

COLORREF FromQRgb(QRgb c) {
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

LONG Clamp(std::int64_t v) {
    return static_cast<LONG>(std::clamp(v, -kFar, kFar));
}

// [left, right) x [top, bottom) as a QRect; empty when inverted.
QRect ToQRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    const LONG l = Clamp(left), t = Clamp(top), r = Clamp(right), b = Clamp(bottom);
    if (r <= l || b <= t) {
        return {};
    }
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

QRect ToQRect(const RECT& r) {
    return ToQRect(r.left, r.top, r.right, r.bottom);
}

int RegionKind(const QRegion& region) {
    if (region.isEmpty()) {
        return NULLREGION;
    }
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Moves a region unless that would carry it out of the safe coordinate range.
bool Translate(QRegion& region, int dx, int dy) {
    const QRect box = region.boundingRect();
    if (!region.isEmpty() && (std::abs(std::int64_t{box.left()} + dx) > kFar ||
                              std::abs(std::int64_t{box.right()} + dx) > kFar ||
                              std::abs(std::int64_t{box.top()} + dy) > kFar ||
                              std::abs(std::int64_t{box.bottom()} + dy) > kFar)) {
        return false;
    }
    region.translate(dx, dy);
    return true;
}

// An all-zero LOGFONTA asks for the system's default font: the desktop's
// general font at a classic 11 to 13 pixels.
int DefaultPixelSize() {
    const QFont base = QGuiApplication::font();
    int px = base.pixelSize();
    if (px <= 0) {
        px = static_cast<int>(std::lround(base.pointSizeF() * 96.0 / 72.0));
    }
    return std::clamp(px, 11, 13);
}

QFont FontFromLogFont(const LOGFONTA& lf) {
    QFont font = QGuiApplication::font();
    const std::size_t faceLength = strnlen(lf.lfFaceName, LF_FACESIZE);
    if (faceLength > 0) {
        font.setFamilies({QString::fromUtf8(lf.lfFaceName, static_cast<qsizetype>(faceLength))});
    }
    // Negative: the characters' height; positive: the whole cell's height.
    constexpr std::int64_t kMaxPixels = 2048;
    const std::int64_t height = lf.lfHeight;
    if (height < 0) {
        font.setPixelSize(static_cast<int>(std::min(-height, kMaxPixels)));
    } else if (height > 0) {
        const int cell = static_cast<int>(std::min(height, kMaxPixels));
        font.setPixelSize(cell);
        const int measured = QFontMetrics(font).height();
        if (measured > 0) {
            font.setPixelSize(std::max(
                1, static_cast<int>(std::lround(double(cell) * double(cell) / double(measured)))));
        }
    } else {
        font.setPixelSize(DefaultPixelSize());
    }
    font.setWeight(lf.lfWeight <= 0
                       ? QFont::Normal
                       : static_cast<QFont::Weight>(std::clamp<LONG>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

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

QImage* Surface(const DeviceContext& dc) {
    if (dc.window) {
        return WindowSurface(dc.window); // nullptr once the window is gone
    }
    Bitmap* bitmap = Get<Bitmap>(dc.bitmap);
    return bitmap ? &bitmap->image : nullptr;
}

bool Is32Bit(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

// Surfaces hold device pixels; every coordinate the calls take is logical.
// Ratio 1 (the common case) maps one to one.
QRect LogicalRect(const QImage& image) {
    const double ratio = image.devicePixelRatio();
    if (ratio == 1.0) {
        return image.rect();
    }
    return QRect(0, 0, static_cast<int>(std::lround(image.width() / ratio)),
                 static_cast<int>(std::lround(image.height() / ratio)));
}

int ToDevice(int v, double ratio) {
    return static_cast<int>(std::lround(v * ratio));
}

// The device pixels a logical rectangle covers; neighbouring rectangles meet
// without a gap or an overlap at any ratio.
QRect ToDevice(const QRect& r, double ratio) {
    if (ratio == 1.0 || r.isEmpty()) {
        return r;
    }
    const int left = ToDevice(r.left(), ratio);
    const int top = ToDevice(r.top(), ratio);
    const int right = ToDevice(r.left() + r.width(), ratio);
    const int bottom = ToDevice(r.top() + r.height(), ratio);
    return QRect(left, top, right - left, bottom - top);
}

double DcRatio(const DeviceContext& dc) {
    if (dc.window) {
        const QImage* surface = WindowSurface(dc.window);
        return surface ? surface->devicePixelRatio() : 1.0;
    }
    return dc.ratio;
}

// Where drawing on this DC may land, cut to `limit`.
QRegion DrawableArea(const DeviceContext& dc, const QImage& image, const QRect& limit) {
    QRegion area(limit & LogicalRect(image));
    if (dc.clip) {
        area &= *dc.clip;
    }
    return area;
}

// `logical` in logical pixels, filled in device pixels.
void FillPixels(QImage& image, const QRect& logical, QRgb pixel) {
    const QRect rect = ToDevice(logical, image.devicePixelRatio()) & image.rect();
    if (rect.isEmpty()) {
        return;
    }
    // One detach for the whole rectangle, not one per row.
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride) + rect.left();
        std::fill_n(line, rect.width(), pixel);
    }
}

// Fills `rect` in the DC's colours, clipped; the common case (a 32-bit surface)
// writes the pixels directly, since a caption fills a hundred small bands.
void Fill(const DeviceContext& dc, QImage& image, const QRect& rect, COLORREF colour) {
    const QRect target = rect & LogicalRect(image);
    if (target.isEmpty()) {
        return;
    }
    const QRgb pixel = ToQRgb(colour);
    if (!Is32Bit(image)) {
        const QRegion area = DrawableArea(dc, image, target);
        if (!area.isEmpty()) {
            QPainter painter(&image);
            painter.setClipRegion(area);
            painter.fillRect(target, QColor(pixel));
        }
        return;
    }
    if (!dc.clip) {
        FillPixels(image, target, pixel);
        return;
    }
    for (const QRect& part : QRegion(target) & *dc.clip) {
        FillPixels(image, part, pixel);
    }
}

std::optional<COLORREF> BrushColour(HBRUSH brush) {
    if (const Brush* b = Get<Brush>(Id(brush))) {
        return b->colour;
    }
    // (HBRUSH)(COLOR_xxx + 1) names a system colour.
    const std::uintptr_t value = Id(brush);
    if (value >= 1 && value <= 31) {
        return GetSysColor(static_cast<int>(value - 1));
    }
    return std::nullopt;
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

QFont FontOf(const DeviceContext& dc) {
    if (const Font* f = Get<Font>(dc.font)) {
        return f->font;
    }
    return FontFromLogFont(LOGFONTA{});
}

} // namespace

// ---------------------------------------------------------------------------
// Device contexts

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

// ---------------------------------------------------------------------------
// Objects

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

HFONT CreateFontIndirectA(const LOGFONTA* logFont) {
    if (!logFont) {
        return nullptr;
    }
    return reinterpret_cast<HFONT>(Add(Entry{Font{FontFromLogFont(*logFont)}, false, 0}));
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

int SetBkMode(HDC hdc, int mode) {
    DeviceContext* dc = FindDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) {
        return 0;
    }
    return std::exchange(dc->bkMode, mode);
}

COLORREF SetBkColor(HDC hdc, COLORREF colour) {
    DeviceContext* dc = FindDc(hdc);
    return dc ? std::exchange(dc->bkColour, colour & 0xFFFFFF) : CLR_INVALID;
}

COLORREF SetTextColor(HDC hdc, COLORREF colour) {
    DeviceContext* dc = FindDc(hdc);
    return dc ? std::exchange(dc->textColour, colour & 0xFFFFFF) : CLR_INVALID;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (!rect) {
        return FALSE;
    }
    // Wraps like the 32-bit addition it stands for, without signed overflow.
    rect->left = static_cast<LONG>(std::int64_t{rect->left} + dx);
    rect->right = static_cast<LONG>(std::int64_t{rect->right} + dx);
    rect->top = static_cast<LONG>(std::int64_t{rect->top} + dy);
    rect->bottom = static_cast<LONG>(std::int64_t{rect->bottom} + dy);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Drawing

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    const DeviceContext* dc = FindDc(hdc);
    const std::optional<COLORREF> colour = BrushColour(brush);
    if (!dc || !rect || !colour) {
        return 0;
    }
    if (QImage* image = Surface(*dc)) {
        Fill(*dc, *image, ToQRect(*rect), *colour);
    }
    return 1;
}

namespace {

struct PreparedLine {
    QString text;
    int underline = -1; // index of the character the '&' prefix marks
};

// '&' marks the next character (underlined); "&&" is a plain '&'.
PreparedLine StripPrefixes(const QString& text) {
    PreparedLine out;
    out.text.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out.text += text[i];
            continue;
        }
        if (i + 1 >= text.size()) {
            break; // a lone '&' at the end shows nothing
        }
        ++i;
        if (text[i] != u'&') {
            out.underline = static_cast<int>(out.text.size());
        }
        out.text += text[i];
    }
    return out;
}

// The longest start of `text` that fits `width` with "..." after it.
QString EndEllipsis(const QFontMetrics& metrics, const QString& text, int width) {
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    static const QString dots = QStringLiteral("...");
    qsizetype low = 0, high = text.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + dots) <= width) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    if (low > 0 && text[low - 1].isHighSurrogate()) {
        --low;
    }
    return text.left(low) + dots;
}

QStringList SplitLines(const QString& text) {
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(u'\r', u'\n');
    return unified.split(u'\n');
}

qsizetype FloorHalf(qsizetype v) {
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

} // namespace

int DrawTextA(HDC hdc, const char* text, int count, RECT* rect, UINT format) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || !text || !rect) {
        return 0;
    }
    // A count never reaches past the string's terminating NUL.
    const std::size_t length =
        count < 0 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(count));
    const QString whole = QString::fromUtf8(text, static_cast<qsizetype>(length));
    QImage* image = Surface(*dc);
    const QFont font = FontOf(*dc);
    const QFontMetrics metrics = image ? QFontMetrics(font, image) : QFontMetrics(font);
    const int lineHeight = metrics.height();
    const bool single = format & DT_SINGLELINE;
    const bool calc = format & DT_CALCRECT;

    if (whole.isEmpty()) {
        if (calc) {
            rect->right = rect->left;
            rect->bottom = single ? Clamp(std::int64_t{rect->top} + lineHeight) : rect->top;
        }
        return 0;
    }

    const QRect box = ToQRect(rect->left, rect->top, rect->right, rect->bottom);
    const std::int64_t width = std::int64_t{rect->right} - rect->left;
    const std::int64_t height = std::int64_t{rect->bottom} - rect->top;
    const QStringList sources = single ? QStringList{whole} : SplitLines(whole);

    struct Placed {
        PreparedLine line;
        int visible = 0; // characters before any ellipsis
        std::int64_t x = 0, y = 0, width = 0;
    };
    std::vector<Placed> lines;
    std::int64_t y = rect->top;
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) {
        const std::int64_t spare = height - lineHeight;
        y += (format & DT_VCENTER) ? FloorHalf(spare) : spare;
    }
    std::int64_t widest = 0;
    for (const QString& source : sources) {
        Placed placed;
        placed.line = (format & DT_NOPREFIX) ? PreparedLine{source, -1} : StripPrefixes(source);
        placed.visible = static_cast<int>(placed.line.text.size());
        if (format & DT_END_ELLIPSIS) {
            const int room = static_cast<int>(std::clamp<std::int64_t>(width, 0, kFar));
            const QString cut = EndEllipsis(metrics, placed.line.text, room);
            if (cut != placed.line.text) {
                placed.visible = static_cast<int>(cut.size()) - 3;
                placed.line.text = cut;
            }
        }
        placed.width = metrics.horizontalAdvance(placed.line.text);
        placed.x = rect->left;
        if (format & DT_CENTER) {
            placed.x += FloorHalf(width - placed.width);
        } else if (format & DT_RIGHT) {
            placed.x += width - placed.width;
        }
        placed.y = y;
        y += lineHeight;
        widest = std::max(widest, placed.width);
        lines.push_back(std::move(placed));
    }
    const int result = static_cast<int>(y - rect->top);

    if (calc) {
        rect->right = Clamp(std::int64_t{rect->left} + widest);
        rect->bottom =
            Clamp(std::int64_t{rect->top} + static_cast<std::int64_t>(lines.size()) * lineHeight);
        return result;
    }
    if (!image) {
        return result;
    }
    const QRegion area = DrawableArea(*dc, *image, box); // DrawText clips to its rectangle
    if (area.isEmpty()) {
        return result;
    }
    QPainter painter(image);
    painter.setClipRegion(area);
    painter.setFont(font);
    const QColor ink(ToQRgb(dc->textColour));
    painter.setPen(ink);
    for (const Placed& placed : lines) {
        const int x = Clamp(placed.x);
        const int top = Clamp(placed.y);
        if (dc->bkMode == OPAQUE) {
            painter.fillRect(QRect(x, top, static_cast<int>(placed.width), lineHeight),
                             QColor(ToQRgb(dc->bkColour)));
        }
        painter.drawText(QPoint(x, top + metrics.ascent()), placed.line.text);
        const int mark = placed.line.underline;
        if (mark >= 0 && mark < placed.visible) {
            const int from = x + metrics.horizontalAdvance(placed.line.text.left(mark));
            const int span = metrics.horizontalAdvance(placed.line.text.mid(mark, 1));
            painter.fillRect(QRect(from, top + metrics.ascent() + 1, span, 1), ink);
        }
    }
    return result;
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH background,
                UINT flags) {
    (void)step; // our icons have one frame
    const DeviceContext* dc = FindDc(hdc);
    const QImage* source = IconImage(icon);
    if (!dc || !source || source->isNull() || (flags & DI_NORMAL) == 0) {
        return FALSE;
    }
    const int width = cx > 0 ? cx : source->width();
    const int height = cy > 0 ? cy : source->height();
    if (std::int64_t{width} * height > std::int64_t{1} << 26) {
        return FALSE;
    }
    QImage* image = Surface(*dc);
    if (!image) {
        return TRUE;
    }
    const QRect target = ToQRect(x, y, std::int64_t{x} + width, std::int64_t{y} + height);
    const QRegion area = DrawableArea(*dc, *image, target);
    if (area.isEmpty()) {
        return TRUE;
    }
    // Scaled to the device pixels it covers, so it is as sharp as the screen.
    const double ratio = image->devicePixelRatio();
    const QSize device(std::max(1, ToDevice(width, ratio)), std::max(1, ToDevice(height, ratio)));
    QImage art = (source->size() == device
                      ? *source
                      : source->scaled(device, Qt::IgnoreAspectRatio, Qt::FastTransformation))
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    art.setDevicePixelRatio(ratio);
    if ((flags & DI_NORMAL) == DI_IMAGE) {
        // The colour image alone, without its mask: what is transparent in
        // the icon shows the colour channels over black.
        for (int row = 0; row < art.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(art.scanLine(row));
            for (int col = 0; col < art.width(); ++col) {
                line[col] |= 0xFF000000;
            }
        }
    } else if ((flags & DI_NORMAL) == DI_MASK) {
        // The mask alone: opaque parts black, the rest left as it was.
        for (int row = 0; row < art.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(art.scanLine(row));
            for (int col = 0; col < art.width(); ++col) {
                line[col] = qAlpha(line[col]) >= 128 ? 0xFF000000 : 0;
            }
        }
    }
    if (const std::optional<COLORREF> fill = background ? BrushColour(background) : std::nullopt) {
        Fill(*dc, *image, target, *fill);
    }
    QPainter painter(image);
    painter.setClipRegion(area);
    painter.drawImage(target.topLeft(), art);
    return TRUE;
}

namespace {

// One ring of a 3-D edge: top and left lines in one colour, stopping a pixel
// short; bottom and right lines in the other, full length, as Win32 draws them.
void EdgeRing(const DeviceContext& dc, QImage& image, const QRect& r, UINT sides, COLORREF topLeft,
              COLORREF bottomRight) {
    if (r.isEmpty()) {
        return;
    }
    if (sides & BF_TOP) {
        Fill(dc, image, QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    }
    if (sides & BF_LEFT) {
        Fill(dc, image, QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    }
    if (sides & BF_BOTTOM) {
        Fill(dc, image, QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    }
    if (sides & BF_RIGHT) {
        Fill(dc, image, QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    }
}

QRect Inset(const QRect& r, UINT sides) {
    return r.adjusted((sides & BF_LEFT) ? 1 : 0, (sides & BF_TOP) ? 1 : 0,
                      (sides & BF_RIGHT) ? -1 : 0, (sides & BF_BOTTOM) ? -1 : 0);
}

// Draws the edge and returns the rectangle inside it.
QRect PaintEdge(const DeviceContext& dc, QImage* image, QRect r, UINT edge, UINT flags) {
    const UINT sides = flags & BF_RECT;
    const COLORREF light = GetSysColor(COLOR_3DLIGHT);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
        if (image) {
            const bool raised = edge & BDR_RAISEDOUTER;
            EdgeRing(dc, *image, r, sides, raised ? light : shadow, raised ? dark : highlight);
        }
        r = Inset(r, sides);
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
        if (image) {
            const bool raised = edge & BDR_RAISEDINNER;
            EdgeRing(dc, *image, r, sides, raised ? highlight : dark, raised ? shadow : light);
        }
        r = Inset(r, sides);
    }
    if ((flags & BF_MIDDLE) && image && r.isValid()) {
        Fill(dc, *image, r, GetSysColor(COLOR_BTNFACE));
    }
    return r;
}

// Caption button glyphs on a 9 x 9 grid, '#' inked.
using Glyph = std::array<const char*, 9>;

constexpr Glyph kCloseGlyph = {
    ".........", ".##....##", "..##..##.", "...####..", "....##...",
    "...####..", "..##..##.", ".##....##", ".........",
};
constexpr Glyph kMinimizeGlyph = {
    ".........", ".........", ".........", ".........", ".........",
    ".........", ".........", ".######..", ".######..",
};
constexpr Glyph kMaximizeGlyph = {
    "#########", "#########", "#.......#", "#.......#", "#.......#",
    "#.......#", "#.......#", "#.......#", "#########",
};
constexpr Glyph kRestoreGlyph = {
    "..#######", "..#######", "..#.....#", "#######.#", "#######.#",
    "#.....###", "#.....#..", "#.....#..", "#######..",
};

const Glyph* CaptionGlyph(UINT state) {
    switch (state & 0xFF) {
    case DFCS_CAPTIONCLOSE:
        return &kCloseGlyph;
    case DFCS_CAPTIONMIN:
        return &kMinimizeGlyph;
    case DFCS_CAPTIONMAX:
        return &kMaximizeGlyph;
    case DFCS_CAPTIONRESTORE:
        return &kRestoreGlyph;
    default:
        return nullptr;
    }
}

void PaintGlyph(const DeviceContext& dc, QImage& image, const Glyph& glyph, QPoint origin,
                int scale, const QRect& limit, COLORREF colour) {
    for (int row = 0; row < 9; ++row) {
        for (int col = 0; col < 9; ++col) {
            if (glyph[row][col] == '#') {
                const QRect dot(origin.x() + col * scale, origin.y() + row * scale, scale, scale);
                Fill(dc, image, dot & limit, colour);
            }
        }
    }
}

} // namespace

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || !rect) {
        return FALSE;
    }
    const QRect outer = ToQRect(*rect);
    const QRect inner = PaintEdge(*dc, Surface(*dc), outer, edge, flags);
    if ((flags & BF_ADJUST) && !outer.isEmpty()) {
        rect->left += inner.left() - outer.left();
        rect->top += inner.top() - outer.top();
        rect->right -= outer.right() - inner.right();
        rect->bottom -= outer.bottom() - inner.bottom();
    }
    return TRUE;
}

BOOL DrawFrameControl(HDC hdc, RECT* rect, UINT type, UINT state) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || !rect || type != DFC_CAPTION) {
        return FALSE;
    }
    QImage* image = Surface(*dc);
    const QRect button = ToQRect(*rect);
    if (!image || button.isEmpty()) {
        return TRUE;
    }
    const bool pushed = state & DFCS_PUSHED;
    const QRect inside =
        PaintEdge(*dc, image, button, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
    const Glyph* glyph = CaptionGlyph(state);
    if (!glyph || inside.isEmpty()) {
        return TRUE;
    }
    // The classic 16 x 14 button holds the glyph at its own size; larger
    // buttons get it in whole multiples.
    const int scale = std::max(1, std::min(inside.width() / 12, inside.height() / 10));
    const int size = 9 * scale;
    QPoint origin(button.left() + (button.width() - size) / 2,
                  button.top() + (button.height() - size) / 2);
    if (pushed) {
        origin += QPoint(1, 1);
    }
    if (state & DFCS_INACTIVE) { // embossed: a white copy under a grey one
        PaintGlyph(*dc, *image, *glyph, origin + QPoint(1, 1), scale, inside,
                   GetSysColor(COLOR_BTNHIGHLIGHT));
        PaintGlyph(*dc, *image, *glyph, origin, scale, inside, GetSysColor(COLOR_BTNSHADOW));
    } else {
        PaintGlyph(*dc, *image, *glyph, origin, scale, inside, GetSysColor(COLOR_BTNTEXT));
    }
    return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop) {
    const DeviceContext* to = FindDc(dst);
    const DeviceContext* from = FindDc(src);
    if (!to || !from || rop != SRCCOPY) {
        return FALSE;
    }
    QImage* target = Surface(*to);
    const QImage* origin = Surface(*from);
    if (!target || !origin || cx <= 0 || cy <= 0) {
        return TRUE;
    }
    // Source pixel for destination (px, py) is (px + dx, py + dy).
    const std::int64_t dx = std::int64_t{x1} - x;
    const std::int64_t dy = std::int64_t{y1} - y;
    const QRect wanted = ToQRect(x, y, std::int64_t{x} + cx, std::int64_t{y} + cy);
    const QRect sourceArea = LogicalRect(*origin);
    const QRect available = ToQRect(-dx, -dy, std::int64_t{sourceArea.width()} - dx,
                                    std::int64_t{sourceArea.height()} - dy);
    const QRegion area = DrawableArea(*to, *target, wanted & available);
    if (area.isEmpty()) {
        return TRUE;
    }
    // A shallow copy keeps the source as it was even when it is the target.
    QImage source = *origin;
    if (!Is32Bit(source)) {
        source = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    const double ratio = target->devicePixelRatio();
    if (!Is32Bit(*target) || source.devicePixelRatio() != ratio) {
        // Another format or another pixel ratio: let the painter convert.
        QPainter painter(target);
        painter.setClipRegion(area);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(Clamp(-dx), Clamp(-dy)), source);
        return TRUE;
    }
    // Bitmaps are opaque: colour channels are copied, alpha set full. Both
    // sides have the same ratio, so device pixels map one to one.
    const int ddx = ToDevice(static_cast<int>(dx), ratio);
    const int ddy = ToDevice(static_cast<int>(dy), ratio);
    const QRect readable = source.rect().translated(-ddx, -ddy);
    const uchar* sourceBits = source.constBits();
    const qsizetype sourceStride = source.bytesPerLine();
    uchar* targetBits = target->bits(); // detaches once, after `source` took its copy
    const qsizetype targetStride = target->bytesPerLine();
    for (const QRect& logical : area) {
        const QRect part = ToDevice(logical, ratio) & target->rect() & readable;
        for (int row = part.top(); row <= part.bottom(); ++row) {
            const auto* in =
                reinterpret_cast<const QRgb*>(sourceBits + (row + ddy) * sourceStride) +
                (part.left() + ddx);
            auto* out = reinterpret_cast<QRgb*>(targetBits + row * targetStride) + part.left();
            for (int i = 0; i < part.width(); ++i) {
                out[i] = in[i] | 0xFF000000;
            }
        }
    }
    return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    const DeviceContext* dc = FindDc(hdc);
    const QImage* image = dc ? Surface(*dc) : nullptr;
    if (!image || !LogicalRect(*image).contains(x, y) ||
        (dc->clip && !dc->clip->contains(QPoint(x, y)))) {
        return CLR_INVALID;
    }
    // The device pixel at the logical pixel's top-left corner.
    const double ratio = image->devicePixelRatio();
    const QPoint device(std::min(ToDevice(x, ratio), image->width() - 1),
                        std::min(ToDevice(y, ratio), image->height() - 1));
    return FromQRgb(image->pixel(device));
}

// ---------------------------------------------------------------------------
// Regions and clipping

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    // Win32 orders the corners.
    const QRect r = ToQRect(std::min(left, right), std::min(top, bottom), std::max(left, right),
                            std::max(top, bottom));
    return reinterpret_cast<HRGN>(Add(Entry{Region{QRegion(r)}, false, 0}));
}

int OffsetRgn(HRGN region, int dx, int dy) {
    Region* r = Get<Region>(Id(region));
    if (!r || !Translate(r->region, dx, dy)) {
        return ERROR;
    }
    return RegionKind(r->region);
}

int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
    Region* out = Get<Region>(Id(dst));
    const Region* a = Get<Region>(Id(src1));
    if (!out || !a) {
        return ERROR;
    }
    if (mode == RGN_COPY) {
        out->region = a->region;
        return RegionKind(out->region);
    }
    const Region* b = Get<Region>(Id(src2));
    if (!b) {
        return ERROR;
    }
    switch (mode) {
    case RGN_AND:
        out->region = a->region & b->region;
        break;
    case RGN_OR:
        out->region = a->region | b->region;
        break;
    case RGN_XOR:
        out->region = a->region ^ b->region;
        break;
    case RGN_DIFF:
        out->region = a->region - b->region;
        break;
    default:
        return ERROR;
    }
    return RegionKind(out->region);
}

int GetRgnBox(HRGN region, RECT* rect) {
    const Region* r = Get<Region>(Id(region));
    if (!r || !rect) {
        return ERROR;
    }
    const QRect box = r->region.boundingRect();
    if (r->region.isEmpty()) {
        *rect = RECT{0, 0, 0, 0};
    } else {
        *rect = RECT{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
    }
    return RegionKind(r->region);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    const Region* ra = Get<Region>(Id(a));
    const Region* rb = Get<Region>(Id(b));
    if (!ra || !rb) {
        return ERROR;
    }
    return ra->region == rb->region ? TRUE : FALSE;
}

BOOL PtInRegion(HRGN region, int x, int y) {
    const Region* r = Get<Region>(Id(region));
    return r && r->region.contains(QPoint(x, y)) ? TRUE : FALSE;
}

int SelectClipRgn(HDC hdc, HRGN region) {
    DeviceContext* dc = FindDc(hdc);
    if (!dc) {
        return ERROR;
    }
    if (!region) {
        dc->clip.reset();
        return SIMPLEREGION;
    }
    const Region* r = Get<Region>(Id(region));
    if (!r) {
        return ERROR;
    }
    dc->clip = r->region;
    return RegionKind(*dc->clip);
}

int OffsetClipRgn(HDC hdc, int dx, int dy) {
    DeviceContext* dc = FindDc(hdc);
    if (!dc) {
        return ERROR;
    }
    if (!dc->clip) {
        return SIMPLEREGION; // no clipping region: nothing to move
    }
    if (!Translate(*dc->clip, dx, dy)) {
        return ERROR;
    }
    return RegionKind(*dc->clip);
}

int GetClipRgn(HDC hdc, HRGN region) {
    const DeviceContext* dc = FindDc(hdc);
    Region* r = Get<Region>(Id(region));
    if (!dc || !r) {
        return -1;
    }
    if (!dc->clip) {
        return 0;
    }
    r->region = *dc->clip;
    return 1;
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DeviceContext* dc = FindDc(hdc);
    if (!dc) {
        return ERROR;
    }
    if (!dc->clip) {
        const QImage* image = Surface(*dc);
        dc->clip = image ? QRegion(LogicalRect(*image)) : QRegion();
    }
    *dc->clip -= QRegion(ToQRect(std::min(left, right), std::min(top, bottom),
                                 std::max(left, right), std::max(top, bottom)));
    return RegionKind(*dc->clip);
}

int LiveGdiObjectCount() {
    const auto& entries = table().entries;
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [](const auto& item) { return !item.second.stock; }));
}

} // namespace platform
