// The gradient caption: its colour table and the painting of bands, icon,
// text and buttons, on the surfaces the window procedure prepares.
#include "caption/GradForm.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/window_host.h"

#include <QImage>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace platform;
using namespace tavro;

namespace {

// --- Gradient table ------------------------------------------------------------

std::vector<COLORREF> Table(std::size_t upper, COLORREF start, COLORREF end) {
    std::vector<COLORREF> table(upper + 1, 0);
    BuildGradientTable(table, start, end);
    return table;
}

TEST(GradientTable, BlueToWhiteTakesItsFirstStepBeforeEntryZero) {
    const std::vector<COLORREF> t = Table(50, 0xFF0000, 0xFFFFFF);
    EXPECT_EQ(t[0], 0xFF0505u);
    EXPECT_EQ(t[1], 0xFF0A0Au);
    EXPECT_EQ(t[48], 0xFFFAFAu);
    EXPECT_EQ(t[49], 0xFFFFFFu) << "entry N - 1 is the end colour";
    EXPECT_EQ(t[50], 0xFFFFFFu) << "entry N is clamped";
    for (std::size_t i = 1; i < t.size(); ++i) {
        EXPECT_GE(t[i] & 0xFF, t[i - 1] & 0xFF);
        EXPECT_EQ(t[i] >> 16, 0xFFu) << "blue stays full";
    }
}

TEST(GradientTable, GreyToWhiteStartsOneStepIn) {
    const std::vector<COLORREF> t = Table(50, 0xC0C0C0, 0xFFFFFF);
    EXPECT_EQ(t[0], 0xC1C1C1u);
    EXPECT_EQ(t[49], 0xFFFFFFu);
    EXPECT_EQ(t[50], 0xFFFFFFu);
}

TEST(GradientTable, RoundsHalvesToEvenAndClampsEachChannel) {
    // Red 0 -> 5 in two steps of 2.5: 2.5, 5, 7.5 round to 2, 5, 8.
    EXPECT_EQ(Table(2, 0x000000, 0x000005), (std::vector<COLORREF>{2, 5, 8}));
    // Green 5 -> 0: 2.5, 0, then -2.5 clamped to 0.
    EXPECT_EQ(Table(2, 0x000500, 0x000000), (std::vector<COLORREF>{0x0200, 0, 0}));
    // Blue 0 -> 255 in four steps of 63.75, past the end clamped to 255.
    EXPECT_EQ(Table(4, 0x000000, 0xFF0000),
              (std::vector<COLORREF>{0x400000, 0x800000, 0xBF0000, 0xFF0000, 0xFF0000}));
    // Each channel on its own: red down, green up, blue still.
    EXPECT_EQ(Table(1, 0x3300FF, 0x33FF00), (std::vector<COLORREF>{0x33FF00, 0x33FF00}));
}

TEST(GradientTable, OneEntryDividesByZeroAndStaysZero) {
    std::vector<COLORREF> table(1, 0);
    EXPECT_FALSE(BuildGradientTable(table, 0xFF0000, 0xFFFFFF));
    EXPECT_EQ(table[0], 0u);
    std::vector<COLORREF> marked(1, 0x123456);
    BuildGradientTable(marked, 0xFF0000, 0xFFFFFF);
    EXPECT_EQ(marked[0], 0x123456u) << "nothing stored";
}

TEST(CaptionStyle, ColoursAndDefaults) {
    COLORREF one = 0, two = 0;
    CaptionColours(-1, one, two);
    EXPECT_EQ(one, 0xFF0000u);
    EXPECT_EQ(two, 0xFFFFFFu);
    CaptionColours(7, one, two);
    EXPECT_EQ(one, 0xFF0000u) << "any non-zero value is active";
    CaptionColours(0, one, two);
    EXPECT_EQ(one, 0xC0C0C0u);
    EXPECT_EQ(two, 0xFFFFFFu);

    ActiveTextColour = InactiveTextColour = 0x123456;
    std::memset(&CaptionLogFont, 0x55, sizeof CaptionLogFont);
    ApplyCaptionStyleDefaults();
    EXPECT_EQ(ActiveTextColour, 0xFFFFFFu);
    EXPECT_EQ(InactiveTextColour, 0xFFFFFFu);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0);
    EXPECT_EQ(std::memcmp(&CaptionLogFont, &metrics.lfCaptionFont, sizeof CaptionLogFont), 0);
}

// --- Painting ------------------------------------------------------------------

constexpr QRgb Sentinel = 0xFFFF00FF; // magenta: "not painted"
constexpr COLORREF GreenText = 0x00FF00;

