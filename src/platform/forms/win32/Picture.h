// Pictures and pointers as Win32 holds them: a 32-bit DIB section with its
// alpha already multiplied in (what AlphaBlend draws), and a cursor.
#pragma once

#include "platform/forms/Picture.h"
#include "platform/win32.h"

namespace platform::forms {

struct Picture::Data {
    Data(HBITMAP made, int w, int h, bool solid)
        : bitmap(made), width(w), height(h), opaque(solid) {}
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;
    ~Data() { DeleteObject(bitmap); }

    // Top-down, 32 bits a pixel, BGRA in memory, premultiplied.
    HBITMAP bitmap;
    int width;
    int height;
    // Every pixel fully opaque: drawn by a plain copy, much cheaper than a blend.
    bool opaque;
};

struct MousePointer::Data {
    explicit Data(HCURSOR made) : cursor(made) {}
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;
    ~Data() { DestroyCursor(cursor); }

    HCURSOR cursor;
};

namespace win32 {

// A fresh top-down 32-bit DIB section and its pixels; null when it cannot be made.
HBITMAP MakeDibSection(int width, int height, void** bits);
// Takes over `bitmap` (one made by MakeDibSection, premultiplied).
Picture PictureOfBitmap(HBITMAP bitmap, int width, int height);
// Draws the picture at its natural size with (x, y) as its top-left corner,
// blended over what is there.
void DrawPicture(HDC dc, int x, int y, const Picture& picture);
// An icon of the picture at `size` pixels square (scaled); null for none.
HICON IconOf(const Picture& picture, int size);
// The standard arrow for the standard pointer.
HCURSOR CursorOf(const MousePointer& pointer);

} // namespace win32

} // namespace platform::forms
