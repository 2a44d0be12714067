// Regions and a DC's clipping region.
#include "platform/gdi_private.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

using namespace gdi_internal;

namespace {

int RegionKind(const QRegion& region) {
    if (region.isEmpty()) {
        return NULLREGION;
    }
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Moves a region unless that would carry it out of the safe coordinate range.
bool Translate(QRegion& region, int dx, int dy) {
    const QRect box = region.boundingRect();
    if (!region.isEmpty() && (std::abs(std::int64_t{box.left()} + dx) > Far ||
                              std::abs(std::int64_t{box.right()} + dx) > Far ||
                              std::abs(std::int64_t{box.top()} + dy) > Far ||
                              std::abs(std::int64_t{box.bottom()} + dy) > Far)) {
        return false;
    }
    region.translate(dx, dy);
    return true;
}

} // namespace

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

} // namespace platform
