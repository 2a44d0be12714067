// A full WM_NCACTIVATE on the main window: the painter's entry steps, its
// repaint sequence, and the previous procedure painting the rest of the frame.
// The argument is the screen's device pixel ratio (1, or 2 for a 200 % screen).
#include "launcher/Form1.h"
#include "platform/forms/Testing.h"
#include "platform/forms/qt/Design.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/window_host.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

platform::HWND MainWindow() {
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        QDir(dir.path()).mkpath("drv");
        platform::forms::SetAppPathForTesting(dir.path().toStdString());
        tavro::Form1::Instance().Show();
        QApplication::processEvents();
        made = true;
    }
    platform::SetWindowPixelRatioRecord(tavro::Form1::Instance().hWnd(), 1.0);
    return tavro::Form1::Instance().hWnd();
}

void BM_NcActivate(benchmark::State& state) {
    const platform::HWND hwnd = MainWindow();
    platform::SetWindowPixelRatioRecord(hwnd, static_cast<double>(state.range(0)));
    platform::WPARAM active = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::SendMessageA(hwnd, platform::WM_NCACTIVATE, active, 0));
        active ^= 1;
    }
}
BENCHMARK(BM_NcActivate)
    ->ArgName("ratio")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// Drawing objects alive after 100,000 messages, less those alive before.
void BM_GdiGrowthOver100kMessages(benchmark::State& state) {
    const platform::HWND hwnd = MainWindow();
    for (auto _ : state) {
        const int before = platform::gdi_testing::LiveGdiObjectCount();
        for (int i = 0; i < 100000; ++i) {
            platform::SendMessageA(hwnd, platform::WM_NCACTIVATE,
                                   static_cast<platform::WPARAM>(i & 1), 0);
        }
        state.counters["gdi_growth"] = platform::gdi_testing::LiveGdiObjectCount() - before;
    }
}
BENCHMARK(BM_GdiGrowthOver100kMessages)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(platform::forms::qt::DefaultDialogQFont());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