QRgb Rgb(COLORREF c) {
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Gradient colours have red == green; green text stands out from them.
bool TextInk(QRgb p) {
    return qGreen(p) - qRed(p) > 60;
}

struct Painted {
    QImage memory; // the off-screen bitmap after PaintCaption
    QImage window; // the window's surface
    bool clipCutAsExpected = false;
};

class Caption : public ::testing::Test {
protected:
    void SetUp() override {
        ApplyCaptionStyleDefaults();
        live_ = gdi_testing::LiveGdiObjectCount();
        F = GetSystemMetrics(SM_CXFRAME);
        CH = GetSystemMetrics(SM_CYCAPTION);
        BW = GetSystemMetrics(SM_CXSIZE);
    }
    void TearDown() override {
        for (HWND w : windows_) {
            DestroyWindow(w);
        }
        if (icon_) {
            DestroyIcon(icon_);
        }
        ApplyCaptionStyleDefaults();
        EXPECT_EQ(gdi_testing::LiveGdiObjectCount(), live_) << "a paint leaked GDI objects";
        EXPECT_EQ(CaptionFont, nullptr);
    }

    HWND Window(int width, LONG_PTR style, const std::string& text = "") {
        HWND hwnd =
            CreateWindowRecord(WindowCreate{text, style, RECT{100, 50, 100 + width, 50 + 80}});
        windows_.push_back(hwnd);
        return hwnd;
    }

    HICON Icon() {
        // Orange inside (not text ink), a transparent one-pixel border.
        QImage art(16, 16, QImage::Format_ARGB32);
        art.fill(Qt::transparent);
        for (int y = 1; y < 15; ++y) {
            for (int x = 1; x < 15; ++x) {
                art.setPixel(x, y, qRgba(200, 40, 0, 255));
            }
        }
        icon_ = CreateIconFromImage(art);
        return icon_;
    }

    // What the window procedure does around PaintCaption, then a look at the
    // results.
    Painted Paint(HWND hwnd, bool active = true, HICON icon = nullptr, bool withWindowDc = true) {
        QImage* surface = WindowSurface(hwnd);
        surface->fill(Sentinel);
        CurrentWindow = hwnd;
        CaptionIcon = icon;
        RECT rc{};
        GetWindowRect(hwnd, &rc);
        const int width = rc.right - rc.left;
        WindowDC = withWindowDc ? GetWindowDC(hwnd) : nullptr;
        MemoryDC = CreateCompatibleDC(WindowDC);
        HBITMAP bitmap = CreateCompatibleBitmap(MemoryDC, width, OffscreenCaptionHeight(hwnd));
        HGDIOBJ previous = SelectObject(MemoryDC, bitmap);
        ClipRegion = CreateRectRgn(rc.left, rc.top, rc.right, rc.bottom);
        SelectClipRgn(WindowDC, ClipRegion);
        OffsetClipRgn(WindowDC, -rc.left, -rc.top);

        COLORREF one = 0, two = 0;
        CaptionColours(active ? -1 : 0, one, two);
        PaintCaption(one, two);

        Painted out;
        out.memory = QImage(width, CaptionBitmapHeight, QImage::Format_RGB32);
        for (int y = 0; y < CaptionBitmapHeight; ++y) {
            for (int x = 0; x < width; ++x) {
                out.memory.setPixel(x, y, Rgb(GetPixel(MemoryDC, x, y)));
            }
        }
        SelectObject(MemoryDC, previous);
        DeleteObject(bitmap);
        DeleteDC(MemoryDC);
        if (WindowDC) {
            const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
            const int f = GetSystemMetrics((style & 0x80) ? SM_CXDLGFRAME : SM_CXFRAME);
            HRGN expected = CreateRectRgn(0, 0, width, rc.bottom - rc.top);
            HRGN caption = CreateRectRgn(f, f, width - f, f + CH - 1);
            CombineRgn(expected, expected, caption, RGN_DIFF);
            out.clipCutAsExpected =
                GetClipRgn(WindowDC, ClipRegion) == 1 && EqualRgn(ClipRegion, expected) == TRUE;
            DeleteObject(expected);
            DeleteObject(caption);
            ReleaseDC(hwnd, WindowDC);
        }
        DeleteObject(ClipRegion);
        WindowDC = nullptr;
        out.window = surface->copy();
        return out;
    }

    // A caption button rectangle drawn on its own, for comparison.
    QImage Button(UINT state) {
        const int w = BW - 2, h = CH - 5;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        RECT r{0, 0, w, h};
        DrawFrameControl(dc, &r, DFC_CAPTION, state);
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                image.setPixel(x, y, Rgb(GetPixel(dc, x, y)));
            }
        }
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return image;
    }

    // The buttons from the right: close, then the maximise place, then the
    // minimise place, in window coordinates.
    QImage ButtonAt(const QImage& image, int width, int slot) const {
        const int cw = width - F;
        int right = cw - 2;
        if (slot >= 1) {
            right -= BW;
        }
        if (slot >= 2) {
            right -= BW - 2;
        }
        return image.copy(right - BW + 2, F + 2, BW - 2, CH - 5);
    }

    int F = 0, CH = 0, BW = 0;

