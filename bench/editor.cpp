// The driver editor with a 10 MB driver file: opening it (load to the first
// paint of the editor), saving it after a change, one character typed at its
// end, and one typed while the file is still filling in; and the memory that
// 20,000 replaced texts leave behind.
#include "editor/edit.h"
#include "launcher/Form1.h"
#include "platform/forms/MsgBox.h"
#include "platform/forms/Testing.h"
#include "platform/forms/qt/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <unistd.h>

using namespace tavro;
using platform::forms::RichTextBox;
using platform::forms::qt::Widget;

namespace {

constexpr qsizetype DriverBytes = 10 * 1024 * 1024;

// An emulator directory with one large driver, selected in the main window.
class BigDriver {
public:
    BigDriver() {
        QDir(dir_.path()).mkpath("drv");
        QDir(dir_.path()).mkpath("preview");
        QByteArray text;
        text.reserve(DriverBytes + 128);
        for (int line = 0; text.size() < DriverBytes; ++line) {
            text += QStringLiteral("  ROM_LOAD( \"game%1.bin\", 0x%2, 0x10000, CRC(%3) )\r\n")
                        .arg(line, 5, 10, QChar(u'0'))
                        .arg(line * 0x10000, 8, 16, QChar(u'0'))
                        .arg(static_cast<uint>(line) * 2654435761u, 8, 16, QChar(u'0'))
                        .toLatin1();
        }
        path_ = dir_.path() + "/drv/big.drv";
        QFile f(path_);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(text);
        }
        size_ = text.size();
        platform::forms::SetAppPathForTesting(dir_.path().toStdString());
        platform::forms::SetMsgBoxHook([](const std::string&, platform::UINT, const std::string&) {
            return platform::IDNO; // never wait on a dialog
        });
        Form1::Instance().File1->setListIndex(0);
    }
    ~BigDriver() {
        delete edit::Existing();
        delete Form1::Existing();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::forms::SetMsgBoxHook({});
        platform::forms::SetAppPathForTesting({});
    }
    const QString& path() const { return path_; }
    qsizetype size() const { return size_; }

private:
    QTemporaryDir dir_;
    QString path_;
    qsizetype size_ = 0;
};

// Made by the first benchmark that needs it, gone before the application.
std::unique_ptr<BigDriver> bigDriver;

BigDriver& Driver() {
    if (!bigDriver) {
        bigDriver = std::make_unique<BigDriver>();
    }
    return *bigDriver;
}

void CloseEditor() {
    delete edit::Existing();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

edit& OpenEditor() {
    edit::Open();
    edit* form = edit::Existing();
    Widget(form->editor)->viewport()->repaint();
    return *form;
}

// The rest of a large file fills in from the event loop; the longest the
// window waits for one step of it, in milliseconds.
double FillIn(edit& form) {
    double longest = 0;
    while (form.editor->Filling()) {
        QElapsedTimer step;
        step.start();
        QApplication::processEvents();
        longest = std::max(longest, step.nsecsElapsed() / 1e6);
    }
    return longest;
}

// One typed character: the key's events, and the repaint.
void TypeKey(edit& form) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(Widget(form.editor), &press);
    QApplication::sendEvent(Widget(form.editor), &release);
    Widget(form.editor)->viewport()->repaint();
}

// The process's resident memory in bytes.
double ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(::getpagesize()) : 0;
}

void BM_OpenDriver10MB(benchmark::State& state) {
    const BigDriver& d = Driver();
    for (auto _ : state) {
        edit& form = OpenEditor(); // Open() shows; repaint() paints the editor at once
        benchmark::DoNotOptimize(Widget(form.editor)->document()->blockCount());
        state.PauseTiming();
        CloseEditor();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * d.size());
}
BENCHMARK(BM_OpenDriver10MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

// Until the whole file is in the editor, filled in from the event loop.
void BM_OpenDriver10MBFilledIn(benchmark::State& state) {
    const BigDriver& d = Driver();
    double longest = 0;
    for (auto _ : state) {
        edit& form = OpenEditor();
        longest = std::max(longest, FillIn(form));
        state.PauseTiming();
        CloseEditor();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * d.size());
    state.counters["longest_step_ms"] = longest;
}
BENCHMARK(BM_OpenDriver10MBFilledIn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_SaveDriver10MB(benchmark::State& state) {
    const BigDriver& d = Driver();
    edit& form = OpenEditor();
    FillIn(form);
    // A save follows a change: the text is encoded, not the loaded bytes copied.
    QTextCursor(Widget(form.editor)->document()).insertText(QStringLiteral(" "));
    for (auto _ : state) {
        std::string error;
        const std::string path = QFile::encodeName(d.path()).toStdString();
        if (!form.editor->SaveFile(path, RichTextBox::rtfText, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * d.size());
    CloseEditor();
}
BENCHMARK(BM_SaveDriver10MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_KeystrokeAtEndOf10MB(benchmark::State& state) {
    Driver();
    edit& form = OpenEditor();
    FillIn(form);
    Widget(form.editor)->moveCursor(QTextCursor::End);
    for (auto _ : state) {
        TypeKey(form);
    }
    if (form.Tag != "1") {
        state.SkipWithError("the key did not reach the editor");
    }
    CloseEditor();
}
BENCHMARK(BM_KeystrokeAtEndOf10MB)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The first key pressed while the file is still filling in: how long the
// window is held by it (the key acts once the last slice is in).
void BM_KeystrokeWhileFilling10MB(benchmark::State& state) {
    Driver();
    for (auto _ : state) {
        state.PauseTiming();
        edit& form = OpenEditor();
        if (!form.editor->Filling()) {
            state.SkipWithError("the file was not filling in");
            break;
        }
        state.ResumeTiming();
        TypeKey(form);
        state.PauseTiming();
        FillIn(form);
        if (!form.editor->Modified()) {
            state.SkipWithError("the key was lost");
        }
        CloseEditor();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_KeystrokeWhileFilling10MB)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(8);

// 20,000 texts set one after the other: the documents they replace are freed.
void BM_SetText20000(benchmark::State& state) {
    platform::forms::Form host({}); // a control lives on a form
    RichTextBox& box = *new RichTextBox(host.Client());
    const std::string text =
        QStringLiteral("  ROM_LOAD( \"game.bin\", 0x0000, 0x10000 )\n").repeated(20).toStdString();
    double growth = 0;
    for (auto _ : state) {
        box.setText(text); // a first document, so the growth counts only replacements
        const double before = ResidentBytes();
        for (int i = 0; i < 20000; ++i) {
            box.setText(text);
        }
        growth = ResidentBytes() - before;
    }
    state.counters["rss_growth_MB"] = growth / (1024 * 1024);
}
BENCHMARK(BM_SetText20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    bigDriver.reset();
    benchmark::Shutdown();
    return 0;
}
