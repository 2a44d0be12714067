// The drawing layer's semantics the caption painter and the frame painting
// rely on: handles, selection, clipping, copying, text, icons and buttons.
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/window_host.h"

#include <QImage>
#include <gtest/gtest.h>
#include <string>

using namespace platform;

namespace {

// Every test must free what it makes.
class Gdi : public ::testing::Test {
protected:
    void SetUp() override { live_ = gdi_testing::LiveGdiObjectCount(); }
    void TearDown() override {
        EXPECT_EQ(gdi_testing::LiveGdiObjectCount(), live_) << "GDI objects leaked";
    }

private:
    int live_ = 0;
};

// A memory DC with a bitmap of its own selected.
struct MemorySurface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;

    MemorySurface(int width, int height) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, width, height);
        previous = SelectObject(dc, bitmap);
    }
    ~MemorySurface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;
};

// A region handle freed at the end of the scope.
struct Rgn {
    HRGN h;
    Rgn(int l, int t, int r, int b) : h(CreateRectRgn(l, t, r, b)) {}
    ~Rgn() { DeleteObject(h); }
    Rgn(const Rgn&) = delete;
    Rgn& operator=(const Rgn&) = delete;
};

struct Brush {
    HBRUSH h;
    explicit Brush(COLORREF c) : h(CreateSolidBrush(c)) {}
    ~Brush() { DeleteObject(h); }
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
};

void Fill(HDC dc, RECT r, COLORREF colour) {
    Brush brush(colour);
    FillRect(dc, &r, brush.h);
}

QImage Capture(HDC dc, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            image.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        }
    }
    return image;
}

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// The region's bounding box as "left,top,right,bottom".
std::string Box(HRGN region) {
    RECT r{-1, -1, -1, -1};
    GetRgnBox(region, &r);
    return Text(r);
}

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Green = RGB(0, 255, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Black = RGB(0, 0, 0);

// --- Handles -------------------------------------------------------------------

TEST_F(Gdi, BadHandlesAreRefusedHarmlessly) {
    HBRUSH brush = CreateSolidBrush(Red);
    HRGN region = CreateRectRgn(0, 0, 4, 4);
    HDC dead = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(dead));
    HDC made = reinterpret_cast<HDC>(std::uintptr_t{0x1234});
    HDC wrongKind = reinterpret_cast<HDC>(brush);
    RECT r{0, 0, 4, 4};
    for (HDC bad : {static_cast<HDC>(nullptr), dead, made, wrongKind}) {
        EXPECT_EQ(FillRect(bad, &r, brush), 0);
        EXPECT_EQ(SelectObject(bad, brush), nullptr);
        EXPECT_EQ(DeleteDC(bad), FALSE);
        EXPECT_EQ(SetBkMode(bad, TRANSPARENT), 0);
        EXPECT_EQ(SetTextColor(bad, Red), CLR_INVALID);
        EXPECT_EQ(DrawTextA(bad, "x", -1, &r, DT_SINGLELINE), 0);
        EXPECT_EQ(DrawFrameControl(bad, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE), FALSE);
        EXPECT_EQ(DrawEdge(bad, &r, EDGE_RAISED, BF_RECT), FALSE);
        EXPECT_EQ(BitBlt(bad, 0, 0, 4, 4, bad, 0, 0, SRCCOPY), FALSE);
        EXPECT_EQ(GetPixel(bad, 0, 0), CLR_INVALID);
        EXPECT_EQ(SelectClipRgn(bad, region), ERROR);
        EXPECT_EQ(OffsetClipRgn(bad, 1, 1), ERROR);
        EXPECT_EQ(GetClipRgn(bad, region), -1);
        EXPECT_EQ(ExcludeClipRect(bad, 0, 0, 1, 1), ERROR);
        EXPECT_EQ(CreateCompatibleBitmap(bad, 4, 4), nullptr);
        EXPECT_EQ(ReleaseDC(nullptr, bad), 0);
    }
    EXPECT_EQ(CreateCompatibleDC(made), nullptr);
    EXPECT_EQ(GetWindowDC(reinterpret_cast<HWND>(std::uintptr_t{0x77})), nullptr);

    HGDIOBJ badObject = reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x5678});
    EXPECT_EQ(DeleteObject(badObject), FALSE);
    EXPECT_EQ(DeleteObject(nullptr), FALSE);
    EXPECT_EQ(OffsetRgn(brush, 1, 1), ERROR);
    EXPECT_EQ(CombineRgn(region, brush, region, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(region, region, region, 99), ERROR);
    EXPECT_EQ(GetRgnBox(badObject, &r), ERROR);
    EXPECT_EQ(OffsetRect(nullptr, 1, 1), FALSE);
    {
        MemorySurface s(4, 4);
        EXPECT_EQ(SelectObject(s.dc, badObject), nullptr);
        EXPECT_EQ(FillRect(s.dc, &r, badObject), 0);
        EXPECT_EQ(
            DrawIconEx(s.dc, 0, 0, reinterpret_cast<HICON>(brush), 4, 4, 0, nullptr, DI_NORMAL),
            FALSE);
        EXPECT_EQ(DrawTextA(s.dc, nullptr, 3, &r, 0), 0);
        EXPECT_EQ(SelectClipRgn(s.dc, brush), ERROR);
        EXPECT_EQ(GetClipRgn(s.dc, brush), -1);
    }
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(region));
    EXPECT_EQ(DeleteObject(brush), FALSE) << "a handle is not freed twice";
}

