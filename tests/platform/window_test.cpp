// The window layer: procedures, properties, frame geometry and what the
// default procedure does with frame messages.
#include "platform/frame.h"
#include "platform/window_host.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace platform;

namespace {

class FakeHost : public WindowHost {
public:
    QWidget* hostWidget() override { return nullptr; }
    void surfaceChanged() override { ++repaints; }
    void closeRequested() override { calls.push_back("close"); }
    void startMove() override { calls.push_back("move"); }
    void startSize(int hit) override { calls.push_back("size " + std::to_string(hit)); }
    void showState(int sw) override { calls.push_back("show " + std::to_string(sw)); }
    void menuCommand(int item) override { calls.push_back("menu " + std::to_string(item)); }
    bool activate() override {
        calls.push_back("activate");
        return activates;
    }
    std::vector<std::string> calls;
    int repaints = 0;
    bool activates = true; // false: the system decides (a Wayland compositor)
};

class WindowTest : public ::testing::Test {
protected:
    HWND make(LONG_PTR style, bool menu = false) {
        WindowCreate create;
        create.text = "Test";
        create.style = style;
        create.rect = RECT{100, 100, 400, 300};
        create.host = &host;
        create.hasMenu = menu;
        windows.push_back(CreateWindowRecord(create));
        return windows.back();
    }
    void TearDown() override {
        for (HWND w : windows) {
            DestroyWindow(w);
        }
    }
    static LPARAM at(int x, int y) { return MAKELPARAM(100 + x, 100 + y); }

    FakeHost host;
    std::vector<HWND> windows;
};

LRESULT Answer42(HWND, UINT, WPARAM, LPARAM) {
    return 42;
}

TEST_F(WindowTest, ProcedureSwapReturnsTheOldOneAndMessagesFollowIt) {
    HWND w = make(WS_CAPTION | WS_SYSMENU);
    const LONG_PTR old = SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Answer42));
    EXPECT_EQ(old, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
    EXPECT_EQ(SendMessageA(w, WM_NULL, 0, 0), 42);
    EXPECT_EQ(CallWindowProcA(nullptr, w, WM_NULL, 0, 0), 0);
    SetWindowLongPtrA(w, GWLP_WNDPROC, old);
    EXPECT_EQ(SendMessageA(w, WM_GETTEXTLENGTH, 0, 0), 4);
    // Bad handles are harmless.
    EXPECT_EQ(SendMessageA(nullptr, WM_NULL, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(reinterpret_cast<HWND>(0x1234), GWL_STYLE), 0);
}

TEST_F(WindowTest, PropertiesCompareNamesWithoutCase) {
    HWND w = make(WS_CAPTION);
    const HANDLE seven = reinterpret_cast<HANDLE>(7), nine = reinterpret_cast<HANDLE>(9);
    EXPECT_EQ(GetPropA(w, "OldMeProc"), nullptr);
    SetPropA(w, "OldMeProc", seven);
    EXPECT_EQ(GetPropA(w, "OLDMEPROC"), seven);
    SetPropA(w, "oldmeproc", nine);
    EXPECT_EQ(GetPropA(w, "OldMeProc"), nine);
    EXPECT_EQ(RemovePropA(w, "OldMEProc"), nine);
    EXPECT_EQ(GetPropA(w, "OldMeProc"), nullptr);
    EXPECT_EQ(RemovePropA(w, "OldMeProc"), nullptr);
}

TEST_F(WindowTest, TextIsKeptAndCutToTheBuffer) {
    HWND w = make(WS_CAPTION);
    SetWindowTextA(w, "Tavro Driver Editor - [game.drv]");
    char buffer[6];
    EXPECT_EQ(GetWindowTextA(w, buffer, 6), 5);
    EXPECT_STREQ(buffer, "Tavro");
}

TEST_F(WindowTest, MetricsAndFrameGeometryAgree) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0));
    EXPECT_LT(metrics.lfCaptionFont.lfHeight, 0);
    EXPECT_EQ(metrics.lfCaptionFont.lfWeight, 700);
    EXPECT_NE(metrics.lfCaptionFont.lfFaceName[0], '\0');
    NONCLIENTMETRICSA wrongSize{};
    EXPECT_FALSE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, &wrongSize, 0));

    EXPECT_EQ(frame::FrameWidth(DS_MODALFRAME), GetSystemMetrics(SM_CXDLGFRAME));
    EXPECT_EQ(frame::FrameWidth(WS_THICKFRAME), GetSystemMetrics(SM_CXFRAME));
    int w = 0, h = 0;
    frame::WindowSizeForClient(DS_MODALFRAME | WS_CAPTION, false, 765, 442, &w, &h);
    EXPECT_EQ(w, 771);
    EXPECT_EQ(h, 467);
    const frame::Layout l = frame::ComputeLayout(w, h, DS_MODALFRAME | WS_SYSMENU, false, true);
    EXPECT_EQ(l.client.left, 3);
    EXPECT_EQ(l.client.top, 22);
    EXPECT_EQ(l.client.right - l.client.left, 765);
    EXPECT_EQ(l.client.bottom - l.client.top, 442);
    // The close button where the caption painter draws it: right edge CW - 2.
    EXPECT_EQ(l.close.right, w - 3 - 2);
    EXPECT_EQ(l.close.left, w - 3 - 18);
}

