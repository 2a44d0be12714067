// Device contexts, bitmaps, brushes, fonts and regions, and the drawing calls
// the program makes on them, with the meaning Win32 gives them. Drawing goes
// into QImages: a window DC draws on the window's non-client surface, a memory
// DC on the bitmap selected into it. Every handle is looked up in one table, so
// a stale, foreign or made-up handle is refused (0 / FALSE / ERROR), never
// followed. The calls are split as Win32 splits them: DCs and objects
// (gdi_objects.cpp), regions and clipping (gdi_regions.cpp), fonts and text
// (gdi_text.cpp), and the drawing calls (gdi_drawing.cpp).
#pragma once

#include "platform/win32.h"

// On Windows the calls below are user32's and gdi32's own.
#ifndef _WIN32

namespace platform {

// Device contexts.
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);

// GDI objects. SelectObject returns the object of the same kind that was
// selected before; a region is selected as the clipping region and the region
// kind (NULLREGION, SIMPLEREGION, COMPLEXREGION) comes back instead. An object
// that is selected into a DC cannot be deleted.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBRUSH CreateSolidBrush(COLORREF colour);
HFONT CreateFontIndirectA(const LOGFONTA* logFont);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

// Text state.
int SetBkMode(HDC hdc, int mode);
COLORREF SetBkColor(HDC hdc, COLORREF colour);
COLORREF SetTextColor(HDC hdc, COLORREF colour);

// Rectangles: right and bottom edges are exclusive.
BOOL OffsetRect(RECT* rect, int dx, int dy);

// Drawing; everything honours the DC's clipping region. FillRect also takes
// a system colour index + 1 in place of a brush, as Win32 does.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int DrawTextA(HDC hdc, const char* text, int count, RECT* rect, UINT format);
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH background,
                UINT flags);
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);
BOOL DrawFrameControl(HDC hdc, RECT* rect, UINT type, UINT state);
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);
// CLR_INVALID outside the surface or outside the clipping region.
COLORREF GetPixel(HDC hdc, int x, int y);

// Regions, in the coordinates of the DC they are used with; the layer adds no
// window offset of its own.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int OffsetRgn(HRGN region, int dx, int dy);
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
int GetRgnBox(HRGN region, RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL PtInRegion(HRGN region, int x, int y);

// Clipping. SelectClipRgn copies the region (NULL removes the clip);
// GetClipRgn returns 1 with the clip copied, 0 when the DC has none, -1 on error.
int SelectClipRgn(HDC hdc, HRGN region);
int OffsetClipRgn(HDC hdc, int dx, int dy);
int GetClipRgn(HDC hdc, HRGN region);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);

} // namespace platform

#endif // _WIN32