TEST_F(Gdi, SelectObjectReturnsThePreviousObjectOfTheSameKind) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP a = CreateCompatibleBitmap(dc, 8, 8);
    HBITMAP b = CreateCompatibleBitmap(dc, 8, 8);
    HBRUSH brush = CreateSolidBrush(Red);
    LOGFONTA lf{};
    HFONT font = CreateFontIndirectA(&lf);
    HRGN region = CreateRectRgn(0, 0, 2, 2);

    HGDIOBJ defaultBitmap = SelectObject(dc, a);
    ASSERT_NE(defaultBitmap, nullptr);
    EXPECT_EQ(SelectObject(dc, b), a);
    EXPECT_EQ(SelectObject(dc, b), b) << "selecting the selected bitmap again";
    HGDIOBJ defaultBrush = SelectObject(dc, brush);
    ASSERT_NE(defaultBrush, nullptr);
    EXPECT_NE(defaultBrush, defaultBitmap);
    HGDIOBJ defaultFont = SelectObject(dc, font);
    ASSERT_NE(defaultFont, nullptr);
    EXPECT_EQ(SelectObject(dc, region), reinterpret_cast<HGDIOBJ>(std::uintptr_t(SIMPLEREGION)));
    EXPECT_EQ(GetClipRgn(dc, region), 1) << "a selected region is the clipping region";

    EXPECT_FALSE(DeleteObject(b)) << "selected objects are not deleted";
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_TRUE(DeleteObject(region)) << "the clip is a copy";
    EXPECT_TRUE(DeleteObject(a));

    EXPECT_EQ(SelectObject(dc, defaultBitmap), b);
    EXPECT_EQ(SelectObject(dc, defaultBrush), brush);
    EXPECT_EQ(SelectObject(dc, defaultFont), font);
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Gdi, ABitmapLivesInOneMemoryDcAtATime) {
    HWND hwnd = CreateWindowRecord(WindowCreate{"w", WS_CAPTION, RECT{0, 0, 20, 20}});
    HDC one = CreateCompatibleDC(nullptr);
    HDC two = CreateCompatibleDC(one);
    HDC window = GetWindowDC(hwnd);
    HBITMAP bitmap = CreateCompatibleBitmap(one, 4, 4);
    HGDIOBJ old = SelectObject(one, bitmap);
    EXPECT_EQ(SelectObject(two, bitmap), nullptr);
    EXPECT_EQ(SelectObject(window, bitmap), nullptr);
    EXPECT_EQ(DeleteDC(window), FALSE) << "a window DC goes back through ReleaseDC";
    EXPECT_TRUE(DeleteDC(one)) << "deleting a DC leaves its objects alive";
    EXPECT_NE(SelectObject(two, bitmap), nullptr) << "and free to select elsewhere";
    SelectObject(two, old);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(two));
    EXPECT_EQ(ReleaseDC(nullptr, window), 0) << "released for its own window only";
    EXPECT_EQ(ReleaseDC(hwnd, window), 1);
    DestroyWindow(hwnd);
}