TEST_F(WindowTest, HitTestingFindsEveryPartOfTheFrameAndItsCursor) {
    HWND sizable =
        make(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, true);
    struct Row {
        int x, y;
        LRESULT hit;
        const char* cursor;
    };
    const Row rows[] = {{150, 10, HTCAPTION, IDC_ARROW},
                        {150, 100, HTCLIENT, IDC_ARROW},
                        {10, 30, HTMENU, IDC_ARROW},
                        {300 - 4 - 10, 10, HTCLOSE, IDC_ARROW},
                        {300 - 4 - 18 - 8, 10, HTMAXBUTTON, IDC_ARROW},
                        {300 - 4 - 34 - 8, 10, HTMINBUTTON, IDC_ARROW},
                        {1, 100, HTLEFT, IDC_SIZEWE},
                        {298, 100, HTRIGHT, IDC_SIZEWE},
                        {150, 1, HTTOP, IDC_SIZENS},
                        {150, 198, HTBOTTOM, IDC_SIZENS},
                        {1, 1, HTTOPLEFT, IDC_SIZENWSE},
                        {298, 1, HTTOPRIGHT, IDC_SIZENESW},
                        {1, 198, HTBOTTOMLEFT, IDC_SIZENESW},
                        {298, 198, HTBOTTOMRIGHT, IDC_SIZENWSE},
                        {400, 400, HTNOWHERE, IDC_ARROW}};
    for (const Row& r : rows) {
        const LRESULT hit = SendMessageA(sizable, WM_NCHITTEST, 0, at(r.x, r.y));
        EXPECT_EQ(hit, r.hit) << r.x << "," << r.y;
        SendMessageA(sizable, WM_SETCURSOR, 0, MAKELPARAM(static_cast<int>(hit), WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, r.cursor)) << "hit " << hit;
    }

    HWND fixed = make(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    EXPECT_EQ(SendMessageA(fixed, WM_NCHITTEST, 0, at(1, 100)), HTBORDER);
    // Without a maximise box the greyed symbol is not a button.
    EXPECT_NE(SendMessageA(fixed, WM_NCHITTEST, 0, at(300 - 3 - 18 - 8, 10)), HTMAXBUTTON);
}

TEST_F(WindowTest, FramePressesBecomeSystemCommands) {
    HWND w = make(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX);
    SendMessageA(w, WM_NCLBUTTONDOWN, HTCAPTION, at(150, 10));
    SendMessageA(w, WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, at(298, 198));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"move", "size 17"}));

    host.calls.clear();
    // A caption button acts only when released over itself.
    SendMessageA(w, WM_NCLBUTTONDOWN, HTCLOSE, 0);
    EXPECT_EQ(PressedButtonRecord(w), HTCLOSE);
    SendMessageA(w, WM_NCLBUTTONUP, HTCAPTION, 0);
    EXPECT_TRUE(host.calls.empty());
    SendMessageA(w, WM_NCLBUTTONDOWN, HTMAXBUTTON, 0);
    SendMessageA(w, WM_NCLBUTTONUP, HTMAXBUTTON, 0);
    SendMessageA(w, WM_NCLBUTTONDOWN, HTMINBUTTON, 0);
    SendMessageA(w, WM_NCLBUTTONUP, HTMINBUTTON, 0);
    SendMessageA(w, WM_NCLBUTTONDOWN, HTCLOSE, 0);
    SendMessageA(w, WM_NCLBUTTONUP, HTCLOSE, 0);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show 3", "show 2", "close"}));
    EXPECT_EQ(PressedButtonRecord(w), 0);
}