private:
    int live_ = 0;
    std::vector<HWND> windows_;
    HICON icon_ = nullptr;
};

TEST_F(Caption, BandsRunFromBlueTowardsWhiteAndEndAtTheFrame) {
    const int W = 765;
    const Painted p = Paint(Window(W, WS_CAPTION));
    const int N = (W - F) / 8;
    const std::vector<COLORREF> table = Table(N, 0xFF0000, 0xFFFFFF);
    const int y = F + CH / 2;
    for (int i = 0; i < N; ++i) {
        const int left = F + 8 * i;
        const int right = i == N - 1 ? W - 4 : left + 8;
        for (int x = left; x < right; ++x) {
            ASSERT_EQ(p.window.pixel(x, y), Rgb(table[i])) << "band " << i << " x " << x;
        }
    }
    EXPECT_EQ(p.window.pixel(W - 4, y), Sentinel) << "the last band ends at W - 4";
    EXPECT_EQ(p.window.pixel(F - 1, y), Sentinel);
    EXPECT_EQ(p.window.pixel(F, F), Rgb(table[0]));
    EXPECT_EQ(p.window.pixel(F, F + CH - 2), Rgb(table[0]));
    EXPECT_EQ(p.window.pixel(F, F + CH - 1), Sentinel) << "CH - 1 rows";
    EXPECT_EQ(p.window.pixel(F, F - 1), Sentinel);
    EXPECT_EQ(p.memory.pixel(W - 4, y), qRgb(0, 0, 0)) << "memory past R0 untouched";
    EXPECT_TRUE(p.clipCutAsExpected);

    int runs = 1;
    for (int x = F + 1; x < W - 4; ++x) {
        runs += p.window.pixel(x, y) != p.window.pixel(x - 1, y);
    }
    EXPECT_EQ(runs, N);
}

TEST_F(Caption, DialogFrameEndsTheBandsAtWMinusThree) {
    const int W = 400;
    const Painted p = Paint(Window(W, WS_CAPTION | DS_MODALFRAME));
    const int f = GetSystemMetrics(SM_CXDLGFRAME);
    ASSERT_EQ(f, 3);
    const int y = f + 5;
    const std::vector<COLORREF> table = Table((W - f) / 8, 0xFF0000, 0xFFFFFF);
    EXPECT_EQ(p.window.pixel(f, y), Rgb(table[0]));
    EXPECT_EQ(p.window.pixel(f - 1, y), Sentinel);
    EXPECT_EQ(p.window.pixel(W - 4, y), Rgb(table[(W - f) / 8 - 1]));
    EXPECT_EQ(p.window.pixel(W - 3, y), Sentinel);
    EXPECT_TRUE(p.clipCutAsExpected);
}

TEST_F(Caption, InactiveCaptionStartsFromGrey) {
    // 404 - F pixels make the 50 bands of the grey table above.
    const Painted p = Paint(Window(404, WS_CAPTION), false);
    EXPECT_EQ(p.window.pixel(F, F + 3), qRgb(0xC1, 0xC1, 0xC1));
    EXPECT_EQ(p.window.pixel(F + 8, F + 3), Rgb(Table(50, 0xC0C0C0, 0xFFFFFF)[1]));
}

TEST_F(Caption, IconIsDrawnWithoutItsMaskOrNotAtAll) {
    const int W = 300;
    HWND hwnd = Window(W, WS_CAPTION);
    const Painted with = Paint(hwnd, true, Icon());
    EXPECT_EQ(with.window.pixel(F + 1, F + 1), qRgb(0, 0, 0)) << "transparent shows black";
    EXPECT_EQ(with.window.pixel(F + 8, F + 8), qRgb(200, 40, 0));
    EXPECT_EQ(with.window.pixel(F + BW - 2, F + BW - 2), qRgb(0, 0, 0)) << "BW - 2 square";
    EXPECT_NE(with.window.pixel(F + BW - 1, F + 8), qRgb(200, 40, 0));

    const Painted without = Paint(hwnd, true, nullptr);
    EXPECT_NE(without.window.pixel(F + 1, F + 1), qRgb(0, 0, 0));
    EXPECT_NE(without.window.pixel(F + 8, F + 8), qRgb(200, 40, 0));
}