TEST_F(Gdi, CompatibleBitmapsStartBlackAndRefuseBadSizes) {
    MemorySurface s(5, 3);
    EXPECT_EQ(GetPixel(s.dc, 0, 0), Black);
    EXPECT_EQ(GetPixel(s.dc, 4, 2), Black);
    EXPECT_EQ(GetPixel(s.dc, 5, 2), CLR_INVALID);
    EXPECT_EQ(GetPixel(s.dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(CreateCompatibleBitmap(s.dc, -1, 4), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(s.dc, 100000, 100000), nullptr);
    HBITMAP empty = CreateCompatibleBitmap(s.dc, 0, 0);
    ASSERT_NE(empty, nullptr) << "a zero size gives a 1 x 1 bitmap, as Win32";
    HDC dc = CreateCompatibleDC(s.dc);
    HGDIOBJ old = SelectObject(dc, empty);
    EXPECT_EQ(GetPixel(dc, 0, 0), Black);
    EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(empty);
}

TEST_F(Gdi, LiveObjectCountFollowsCreateAndDelete) {
    const int before = gdi_testing::LiveGdiObjectCount();
    HBRUSH brush = CreateSolidBrush(Red);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(gdi_testing::LiveGdiObjectCount(), before + 2);
    DeleteObject(brush);
    DeleteDC(dc);
    EXPECT_EQ(gdi_testing::LiveGdiObjectCount(), before);
}

// --- Filling and copying -----------------------------------------------------------

TEST_F(Gdi, FillRectExcludesRightAndBottomAndHonoursTheClip) {
    MemorySurface s(10, 10);
    Fill(s.dc, RECT{2, 3, 5, 6}, Red);
    EXPECT_EQ(GetPixel(s.dc, 2, 3), Red);
    EXPECT_EQ(GetPixel(s.dc, 4, 5), Red);
    EXPECT_EQ(GetPixel(s.dc, 5, 5), Black);
    EXPECT_EQ(GetPixel(s.dc, 4, 6), Black);
    EXPECT_EQ(GetPixel(s.dc, 1, 3), Black);

    Fill(s.dc, RECT{8, 8, 6, 6}, Red); // inverted: nothing
    EXPECT_EQ(GetPixel(s.dc, 7, 7), Black);
    Fill(s.dc, RECT{-100, -100, 1, 1}, Blue); // partly off the surface
    EXPECT_EQ(GetPixel(s.dc, 0, 0), Blue);

    {
        Rgn clip(0, 0, 10, 5);
        SelectClipRgn(s.dc, clip.h);
    }
    ExcludeClipRect(s.dc, 0, 0, 3, 5);
    Fill(s.dc, RECT{0, 0, 10, 10}, Green);
    EXPECT_EQ(GetPixel(s.dc, 3, 0), Green);
    EXPECT_EQ(GetPixel(s.dc, 9, 4), Green);
    EXPECT_EQ(GetPixel(s.dc, 2, 4), CLR_INVALID) << "outside the clip";
    SelectClipRgn(s.dc, nullptr);
    EXPECT_EQ(GetPixel(s.dc, 2, 4), Red) << "the earlier fill, untouched";
    EXPECT_EQ(GetPixel(s.dc, 9, 5), Black);

    RECT all{0, 0, 10, 10};
    FillRect(s.dc, &all, reinterpret_cast<HBRUSH>(std::uintptr_t(COLOR_BTNFACE + 1)));
    EXPECT_EQ(GetPixel(s.dc, 5, 5), GetSysColor(COLOR_BTNFACE));
}

TEST_F(Gdi, BitBltCopiesWithinTheDestinationClipOnly) {
    MemorySurface src(8, 8);
    MemorySurface dst(8, 8);
    Fill(src.dc, RECT{0, 0, 8, 8}, Red);
    Fill(src.dc, RECT{0, 0, 1, 1}, Blue);
    {
        Rgn clip(0, 0, 2, 2);
        SelectClipRgn(src.dc, clip.h); // the source's clip does not matter
    }
    {
        Rgn clip(2, 2, 6, 6);
        SelectClipRgn(dst.dc, clip.h);
    }
    EXPECT_TRUE(BitBlt(dst.dc, 1, 1, 6, 6, src.dc, 0, 0, SRCCOPY));
    SelectClipRgn(dst.dc, nullptr);
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), Black) << "outside the destination clip";
    EXPECT_EQ(GetPixel(dst.dc, 2, 2), Red);
    EXPECT_EQ(GetPixel(dst.dc, 5, 5), Red);
    EXPECT_EQ(GetPixel(dst.dc, 6, 6), Black);

    // Parts outside the source are left alone; zero sizes copy nothing.
    Fill(dst.dc, RECT{0, 0, 8, 8}, White);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 8, 8, src.dc, 6, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), Red);
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), White);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 0, 8, src.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, 0x00EE0086)) << "only SRCCOPY";
}