TEST_F(WindowTest, FixedWindowsNeitherSizeNorMaximise) {
    HWND w = make(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    SendMessageA(w, WM_SYSCOMMAND, SC_SIZE + 8, 0);
    SendMessageA(w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(SendMessageA(w, WM_MDIGETACTIVE, 0, 0), 0);
    EXPECT_EQ(SendMessageA(w, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(WindowTest, MenuBarPressChoosesTheItem) {
    HWND w = make(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, true);
    SetMenuItemsRecord(w, {"E&xit"});
    SendMessageA(w, WM_NCLBUTTONDOWN, HTMENU, at(12, 30));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"menu 0"}));
}

TEST_F(WindowTest, DefaultFramePaintsBordersAndCaption) {
    HWND w = make(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    const QImage* surface = WindowSurface(w);
    // A hidden window has no frame on screen to paint.
    SendMessageA(w, WM_NCACTIVATE, 1, 0);
    SendMessageA(w, WM_NCPAINT, 1, 0);
    EXPECT_EQ(QColor(surface->pixel(150, 10)), QColor(192, 192, 192));
    EXPECT_EQ(host.repaints, 0);

    SetWindowVisibleRecord(w, true);
    SendMessageA(w, WM_NCACTIVATE, 1, 0);
    EXPECT_EQ(QColor(surface->pixel(150, 10)), QColor(0, 0, 128));
    // A raised edge: light outside on the left, dark outside on the right.
    EXPECT_GT(QColor(surface->pixel(0, 100)).lightness(), 200);
    EXPECT_EQ(QColor(surface->pixel(299, 100)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(surface->pixel(2, 100)), QColor(192, 192, 192));
    SendMessageA(w, WM_NCACTIVATE, 0, 0);
    EXPECT_EQ(QColor(surface->pixel(150, 10)), QColor(128, 128, 128));
    EXPECT_GT(host.repaints, 0);
}

TEST_F(WindowTest, HidingTheActiveWindowActivatesTheMostRecentVisibleOne) {
    const LONG_PTR style = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    HWND first = make(style), second = make(style), third = make(style), hidden = make(style);
    for (HWND w : {first, second, third}) {
        SetWindowVisibleRecord(w, true);
    }
    SetActiveWindowRecord(second);
    SetActiveWindowRecord(first);
    SetActiveWindowRecord(hidden); // active once, hidden since
    SetActiveWindowRecord(third);

    // Only the active window hands the activation on.
    EXPECT_EQ(ActivateNextWindow(second), nullptr);
    EXPECT_EQ(GetActiveWindow(), third);

    SetWindowVisibleRecord(third, false);
    EXPECT_EQ(ActivateNextWindow(third), first);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"activate"}));
    // Told with WM_NCACTIVATE, so its caption shows it active.
    EXPECT_EQ(QColor(WindowSurface(first)->pixel(150, 10)), QColor(0, 0, 128));

    // Minimized windows are passed over, like hidden ones.
    SetWindowStateRecord(second, false, true);
    EXPECT_EQ(ActivateNextWindow(first), nullptr);
    EXPECT_EQ(GetActiveWindow(), nullptr);

    // Where the system decides (a compositor), it is asked and reports later.
    SetWindowStateRecord(second, false, false);
    SetActiveWindowRecord(first);
    host.activates = false;
    host.calls.clear();
    EXPECT_EQ(ActivateNextWindow(first), nullptr);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"activate"}));
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(WindowTest, SurfaceHoldsDevicePixelsAtTheScreensRatio) {
    HWND w = make(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    SetWindowPixelRatioRecord(w, 2.0);
    const QImage* surface = WindowSurface(w);
    EXPECT_EQ(surface->size(), QSize(600, 400));
    EXPECT_EQ(surface->devicePixelRatio(), 2.0);
    SetWindowVisibleRecord(w, true);
    SendMessageA(w, WM_NCACTIVATE, 1, 0);
    // The 1-pixel outer edge is 2 device pixels wide; the caption is where it was.
    EXPECT_GT(QColor(surface->pixel(1, 200)).lightness(), 200);
    EXPECT_EQ(QColor(surface->pixel(2, 200)), QColor(255, 255, 255));
    EXPECT_EQ(QColor(surface->pixel(301, 21)), QColor(0, 0, 128));
    SetWindowPixelRatioRecord(w, 1.5);
    EXPECT_EQ(WindowSurface(w)->size(), QSize(450, 300));
    SetWindowPixelRatioRecord(w, 0.0); // refused
    EXPECT_EQ(WindowPixelRatioRecord(w), 1.5);
}

} // namespace
