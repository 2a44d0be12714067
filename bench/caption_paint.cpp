// One caption repaint of a 765-pixel-wide window, as the window procedure does
// it: a memory DC and bitmap, PaintCaption (bands, icon, text, buttons), the
// copy onto the window DC, and everything freed again. The argument is the
// screen's device pixel ratio (1, or 2 for a 200 % screen).
#include "caption/GradForm.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/window_host.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

using namespace platform;
using namespace tavro;

namespace {

void Repaint(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    WindowDC = GetWindowDC(hwnd);
    MemoryDC = CreateCompatibleDC(WindowDC);
    HBITMAP bitmap =
        CreateCompatibleBitmap(WindowDC, rc.right - rc.left, OffscreenCaptionHeight(hwnd));
    HGDIOBJ previous = SelectObject(MemoryDC, bitmap);
    ClipRegion = CreateRectRgn(rc.left, rc.top, rc.right, rc.bottom);
    SelectClipRgn(WindowDC, ClipRegion);
    OffsetClipRgn(WindowDC, -rc.left, -rc.top);
    COLORREF one = 0, two = 0;
    CaptionColours(-1, one, two);
    PaintCaption(one, two);
    SelectObject(MemoryDC, previous);
    DeleteObject(bitmap);
    DeleteDC(MemoryDC);
    OffsetClipRgn(WindowDC, rc.left, rc.top);
    GetClipRgn(WindowDC, ClipRegion);
    ReleaseDC(hwnd, WindowDC);
    DeleteObject(ClipRegion);
    WindowDC = nullptr;
}

void BM_CaptionRepaint765(benchmark::State& state) {
    HWND hwnd = CreateWindowRecord(WindowCreate{
        "Tavro - Morvel launcher", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
        RECT{100, 100, 100 + 765, 100 + 560}});
    QImage art(16, 16, QImage::Format_ARGB32);
    art.fill(qRgba(40, 90, 200, 255));
    HICON icon = CreateIconFromImage(art);
    SetWindowPixelRatioRecord(hwnd, static_cast<double>(state.range(0)));
    ApplyCaptionStyleDefaults();
    CurrentWindow = hwnd;
    CaptionIcon = icon;
    for (auto _ : state) {
        Repaint(hwnd);
    }
    if (gdi_testing::LiveGdiObjectCount() != 0) {
        state.SkipWithError("GDI objects leaked");
    }
    DestroyIcon(icon);
    DestroyWindow(hwnd);
}
BENCHMARK(BM_CaptionRepaint765)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // Fonts and text need a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