TEST_F(Gdi, BitBltWithinOneSurfaceReadsTheSourceBeforeWriting) {
    MemorySurface s(6, 1);
    const COLORREF colours[] = {RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0),
                                RGB(40, 0, 0), RGB(50, 0, 0), RGB(60, 0, 0)};
    for (int x = 0; x < 6; ++x) {
        Fill(s.dc, RECT{x, 0, x + 1, 1}, colours[x]);
    }
    BitBlt(s.dc, 1, 0, 5, 1, s.dc, 0, 0, SRCCOPY);
    for (int x = 1; x < 6; ++x) {
        EXPECT_EQ(GetPixel(s.dc, x, 0), colours[x - 1]) << "x " << x;
    }
}

// --- Regions and clipping ------------------------------------------------------------

TEST_F(Gdi, RegionsCombineOffsetAndReportTheirKind) {
    Rgn a(10, 10, 0, 0); // corners given the wrong way round
    EXPECT_EQ(Box(a.h), "0,0,10,10");
    Rgn b(5, 5, 15, 15);
    Rgn out(0, 0, 0, 0);
    EXPECT_EQ(Box(out.h), "0,0,0,0");
    RECT box{};
    EXPECT_EQ(GetRgnBox(out.h, &box), NULLREGION) << "empty";
    EXPECT_EQ(CombineRgn(out.h, a.h, b.h, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(Box(out.h), "5,5,10,10");
    EXPECT_EQ(CombineRgn(out.h, a.h, b.h, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(Box(out.h), "0,0,15,15");
    EXPECT_FALSE(PtInRegion(out.h, 12, 2));
    EXPECT_EQ(CombineRgn(out.h, a.h, b.h, RGN_DIFF), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(out.h, 4, 9));
    EXPECT_FALSE(PtInRegion(out.h, 5, 5));
    EXPECT_EQ(CombineRgn(out.h, a.h, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(out.h, a.h));
    EXPECT_EQ(OffsetRgn(out.h, 3, -2), SIMPLEREGION);
    EXPECT_EQ(Box(out.h), "3,-2,13,8");
    EXPECT_EQ(OffsetRgn(out.h, 0x7FFFFFFF, 0), ERROR) << "no wrap-around";
    EXPECT_EQ(Box(out.h), "3,-2,13,8");
}

TEST_F(Gdi, ClipRegionIsSelectedOffsetExcludedAndReadBack) {
    MemorySurface s(100, 60);
    Rgn read(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(s.dc, read.h), 0) << "a new DC has no clip";
    {
        Rgn clip(10, 10, 50, 50);
        EXPECT_EQ(SelectClipRgn(s.dc, clip.h), SIMPLEREGION);
        OffsetRgn(clip.h, 100, 100); // the DC keeps its own copy
    }
    EXPECT_EQ(GetClipRgn(s.dc, read.h), 1);
    EXPECT_EQ(Box(read.h), "10,10,50,50");
    EXPECT_EQ(OffsetClipRgn(s.dc, -10, -10), SIMPLEREGION);
    GetClipRgn(s.dc, read.h);
    EXPECT_EQ(Box(read.h), "0,0,40,40");
    EXPECT_EQ(ExcludeClipRect(s.dc, 0, 0, 40, 5), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(s.dc, 10, 10, 20, 20), COMPLEXREGION);
    GetClipRgn(s.dc, read.h);
    EXPECT_EQ(Box(read.h), "0,5,40,40");
    EXPECT_FALSE(PtInRegion(read.h, 15, 15));
    EXPECT_TRUE(PtInRegion(read.h, 25, 15));
    EXPECT_EQ(SelectClipRgn(s.dc, nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(s.dc, read.h), 0);
    EXPECT_EQ(OffsetClipRgn(s.dc, 5, 5), SIMPLEREGION) << "nothing to move";
    EXPECT_EQ(GetClipRgn(s.dc, read.h), 0);

    // Without a clip, excluding starts from the whole surface.
    EXPECT_EQ(ExcludeClipRect(s.dc, 40, 0, 100, 60), SIMPLEREGION);
    GetClipRgn(s.dc, read.h);
    EXPECT_EQ(Box(read.h), "0,0,40,60");
}

// The caption painter's sequence on a window DC: a screen-coordinate region
// moved to window coordinates, the caption cut out, moved back and read.
TEST_F(Gdi, WindowDcClipRoundTripsThroughScreenCoordinates) {
    const RECT screen{200, 100, 300, 160};
    HWND hwnd = CreateWindowRecord(WindowCreate{"w", WS_CAPTION, screen});
    QImage* surface = WindowSurface(hwnd);
    ASSERT_NE(surface, nullptr);
    surface->fill(qRgb(1, 2, 3));
    HDC dc = GetWindowDC(hwnd);
    ASSERT_NE(dc, nullptr);
    Rgn clip(screen.left, screen.top, screen.right, screen.bottom);
    SelectClipRgn(dc, clip.h);
    OffsetClipRgn(dc, -screen.left, -screen.top);
    Fill(dc, RECT{0, 0, 4, 4}, Red);
    ExcludeClipRect(dc, 4, 4, 96, 22);
    Fill(dc, RECT{0, 0, 100, 60}, Green);
    OffsetClipRgn(dc, screen.left, screen.top);
    EXPECT_EQ(GetClipRgn(dc, clip.h), 1);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);

    Rgn expected(200, 100, 300, 160);
    {
        Rgn caption(204, 104, 296, 122);
        CombineRgn(expected.h, expected.h, caption.h, RGN_DIFF);
    }
    EXPECT_TRUE(EqualRgn(clip.h, expected.h));
    EXPECT_EQ(surface->pixel(50, 10), qRgb(1, 2, 3)) << "the excluded caption stays";
    EXPECT_EQ(surface->pixel(50, 30), qRgb(0, 255, 0));
    EXPECT_EQ(surface->pixel(99, 59), qRgb(0, 255, 0));
    EXPECT_EQ(surface->pixel(2, 2), qRgb(0, 255, 0));
    DestroyWindow(hwnd);
}

TEST_F(Gdi, ReleasingAWindowDcShowsTheSurface) {
    struct Host : WindowHost {
        int changes = 0;
        QWidget* hostWidget() override { return nullptr; }
        void surfaceChanged() override { ++changes; }
        void closeRequested() override {}
    } host;
    WindowCreate create{"w", WS_CAPTION, RECT{0, 0, 30, 30}};
    create.host = &host;
    HWND hwnd = CreateWindowRecord(create);
    HDC dc = GetWindowDC(hwnd);
    Fill(dc, RECT{0, 0, 1, 1}, Red);
    EXPECT_EQ(WindowSurface(hwnd)->pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(host.changes, 0);
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(host.changes, 1);
    DestroyWindow(hwnd);
}

// --- Text -----------------------------------------------------------------------

struct TextCanvas : MemorySurface {
    HFONT font;
    HGDIOBJ previousFont;
    TextCanvas(int w, int h, LONG height = -11, LONG weight = 400)
        : MemorySurface(w, h), font(nullptr) {
        LOGFONTA lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        font = CreateFontIndirectA(&lf);
        previousFont = SelectObject(dc, font);
        Fill(dc, RECT{0, 0, w, h}, Blue);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, White);
    }
    ~TextCanvas() {
        SelectObject(dc, previousFont);
        DeleteObject(font);
    }
    int Measure(const char* text, UINT format = DT_SINGLELINE, RECT* out = nullptr,
                int count = -1) {
        RECT r{0, 0, 0, 0};
        DrawTextA(dc, text, count, &r, format | DT_CALCRECT);
        if (out) {
            *out = r;
        }
        return r.right - r.left;
    }
};

bool Ink(QRgb p) {
    return qRed(p) > 100;
} // white text over blue

TEST_F(Gdi, DrawTextStaysInItsRectangleAndCentresVertically) {
    TextCanvas c(120, 40);
    RECT r{10, 10, 60, 30};
    const int height = DrawTextA(c.dc, "WWWWWWWWWWWWWWWW", -1, &r, DT_SINGLELINE | DT_VCENTER);
    EXPECT_GT(height, 0);
    EXPECT_LE(height, 20) << "offset to the bottom of the centred line";
    const QImage image = Capture(c.dc, 120, 40);
    int inside = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x) {
            if (Ink(image.pixel(x, y))) {
                EXPECT_TRUE(x >= 10 && x < 60 && y >= 10 && y < 30) << x << "," << y;
                ++inside;
            }
        }
    }
    EXPECT_GT(inside, 20);

    RECT calc{0, 0, 0, 0};
    const int lineHeight = DrawTextA(c.dc, "Hg", 2, &calc, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(calc.bottom, lineHeight);
    EXPECT_GT(calc.right, 0);
    EXPECT_EQ(DrawTextA(c.dc, "", -1, &calc, DT_SINGLELINE), 0);
}

TEST_F(Gdi, DrawTextCountsPrefixesAndEndsTooLongTextInAnEllipsis) {
    TextCanvas c(400, 30, -14, 700);
    EXPECT_EQ(c.Measure("A&&B"), c.Measure("A&B", DT_SINGLELINE | DT_NOPREFIX));
    EXPECT_EQ(c.Measure("&AB"), c.Measure("AB"));
    EXPECT_GT(c.Measure("&AB", DT_SINGLELINE | DT_NOPREFIX), c.Measure("AB"));
    EXPECT_EQ(c.Measure("ABCDEF"), c.Measure("ABCDEFGHIJ", DT_SINGLELINE, nullptr, 6))
        << "count limits the text";
    EXPECT_EQ(c.Measure("A"), c.Measure("A\0BCD", DT_SINGLELINE, nullptr, 5))
        << "count does not run past the NUL";
    RECT lines{};
    c.Measure("one\ntwo\r\nthree", 0, &lines);
    RECT line{};
    c.Measure("three", DT_SINGLELINE, &line);
    EXPECT_EQ(lines.bottom, 3 * line.bottom);

    // A long text: the last inked columns are the ellipsis' dots, low down,
    // while the letters before them reach the top of the line.
    RECT r{0, 0, 100, 30};
    DrawTextA(c.dc, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", -1, &r,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    const QImage image = Capture(c.dc, 400, 30);
    int last = -1, top = 30, bottom = -1;
    for (int x = 0; x < 400; ++x) {
        for (int y = 0; y < 30; ++y) {
            if (Ink(image.pixel(x, y))) {
                last = x;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GT(last, 50);
    EXPECT_LT(last, 100);
    int dotTop = 30;
    for (int y = 0; y < 30; ++y) {
        if (Ink(image.pixel(last, y))) {
            dotTop = std::min(dotTop, y);
        }
    }
    EXPECT_GT(dotTop, top + (bottom - top) / 2) << "the text ends in dots, not in a letter";
}

TEST_F(Gdi, OpaqueTextFillsItsBackground) {
    TextCanvas c(100, 30);
    SetBkMode(c.dc, OPAQUE);
    EXPECT_EQ(SetBkColor(c.dc, Green), White);
    EXPECT_EQ(SetTextColor(c.dc, Red), White);
    EXPECT_EQ(SetBkMode(c.dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(c.dc, 7), 0);
    SetBkMode(c.dc, OPAQUE);
    RECT r{0, 0, 100, 30};
    DrawTextA(c.dc, "ii", -1, &r, DT_SINGLELINE);
    EXPECT_EQ(GetPixel(c.dc, 0, 0), Green) << "background behind the text";
    EXPECT_EQ(GetPixel(c.dc, 90, 0), Blue) << "not beyond it";
}

TEST_F(Gdi, FontHeightsAndWeightsFollowTheLogFont) {
    TextCanvas small(10, 10, -10), large(10, 10, -20);
    EXPECT_GT(large.Measure("Hello"), small.Measure("Hello") * 3 / 2);
    TextCanvas normal(10, 10, -14, 400), bold(10, 10, -14, 700);
    EXPECT_GT(bold.Measure("rtfirtfirtfi"), normal.Measure("rtfirtfirtfi"));
    TextCanvas cell(10, 10, 24);
    RECT r{};
    cell.Measure("Hg", DT_SINGLELINE, &r);
    EXPECT_NEAR(r.bottom, 24, 2) << "a positive height is the cell height";

    TextCanvas zero(10, 10, 0, 0);
    zero.Measure("Hg", DT_SINGLELINE, &r);
    EXPECT_GE(r.bottom, 11);
    EXPECT_LE(r.bottom, 20);
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
}

// --- Icons ---------------------------------------------------------------------------

TEST_F(Gdi, DrawIconExScalesAndShowsTransparencyByFlags) {
    QImage art(2, 2, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    art.setPixel(0, 0, qRgba(255, 0, 0, 255));
    HICON icon = CreateIconFromImage(art);
    MemorySurface s(10, 10);
    Fill(s.dc, RECT{0, 0, 10, 10}, Blue);

    EXPECT_TRUE(DrawIconEx(s.dc, 0, 0, icon, 4, 4, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(s.dc, 1, 1), Red) << "scaled: one pixel became 2 x 2";
    EXPECT_EQ(GetPixel(s.dc, 2, 2), Blue) << "transparent keeps the background";

    EXPECT_TRUE(DrawIconEx(s.dc, 5, 5, icon, 4, 4, 0, nullptr, DI_IMAGE));
    EXPECT_EQ(GetPixel(s.dc, 5, 5), Red);
    EXPECT_EQ(GetPixel(s.dc, 8, 8), Black) << "without the mask transparency shows black";
    EXPECT_EQ(GetPixel(s.dc, 9, 9), Blue) << "only cx x cy drawn";

    {
        Rgn clip(0, 0, 10, 5);
        SelectClipRgn(s.dc, clip.h);
    }
    Fill(s.dc, RECT{0, 0, 10, 10}, Blue);
    DrawIconEx(s.dc, 0, 4, icon, 2, 2, 0, nullptr, DI_IMAGE);
    SelectClipRgn(s.dc, nullptr);
    EXPECT_EQ(GetPixel(s.dc, 0, 4), Red);
    EXPECT_EQ(GetPixel(s.dc, 1, 5), Blue) << "clipped";
    EXPECT_FALSE(DrawIconEx(s.dc, 0, 0, icon, 2, 2, 0, nullptr, 0));
    DestroyIcon(icon);
}

// --- Buttons and edges ------------------------------------------------------------

QImage Button(UINT state, int w = 16, int h = 14) {
    MemorySurface s(w, h);
    RECT r{0, 0, w, h};
    EXPECT_TRUE(DrawFrameControl(s.dc, &r, DFC_CAPTION, state));
    return Capture(s.dc, w, h);
}

int CountColour(const QImage& image, COLORREF c) {
    int n = 0;
    const QRgb want = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    for (int y = 2; y < image.height() - 2; ++y) { // inside the bevel
        for (int x = 2; x < image.width() - 2; ++x) {
            n += image.pixel(x, y) == want;
        }
    }
    return n;
}

TEST_F(Gdi, CaptionButtonsAreRaisedGreyWithDistinctGlyphs) {
    const QImage close = Button(DFCS_CAPTIONCLOSE);
    const QImage min = Button(DFCS_CAPTIONMIN);
    const QImage max = Button(DFCS_CAPTIONMAX);
    const QImage restore = Button(DFCS_CAPTIONRESTORE);
    const QImage face = Button(0x00FF); // no glyph of ours: a plain button
    EXPECT_EQ(close.pixel(0, 0), qRgb(223, 223, 223)) << "light outer top-left";
    EXPECT_EQ(close.pixel(1, 1), qRgb(255, 255, 255)) << "white inner top-left";
    EXPECT_EQ(close.pixel(15, 13), qRgb(0, 0, 0)) << "black outer bottom-right";
    EXPECT_EQ(close.pixel(14, 12), qRgb(128, 128, 128)) << "grey inner bottom-right";
    EXPECT_EQ(close.pixel(15, 0), qRgb(0, 0, 0)) << "the dark side takes the corner";
    EXPECT_EQ(CountColour(face, RGB(192, 192, 192)), 12 * 10);
    const QImage all[] = {close, min, max, restore};
    for (int i = 0; i < 4; ++i) {
        EXPECT_GT(CountColour(all[i], Black), 8) << "glyph " << i;
        EXPECT_GT(CountColour(all[i], RGB(192, 192, 192)), 40) << "face " << i;
        for (int j = i + 1; j < 4; ++j) {
            EXPECT_NE(all[i], all[j]) << i << " vs " << j;
        }
    }
    EXPECT_EQ(CountColour(min, Black), 12);
    EXPECT_EQ(CountColour(close, Black), 26);

    const QImage greyed = Button(DFCS_CAPTIONMAX | DFCS_INACTIVE);
    EXPECT_EQ(CountColour(greyed, Black), 0);
    EXPECT_EQ(CountColour(greyed, RGB(128, 128, 128)), CountColour(max, Black));
    EXPECT_GT(CountColour(greyed, White), 0) << "embossed";

    const QImage pushed = Button(DFCS_CAPTIONCLOSE | DFCS_PUSHED);
    EXPECT_EQ(pushed.pixel(0, 0), qRgb(128, 128, 128)) << "sunken";
    EXPECT_EQ(pushed.pixel(15, 13), qRgb(255, 255, 255));
    EXPECT_EQ(CountColour(pushed, Black), 26);
    EXPECT_NE(pushed.copy(2, 2, 12, 10), close.copy(2, 2, 12, 10)) << "glyph moved";

    const QImage big = Button(DFCS_CAPTIONMIN, 32, 28);
    EXPECT_EQ(CountColour(big, Black), 4 * 12) << "glyph doubled in a double-size button";

    MemorySurface s(4, 4);
    RECT r{0, 0, 4, 4};
    EXPECT_FALSE(DrawFrameControl(s.dc, &r, 4 /* DFC_BUTTON */, 0));
    RECT tiny{0, 0, 3, 3};
    EXPECT_TRUE(DrawFrameControl(s.dc, &tiny, DFC_CAPTION, DFCS_CAPTIONCLOSE));
    EXPECT_EQ(GetPixel(s.dc, 3, 3), Black) << "nothing outside the button";
}

TEST_F(Gdi, DrawEdgeAdjustsTheRectangleInside) {
    MemorySurface s(10, 10);
    RECT r{1, 1, 9, 9};
    EXPECT_TRUE(DrawEdge(s.dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST | BF_MIDDLE));
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.right, 7);
    EXPECT_EQ(r.bottom, 7);
    EXPECT_EQ(GetPixel(s.dc, 1, 1), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(s.dc, 8, 8), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetPixel(s.dc, 4, 4), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetPixel(s.dc, 0, 0), Black);
    RECT top{0, 0, 10, 10};
    DrawEdge(s.dc, &top, BDR_RAISEDOUTER, BF_TOP | BF_ADJUST);
    EXPECT_EQ(top.top, 1);
    EXPECT_EQ(top.left, 0);
}

} // namespace

namespace {

// At a device pixel ratio of 2 (a 200 % screen): coordinates stay logical,
// everything lands on device pixels, text and icons at device resolution.
TEST_F(Gdi, DrawingAtRatioTwoFillsDevicePixelsAndKeepsDetail) {
    WindowCreate create;
    create.rect = RECT{0, 0, 120, 40};
    HWND window = CreateWindowRecord(create);
    SetWindowPixelRatioRecord(window, 2.0);
    HDC windowDc = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(memory, 120, 40);
    HGDIOBJ previous = SelectObject(memory, bitmap);

    // A band [10, 18) x [2, 6) covers device columns 20..35, rows 4..11.
    Brush red(RGB(255, 0, 0));
    RECT band{10, 2, 18, 6};
    FillRect(memory, &band, red.h);
    EXPECT_EQ(GetPixel(memory, 10, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(memory, 18, 2), RGB(0, 0, 0));

    // Text: strokes start and end on odd device columns too, which a text
    // drawn at 1x and doubled never does.
    SetTextColor(memory, RGB(255, 255, 255));
    SetBkMode(memory, TRANSPARENT);
    RECT text{20, 10, 120, 40};
    DrawTextA(memory, "Wavy Text", -1, &text, DT_SINGLELINE | DT_NOPREFIX);

    // An icon of 1-pixel stripes, 16 x 16, drawn into 8 x 8 logical pixels
    // keeps every stripe.
    QImage stripes(16, 16, QImage::Format_ARGB32);
    for (int x = 0; x < 16; ++x) {
        for (int y = 0; y < 16; ++y) {
            stripes.setPixel(x, y, x % 2 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
        }
    }
    HICON icon = CreateIconFromImage(stripes);
    DrawIconEx(memory, 0, 20, icon, 8, 8, 0, nullptr, DI_NORMAL);

    // One copy onto the window, device pixel for device pixel.
    BitBlt(windowDc, 0, 0, 120, 40, memory, 0, 0, SRCCOPY);
    const QImage* surface = WindowSurface(window);
    ASSERT_EQ(surface->size(), QSize(240, 80));
    EXPECT_EQ(QColor(surface->pixel(20, 4)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(surface->pixel(35, 11)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(surface->pixel(19, 4)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(surface->pixel(36, 11)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(surface->pixel(19, 12)), QColor(0, 0, 0));
    for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(QColor(surface->pixel(x, 45)), x % 2 ? QColor(0, 255, 0) : QColor(0, 0, 255))
            << "icon column " << x;
    }
    int oddEdges = 0;
    for (int y = 20; y < 80; ++y) {
        for (int x = 41; x < 240; x += 2) {
            oddEdges +=
                (qRed(surface->pixel(x, y)) > 128) != (qRed(surface->pixel(x - 1, y)) > 128);
        }
    }
    EXPECT_GT(oddEdges, 10);

    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, windowDc);
    DestroyIcon(icon);
    DestroyWindow(window);
}

} // namespace
