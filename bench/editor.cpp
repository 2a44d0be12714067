// The driver editor with a 10 MB driver file: opening it (load to the first
// paint of the editor), saving it, and one character typed at its end.
#include "editor/edit.h"
#include "launcher/Form1.h"
#include "platform/forms/App.h"
#include "platform/forms/MsgBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace tavro;
using platform::forms::RichTextBox;

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
        platform::forms::App::SetPathForTesting(dir_.path());
        platform::forms::SetMsgBoxHook([](const QString&, int, const QString&) {
            return platform::IDNO; // never wait on a dialog
        });
        Form1::Instance().File1->setListIndex(0);
    }
    ~BigDriver() {
        delete edit::Existing();
        delete Form1::Existing();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::forms::SetMsgBoxHook({});
        platform::forms::App::SetPathForTesting(QString());
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

BigDriver& driver() {
    if (!bigDriver) {
        bigDriver = std::make_unique<BigDriver>();
    }
    return *bigDriver;
}

void closeEditor() {
    delete edit::Existing();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

edit& openEditor() {
    edit::Open();
    edit* form = edit::Existing();
    form->editor->viewport()->repaint();
    return *form;
}

// The rest of a large file fills in from the event loop.
void fillIn(edit& form) {
    while (form.editor->Filling()) {
        QApplication::processEvents();
    }
}

void BM_OpenDriver10MB(benchmark::State& state) {
    const BigDriver& d = driver();
    for (auto _ : state) {
        edit& form = openEditor(); // Open() shows; repaint() paints the editor at once
        benchmark::DoNotOptimize(form.editor->document()->blockCount());
        state.PauseTiming();
        closeEditor();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * d.size());
}
BENCHMARK(BM_OpenDriver10MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

// Until the whole file is in the editor, filled in from the event loop.
void BM_OpenDriver10MBFilledIn(benchmark::State& state) {
    const BigDriver& d = driver();
    for (auto _ : state) {
        edit& form = openEditor();
        fillIn(form);
        state.PauseTiming();
        closeEditor();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * d.size());
}
BENCHMARK(BM_OpenDriver10MBFilledIn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_SaveDriver10MB(benchmark::State& state) {
    const BigDriver& d = driver();
    edit& form = openEditor();
    fillIn(form);
    for (auto _ : state) {
        QString error;
        if (!form.editor->SaveFile(d.path(), RichTextBox::rtfText, &error)) {
            state.SkipWithError(error.toUtf8().constData());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * d.size());
    closeEditor();
}
BENCHMARK(BM_SaveDriver10MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_KeystrokeAtEndOf10MB(benchmark::State& state) {
    driver();
    edit& form = openEditor();
    fillIn(form);
    form.editor->moveCursor(QTextCursor::End);
    for (auto _ : state) {
        // One typed character: the key's events, the change flag, and the repaint.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(form.editor, &press);
        QApplication::sendEvent(form.editor, &release);
        form.editor->viewport()->repaint();
    }
    if (form.Tag != "1") {
        state.SkipWithError("the key did not reach the editor");
    }
    closeEditor();
}
BENCHMARK(BM_KeystrokeAtEndOf10MB)->Unit(benchmark::kMicrosecond)->UseRealTime();

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
