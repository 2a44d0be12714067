// Drawing on a DC's surface: filling rectangles, copying bitmaps and reading
// pixels, icons, 3-D edges and the caption buttons' frame controls.
#include "platform/gdi_private.h"

#include <QPainter>
#include <array>

namespace platform {

using namespace gdi_internal;

namespace {

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

constexpr Glyph CloseGlyph = {
    ".........", ".##....##", "..##..##.", "...####..", "....##...",
    "...####..", "..##..##.", ".##....##", ".........",
};
constexpr Glyph MinimizeGlyph = {
    ".........", ".........", ".........", ".........", ".........",
    ".........", ".........", ".######..", ".######..",
};
constexpr Glyph MaximizeGlyph = {
    "#########", "#########", "#.......#", "#.......#", "#.......#",
    "#.......#", "#.......#", "#.......#", "#########",
};
constexpr Glyph RestoreGlyph = {
    "..#######", "..#######", "..#.....#", "#######.#", "#######.#",
    "#.....###", "#.....#..", "#.....#..", "#######..",
};

const Glyph* CaptionGlyph(UINT state) {
    switch (state & 0xFF) {
    case DFCS_CAPTIONCLOSE:
        return &CloseGlyph;
    case DFCS_CAPTIONMIN:
        return &MinimizeGlyph;
    case DFCS_CAPTIONMAX:
        return &MaximizeGlyph;
    case DFCS_CAPTIONRESTORE:
        return &RestoreGlyph;
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

} // namespace platform
