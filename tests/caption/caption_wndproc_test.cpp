// The caption painter's window procedure: what it paints, what it answers
// itself and what it passes on, with a recording procedure behind it.
#include "caption/GradForm.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/window_host.h"

#include <QColor>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;
using namespace tavro;

namespace {

struct Received {
    UINT msg;
    WPARAM wParam;
    bool regionCoversCaption; // for WM_NCPAINT: does the region include a caption point?
    bool regionCoversBorder;
};

std::vector<Received> received;
RECT windowRect{100, 50, 500, 350};

LRESULT Recorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Received r{msg, wParam, false, false};
    if (msg == WM_NCPAINT && wParam > 1) {
        const auto region = reinterpret_cast<HRGN>(wParam);
        r.regionCoversCaption = PtInRegion(region, windowRect.left + 200, windowRect.top + 10);
        r.regionCoversBorder = PtInRegion(region, windowRect.left + 1, windowRect.top + 200);
    }
    if (msg != WM_GETICON && msg != WM_GETTEXT) {
        received.push_back(r);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam) + (msg == WM_SYSCOMMAND ? 1000 : 0);
}

class CaptionWndProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        WindowCreate create;
        create.text = "";
        create.style = WS_CAPTION | WS_SYSMENU; // frame 4, no icon, close button only
        create.rect = windowRect;
        create.proc = &Recorder;
        window = CreateWindowRecord(create);
        SubclassWindow(window);
        received.clear();
    }
    void TearDown() override { DestroyWindow(window); }

    LRESULT send(UINT msg, WPARAM wParam, LPARAM lParam = 0) {
        return SendMessageA(window, msg, wParam, lParam);
    }
    QColor pixel(int x, int y) const { return QColor(WindowSurface(window)->pixel(x, y)); }
    bool sawMessage(UINT msg) const {
        for (const Received& r : received) {
            if (r.msg == msg) {
                return true;
            }
        }
        return false;
    }

    HWND window = nullptr;
};

TEST_F(CaptionWndProcTest, ActivationPaintsTheTwoColourPairsAndIsAnsweredHere) {
    const int before = gdi_testing::LiveGdiObjectCount();
    EXPECT_EQ(send(WM_NCACTIVATE, 1), 1);
    // Band 0 is one step from blue towards white; the last band is white.
    EXPECT_EQ(pixel(6, 10), QColor(5, 5, 255));
    EXPECT_EQ(pixel(360, 10).blue(), 255);
    EXPECT_GT(pixel(360, 10).red(), 230);

    EXPECT_EQ(send(WM_NCACTIVATE, 0), 1);
    EXPECT_EQ(pixel(6, 10), QColor(193, 193, 193));
    EXPECT_FALSE(sawMessage(WM_NCACTIVATE));
    EXPECT_EQ(gdi_testing::LiveGdiObjectCount(), before);
}

TEST_F(CaptionWndProcTest, SizingCursorsAreSetHereAndOtherHitsPassedOn) {
    const std::vector<std::pair<int, const char*>> sizing = {
        {HTLEFT, IDC_SIZEWE},       {HTRIGHT, IDC_SIZEWE},       {HTTOP, IDC_SIZENS},
        {HTBOTTOM, IDC_SIZENS},     {HTTOPLEFT, IDC_SIZENWSE},   {HTBOTTOMRIGHT, IDC_SIZENWSE},
        {HTTOPRIGHT, IDC_SIZENESW}, {HTBOTTOMLEFT, IDC_SIZENESW}};
    for (const auto& [hit, cursor] : sizing) {
        SetCursor(nullptr);
        EXPECT_EQ(send(WM_SETCURSOR, 0, MAKELPARAM(hit, WM_MOUSEMOVE)), 1);
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, cursor)) << "hit " << hit;
    }
    EXPECT_FALSE(sawMessage(WM_SETCURSOR));
    for (const LPARAM lParam : {LPARAM{HTBORDER}, LPARAM{HTCAPTION}, LPARAM{0xFFF6}}) {
        received.clear();
        send(WM_SETCURSOR, 0, lParam);
        EXPECT_TRUE(sawMessage(WM_SETCURSOR)) << lParam;
    }
    EXPECT_EQ(LoWordSigned(0xFFF6), -10);
    EXPECT_EQ(LoWordSigned(0x7FFF), 0x7FFF);
    EXPECT_EQ(LoWordSigned(0x12340011), 0x11);
}

