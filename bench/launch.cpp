// From a click on "Run This Game" to the emulator's process running: the
// settings writes, the command line, the program search and the start. The
// emulator is a stand-in sh script that creates a marker file as its first
// act; each repetition is one click, so the median is the figure to read.
#include "launcher/Declarations.h"
#include "launcher/DoEXE1.h"
#include "launcher/Form1.h"
#include "platform/forms/MsgBox.h"
#include "platform/forms/Shell.h"
#include "platform/forms/Testing.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/win32.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <time.h>

namespace {

using tavro::Form1;

// The emulator directory for the whole run: drv/ with one driver, and the
// stand-in emulator beside the launcher.
struct Setup {
    QTemporaryDir dir;
    QString marker;
    QString failure;

    Setup() {
        QDir(dir.path()).mkpath("drv");
        QDir(dir.path()).mkpath("preview");
        QFile driver(dir.path() + "/drv/game one.drv");
        driver.open(QIODevice::WriteOnly);
        marker = dir.path() + "/running";
        QFile fake(dir.path() + "/morvel");
        fake.open(QIODevice::WriteOnly);
        fake.write(("#!/bin/sh\n: > '" + marker + "'\n").toUtf8());
        fake.close();
        fake.setPermissions(fake.permissions() | QFile::ExeOwner);
        platform::forms::SetAppPathForTesting(dir.path().toStdString());
        platform::forms::SetMsgBoxHook(
            [this](const std::string& text, platform::UINT, const std::string&) {
                failure = QString::fromStdString(text);
                return platform::IDOK;
            });
    }
};

Setup& SharedSetup() {
    static Setup s;
    return s;
}

bool Exists(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0;
}

// Waits for the marker, polling finely; false after five seconds.
bool WaitFor(const QByteArray& path) {
    const timespec pause{0, 20'000};
    for (int i = 0; i < 250'000; ++i) {
        if (Exists(path))
            return true;
        nanosleep(&pause, nullptr);
    }
    return false;
}

void BM_RunThisGameUntilEmulatorRuns(benchmark::State& state) {
    Setup& s = SharedSetup();
    Form1& form = Form1::Instance();
    form.Option16->setValue(true);
    form.Option8->setValue(true);
    form.Check1->setValue(1);
    form.Check4->setValue(1);
    form.File1->setListIndex(0);
    form.File1_Click();
    const QByteArray marker = QFile::encodeName(s.marker);
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(s.marker);
        state.ResumeTiming();
        platform::forms::qt::Widget(form.Command1)->click();
        if (!WaitFor(marker)) {
            state.SkipWithError(("the emulator did not start: " + s.failure).toStdString().c_str());
            break;
        }
    }
}
BENCHMARK(BM_RunThisGameUntilEmulatorRuns)
    ->Iterations(1)
    ->Repetitions(60)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The parts on their own: building the line with its seven settings writes,
void BM_BuildCommandLine(benchmark::State& state) {
    SharedSetup();
    Form1& form = Form1::Instance();
    form.Option16->setValue(true);
    form.Option8->setValue(true);
    for (auto _ : state) {
        tavro::BuildCommandLine();
        tavro::AppendDriverToCommandLine();
        benchmark::DoNotOptimize(tavro::CommandLine);
    }
}
BENCHMARK(BM_BuildCommandLine)->Unit(benchmark::kMicrosecond);

// ... and the start alone, up to the stand-in's first act.
void BM_ShellUntilProgramRuns(benchmark::State& state) {
    Setup& s = SharedSetup();
    const QByteArray marker = QFile::encodeName(s.marker);
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(s.marker);
        state.ResumeTiming();
        const platform::ShellResult r =
            platform::forms::Shell("morvel -driver \"game one.drv\"", platform::SW_SHOWMINIMIZED);
        if (!r.ok || !WaitFor(marker)) {
            state.SkipWithError(("the program did not start: " + r.reason).c_str());
            break;
        }
    }
}
BENCHMARK(BM_ShellUntilProgramRuns)
    ->Iterations(1)
    ->Repetitions(60)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete Form1::Existing();
    return 0;
}