int FirstInkColumn(const QImage& image, int top, int bottom) {
    for (int x = 0; x < image.width(); ++x) {
        for (int y = top; y < bottom; ++y) {
            if (TextInk(image.pixel(x, y))) {
                return x;
            }
        }
    }
    return -1;
}

TEST_F(Caption, TextStartsAfterTheIconOrAtTheFrame) {
    ActiveTextColour = GreenText;
    HWND hwnd = Window(300, WS_CAPTION, "HHHH");
    const int plain = FirstInkColumn(Paint(hwnd).window, F, F + CH - 1);
    EXPECT_GE(plain, F + 2);
    EXPECT_LE(plain, F + 2 + 3);
    const int afterIcon = FirstInkColumn(Paint(hwnd, true, Icon()).window, F, F + CH - 1);
    EXPECT_GE(afterIcon, F + BW + 4);
    EXPECT_LE(afterIcon, F + BW + 4 + 3);
}

// A title is shown as it is: "&" marks no access key in a caption, so a
// driver named "Tank & Turret.drv" keeps its ampersand.
TEST_F(Caption, AmpersandsAreShownAsTheyAre) {
    ActiveTextColour = GreenText;
    const auto inkColumns = [this](const std::string& text) {
        const QImage image = Paint(Window(300, WS_CAPTION, text)).window;
        int columns = 0;
        for (int x = F; x < 200; ++x) {
            for (int y = F; y < F + CH - 1; ++y) {
                if (TextInk(image.pixel(x, y))) {
                    ++columns;
                    break;
                }
            }
        }
        return columns;
    };
    const int one = inkColumns("&");
    const int two = inkColumns("&&");
    EXPECT_GT(one, 3) << "a lone & is drawn";
    EXPECT_GT(two, one + one / 2) << "&& is two ampersands, not an escaped one";
}

TEST_F(Caption, TextColourFollowsActiveAndInactive) {
    ActiveTextColour = GreenText;
    InactiveTextColour = 0x0000FF; // red
    HWND hwnd = Window(300, WS_CAPTION, "Tavro");
    auto count = [this](const QImage& image, auto test) {
        int n = 0;
        for (int y = F; y < F + CH - 1; ++y) {
            for (int x = F; x < image.width() - 4; ++x) {
                n += test(image.pixel(x, y));
            }
        }
        return n;
    };
    const auto green = [](QRgb p) { return qGreen(p) > 200 && qRed(p) < 60; };
    const auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60; };
    const QImage active = Paint(hwnd, true).window;
    const QImage inactive = Paint(hwnd, false).window;
    EXPECT_GT(count(active, green), 10);
    EXPECT_EQ(count(active, red), 0);
    EXPECT_GT(count(inactive, red), 10);
    EXPECT_EQ(count(inactive, green), 0);
}

TEST_F(Caption, LeadingSpacesAreDroppedAndTextIsCutAt254Characters) {
    HWND a = Window(300, WS_CAPTION, "   Abc");
    HWND b = Window(300, WS_CAPTION, "Abc");
    EXPECT_EQ(Paint(a).window, Paint(b).window);

    // 254 narrow letters fit this wide caption; what follows them is not drawn.
    const std::string fits(254, 'i');
    const QImage exact = Paint(Window(3000, WS_CAPTION, fits)).window;
    const QImage longer = Paint(Window(3000, WS_CAPTION, fits + std::string(46, 'W'))).window;
    EXPECT_EQ(longer, exact);
    const QImage differs = Paint(Window(3000, WS_CAPTION, std::string(253, 'i') + "W")).window;
    EXPECT_NE(differs, exact) << "the comparison does see one letter";
}