TEST_F(CaptionWndProcTest, SystemCommandsArePassedOnExceptTheMouseMenu) {
    EXPECT_EQ(send(WM_SYSCOMMAND, 0xF093), 1000);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].msg, WM_NCPAINT);
    EXPECT_EQ(received[1].wParam, 0xF093u);

    received.clear();
    send(WM_SYSCOMMAND, SC_MOUSEMENU);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, WM_NCPAINT);
}

TEST_F(CaptionWndProcTest, FramePaintingLeavesTheCaptionOut) {
    send(WM_NCPAINT, 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_FALSE(received[0].regionCoversCaption);
    EXPECT_TRUE(received[0].regionCoversBorder);
}

TEST_F(CaptionWndProcTest, CaptionPressMovesANormalWindowOnly) {
    send(WM_NCLBUTTONDOWN, HTCAPTION);
    ASSERT_EQ(received.size(), 3u); // repaint, then the move comes back through us
    EXPECT_EQ(received.back().msg, WM_SYSCOMMAND);
    EXPECT_EQ(received.back().wParam, SC_MOVE);

    received.clear();
    send(WM_NCLBUTTONDOWN, HTSYSMENU);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, WM_NCPAINT);

    SetWindowStateRecord(window, true, false);
    received.clear();
    send(WM_NCLBUTTONDOWN, HTCAPTION);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, WM_NCPAINT);

    received.clear();
    send(WM_NCLBUTTONDOWN, HTMINBUTTON);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].msg, WM_NCLBUTTONDOWN);
    EXPECT_EQ(received[1].wParam, static_cast<WPARAM>(HTMINBUTTON));
}

TEST_F(CaptionWndProcTest, TextReachesThePreviousProcedureBeforeTheRepaint) {
    send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("New caption"));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].msg, WM_SETTEXT);
    EXPECT_EQ(received[1].msg, WM_NCPAINT);
    EXPECT_EQ(WindowTextRecord(window), "New caption");
}

TEST_F(CaptionWndProcTest, SizeRepaintsTheFrameThenPassesOn) {
    send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(392, 277));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].msg, WM_NCPAINT);
    EXPECT_EQ(received[1].msg, WM_SIZE);
}

TEST_F(CaptionWndProcTest, IconIsFetchedAfreshForEveryMessage) {
    send(WM_NULL, 0);
    EXPECT_EQ(CaptionIcon, nullptr);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const HICON icon = CreateIconFromImage(image);
    SetWindowSmallIcon(window, icon);
    send(WM_NULL, 0);
    EXPECT_EQ(CaptionIcon, icon);
    EXPECT_EQ(CurrentWindow, window);
    DestroyIcon(icon);
}

TEST_F(CaptionWndProcTest, OtherMessagesArePassedOnUnchanged) {
    EXPECT_EQ(send(WM_NCHITTEST, 0, MAKELPARAM(300, 60)), HTCAPTION);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, WM_NCHITTEST);
}

TEST_F(CaptionWndProcTest, NoDrawingObjectOutlivesAMessage) {
    const int before = gdi_testing::LiveGdiObjectCount();
    for (UINT msg : {WM_NCPAINT, WM_NCACTIVATE, WM_KILLFOCUS, WM_MOUSEACTIVATE, WM_SIZE,
                     WM_INITMENUPOPUP, WM_NCRBUTTONDOWN, WM_MDIACTIVATE}) {
        send(msg, 1);
        EXPECT_EQ(gdi_testing::LiveGdiObjectCount(), before) << "message " << msg;
    }
    EXPECT_EQ(WindowDC, nullptr);
}

TEST_F(CaptionWndProcTest, UnsubclassRestoresTheProcedureAndRemovesTheProperty) {
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CaptionWndProc));
    EXPECT_EQ(GetPropA(window, "oldmeproc"), reinterpret_cast<HANDLE>(&Recorder));
    UnsubclassWindow(window);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&Recorder));
    EXPECT_EQ(GetPropA(window, "OldMeProc"), nullptr);
    // A second removal finds no property and changes nothing.
    UnsubclassWindow(window);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&Recorder));
}

} // namespace