TEST_F(Caption, TooLongTextEndsInAnEllipsisInsideItsRectangle) {
    ActiveTextColour = GreenText;
    const int W = 200;
    const QImage image = Paint(Window(W, WS_CAPTION, std::string(300, 'W'))).window;
    int last = -1, top = 1000, bottom = -1;
    for (int x = 0; x < W; ++x) {
        for (int y = F; y < F + CH - 1; ++y) {
            if (TextInk(image.pixel(x, y))) {
                last = x;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GT(last, W / 2);
    EXPECT_LT(last, W - 4 - 2) << "the text rectangle ends at R0 - 2";
    int dotTop = 1000;
    for (int y = F; y < F + CH - 1; ++y) {
        if (TextInk(image.pixel(last, y))) {
            dotTop = std::min(dotTop, y);
        }
    }
    EXPECT_GT(dotTop, top + (bottom - top) / 2) << "it ends in dots";
}

TEST_F(Caption, ButtonSetsFollowTheStyle) {
    const int W = 300;
    const QImage close = Button(DFCS_CAPTIONCLOSE);
    const QImage max = Button(DFCS_CAPTIONMAX);
    const QImage min = Button(DFCS_CAPTIONMIN);
    const QImage restore = Button(DFCS_CAPTIONRESTORE);
    const QImage maxGrey = Button(DFCS_CAPTIONMAX | DFCS_INACTIVE);
    const QImage minGrey = Button(DFCS_CAPTIONMIN | DFCS_INACTIVE);
    const LONG_PTR base = WS_CAPTION | WS_SYSMENU;

    const QImage both = Paint(Window(W, base | WS_MAXIMIZEBOX | WS_MINIMIZEBOX)).window;
    EXPECT_EQ(ButtonAt(both, W, 0), close);
    EXPECT_EQ(ButtonAt(both, W, 1), max);
    EXPECT_EQ(ButtonAt(both, W, 2), min);

    const QImage maxOnly = Paint(Window(W, base | WS_MAXIMIZEBOX)).window;
    EXPECT_EQ(ButtonAt(maxOnly, W, 0), close);
    EXPECT_EQ(ButtonAt(maxOnly, W, 1), max);
    EXPECT_EQ(ButtonAt(maxOnly, W, 2), minGrey);

    const QImage minOnly = Paint(Window(W, base | WS_MINIMIZEBOX)).window;
    EXPECT_EQ(ButtonAt(minOnly, W, 0), close);
    EXPECT_EQ(ButtonAt(minOnly, W, 1), maxGrey);
    EXPECT_EQ(ButtonAt(minOnly, W, 2), min);

    const QImage closeOnly = Paint(Window(W, base)).window;
    EXPECT_EQ(ButtonAt(closeOnly, W, 0), close);
    const QImage bare = Paint(Window(W, WS_CAPTION)).window;
    EXPECT_EQ(ButtonAt(closeOnly, W, 1), ButtonAt(bare, W, 1)) << "gradient only";
    EXPECT_NE(ButtonAt(bare, W, 0), close) << "no system menu, no buttons";

    HWND zoomed = Window(W, base | WS_MAXIMIZEBOX | WS_MINIMIZEBOX);
    SetWindowStateRecord(zoomed, true, false);
    const QImage maximised = Paint(zoomed).window;
    EXPECT_EQ(ButtonAt(maximised, W, 0), close);
    EXPECT_EQ(ButtonAt(maximised, W, 1), restore);
    EXPECT_EQ(ButtonAt(maximised, W, 2), min);
    // Close sits 2 pixels in from R0, the other two touch each other.
    EXPECT_EQ(ButtonAt(both, W, 0).width(), BW - 2);
    EXPECT_EQ(both.pixel(W - F - 2, F + 5), bare.pixel(W - F - 2, F + 5));
}

TEST_F(Caption, NarrowWindowsGetNoBandsAndNoCopy) {
    for (int W : {10, 11, 2, 0}) {
        const Painted p = Paint(Window(W, WS_CAPTION));
        for (int y = 0; y < CaptionBitmapHeight; ++y) {
            for (int x = 0; x < W; ++x) {
                ASSERT_EQ(p.memory.pixel(x, y), qRgb(0, 0, 0)) << W << ": " << x << "," << y;
                ASSERT_EQ(p.window.pixel(x, y), Sentinel) << W << ": " << x << "," << y;
            }
        }
        EXPECT_TRUE(p.clipCutAsExpected) << W;
    }
    // With buttons, which fall outside such a window, nothing breaks either.
    const Painted p = Paint(Window(10, WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX));
    EXPECT_EQ(p.window.pixel(5, 10), Sentinel);
}

TEST_F(Caption, WithoutAWindowDcOnlyTheMemoryBitmapIsPainted) {
    const Painted p = Paint(Window(300, WS_CAPTION | WS_SYSMENU), true, nullptr, false);
    EXPECT_EQ(p.window.pixel(F + 1, F + 1), Sentinel);
    EXPECT_EQ(p.memory.pixel(F + 1, F + 1), Rgb(Table((300 - F) / 8, 0xFF0000, 0xFFFFFF)[0]));
}

TEST_F(Caption, OffscreenBitmapIsFiftyPixelsWithClassicMetrics) {
    EXPECT_EQ(OffscreenCaptionHeight(Window(100, WS_CAPTION)), CaptionBitmapHeight);
    EXPECT_EQ(CaptionBitmapHeight, 50);
}

} // namespace
