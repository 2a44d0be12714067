// The two launch buttons end to end: a click on the main window starts a
// stand-in emulator from the emulator directory, stores the choices, reports
// a program that cannot be started, and the choices come back after a restart.
#include "editor/edit.h"
#include "launcher/Declarations.h"
#include "launcher/Form1.h"
#include "platform/forms/Form.h"
#include "platform/forms/Testing.h"
#include "platform/forms/qt/Picture.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/win32.h"
#include "support/EmulatorDir.h"
#include "support/FakeEmulator.h"
#include "support/HeldLock.h"
#include "support/MsgBoxRecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tavro;
using platform::forms::CheckBox;
using namespace platform::forms::qt;
using tavro::test::EmulatorDir;
using tavro::test::EmulatorRecord;
using tavro::test::MsgBoxRecorder;
using tavro::test::WaitForRecord;
using tavro::test::WriteFakeEmulator;

namespace {

// True once the process has been reaped (gone from /proc), within a deadline.
bool Reaped(qint64 pid) {
    QElapsedTimer clock;
    clock.start();
    while (QFile::exists(QString("/proc/%1").arg(pid)) && clock.elapsed() < 10000) {
        QThread::msleep(10);
    }
    return !QFile::exists(QString("/proc/%1").arg(pid));
}

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.isValid() && work.isValid() && emptyPath.isValid());
        savedCwd = QDir::currentPath();
        savedPath = qgetenv("PATH");
        ASSERT_TRUE(QDir::setCurrent(work.path()));
        DriverFile.clear();
        CommandLine.clear();
    }
    void TearDown() override {
        QDir::setCurrent(savedCwd);
        qputenv("PATH", savedPath);
        DriverFile.clear();
        CommandLine.clear();
    }

    QString record() const { return out.path() + "/record"; }
    void installEmulator() { WriteFakeEmulator(dir.file("morvel"), record()); }

    // Puts a driver file in drv/ and selects it in the list, as a click does.
    void selectDriver(Form1& form, const QString& name) {
        dir.write("drv/" + name, "; driver\n");
        ASSERT_TRUE(form.File1->Refresh());
        for (int i = 0; i < form.File1->ListCount(); ++i) {
            if (form.File1->List(i) == QFile::encodeName(name).toStdString())
                form.File1->setListIndex(i);
        }
        form.File1_Click();
        ASSERT_EQ(DriverFile, QFile::encodeName(name).toStdString());
    }

    MsgBoxRecorder messages;
    EmulatorDir dir;
    QTemporaryDir out, work, emptyPath;
    QString savedCwd;
    QByteArray savedPath;
};

TEST_F(LaunchTest, RunThisGameStartsTheEmulatorWithTheChosenLine) {
    installEmulator();
    Form1& form = Form1::Instance();
    form.Option4->setValue(true);
    form.Option7->setValue(true);
    form.Check1->setValue(CheckBox::Checked);
    form.Check4->setValue(CheckBox::Checked);
    selectDriver(form, "game.drv");

    Widget(form.Command1)->click();

    EXPECT_EQ(CommandLine, "morvel -640x400 -frameskip 2 -sync -sound -driver game.drv");
    const EmulatorRecord rec = WaitForRecord(record());
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(rec.args, QStringList({"-640x400", "-frameskip", "2", "-sync", "-sound", "-driver",
                                     "game.drv"}));
    EXPECT_EQ(rec.cwd, work.path()) << "the emulator runs in the launcher's current directory";
    EXPECT_EQ(rec.ppid, ::getpid());
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(platform::forms::EndRequested());
    EXPECT_TRUE(Reaped(rec.pid)) << "the finished emulator was left as a zombie";

    const QByteArray cfg = dir.read("tavro.cfg");
    for (const char* line :
         {"res=640x400", "number=2", "sync=1", "debug=0", "nocheck=0", "sound=1", "profile=0"})
        EXPECT_TRUE(cfg.contains(line)) << line;
}

TEST_F(LaunchTest, DriverNamesArriveAsExactlyOneArgument) {
    installEmulator();
    Form1& form = Form1::Instance();
    const QStringList names = {"my game.drv", "say \"hi\" now.drv", "a;b|c $(id) `id` * ~.drv",
                               "ümlaut ñandú 日本.drv", "back\\slash\\ \".drv"};
    for (const QString& name : names) {
        QFile::remove(record());
        selectDriver(form, name);
        Widget(form.Command1)->click();
        const EmulatorRecord rec = WaitForRecord(record());
        ASSERT_TRUE(rec.present) << name.toStdString();
        EXPECT_EQ(rec.args, QStringList({"-driver", name})) << CommandLine;
    }
    EXPECT_TRUE(messages.empty());
}

// A name that is not valid UTF-8 (a Latin-1 e-acute; a broken sequence with
// bytes that are blanks elsewhere) is shown decoded but used by its exact
// bytes: for the preview, by the editor and as the emulator's argument.
TEST_F(LaunchTest, NamesThatAreNotUtf8AreUsedByTheirExactBytes) {
    installEmulator();
    dir.writePicture("preview/404.jpg", 40, 30);
    messages.otherwise = platform::IDYES;
    Form1& form = Form1::Instance();
    // In byte order, as the directory check at the end lists them.
    const QList<QByteArray> names = {"bad \xC3\x28\xA0\x85\xFF \"seq\".drv", "caf\xE9.drv"};
    int width = 100;
    for (const QByteArray& name : names) {
        ++width;
        dir.writeRaw("drv/" + name, "; driver\n");
        dir.writeRaw("preview/" + name + ".jpg", tavro::test::Picture(width, 50));
        ASSERT_TRUE(form.File1->Refresh());
        int row = -1;
        for (int i = 0; i < form.File1->ListCount(); ++i) {
            if (form.File1->List(i) == name.toStdString())
                row = i;
        }
        ASSERT_GE(row, 0) << name.toStdString();
        const QString shown = Widget(form.File1)->model()->index(row, 0).data().toString();
        EXPECT_TRUE(shown.contains(QChar::ReplacementCharacter)) << shown.toStdString();
        form.File1->setListIndex(row);
        EXPECT_EQ(DriverFile, name.toStdString());
        EXPECT_EQ(PreviewPath, dir.rawFile("preview/" + name + ".jpg").toStdString());
        EXPECT_EQ(PixmapOf(form.Image1->Picture()).size(), QSize(width, 50))
            << "the preview was not shown";

        Widget(form.Command3)->click();
        edit* editor = edit::Existing();
        ASSERT_NE(editor, nullptr) << messages.back().text.toStdString();
        EXPECT_EQ(editor->Caption(), ("Tavro Driver Editor - [" + shown + "]").toStdString());
        EXPECT_EQ(editor->editor->Text(), "; driver\n");
        QTest::keyClicks(Widget(editor->editor), "x");
        editor->mnu_sair_Click();
        EXPECT_EQ(dir.readRaw("drv/" + name), "x; driver\n");
        delete editor;

        QFile::remove(record());
        Widget(form.Command1)->click();
        const EmulatorRecord rec = WaitForRecord(record());
        ASSERT_TRUE(rec.present);
        EXPECT_EQ(rec.rawArgs, QList<QByteArray>({"-driver", name}));
    }
    // Nothing was made under a decoded name, and no error was shown.
    EXPECT_EQ(dir.rawEntries("drv"), names);
    QStringList texts;
    for (const MsgBoxRecorder::Message& m : messages)
        texts << m.text;
    const QStringList saved = {"This Driver has Changed, Want to save it?", "Driver Saved!"};
    EXPECT_EQ(texts, saved + saved);
}

TEST_F(LaunchTest, WriteGameListStartsTheFixedCommandAndStoresNothing) {
    installEmulator();
    Form1& form = Form1::Instance();
    form.Option16->setValue(true);
    form.Check5->setValue(CheckBox::Checked);
    CommandLine = "untouched";

    // No configuration file: none appears.
    Widget(form.Command2)->click();
    EmulatorRecord rec = WaitForRecord(record());
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(rec.args, QStringList({"-gamelist"}));
    EXPECT_FALSE(dir.exists("tavro.cfg"));
    EXPECT_EQ(CommandLine, "untouched");

    // An existing one stays byte for byte what it was.
    const QByteArray before = "; mine\r\n[General]\r\nsync = 1\r\n\r\n[Resolution]\r\nres=256x256";
    dir.write("tavro.cfg", before);
    QFile::remove(record());
    Widget(form.Command2)->click();
    rec = WaitForRecord(record());
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(dir.read("tavro.cfg"), before);
    EXPECT_TRUE(messages.empty());
}

TEST_F(LaunchTest, MissingEmulatorIsReportedAndTheLauncherStaysOpen) {
    qputenv("PATH", QFile::encodeName(emptyPath.path()));
    Form1& form = Form1::Instance();
    form.Check2->setValue(CheckBox::Checked);

    Widget(form.Command1)->click();
    ASSERT_EQ(messages.size(), 1u);
    const MsgBoxRecorder::Message& m = messages.front();
    EXPECT_EQ(m.style, platform::MB_ICONHAND);
    EXPECT_EQ(m.title, "Tavro");
    EXPECT_TRUE(m.text.contains("morvel")) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(dir.path())) << "names the launcher's directory";
    EXPECT_TRUE(m.text.contains(work.path())) << "names the current directory";
    EXPECT_TRUE(m.text.contains(emptyPath.path())) << "names the PATH entries";
    EXPECT_TRUE(m.text.contains("No file named")) << m.text.toStdString();
    // The settings written before the failure stay written; the window stays.
    EXPECT_EQ(QString::fromUtf8(dir.read("tavro.cfg")).count("debug=1"), 1);
    EXPECT_FALSE(platform::forms::EndRequested());
    EXPECT_EQ(Form1::Existing(), &form);

    Widget(form.Command2)->click();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages.back().text.contains("morvel.exe")) << messages.back().text.toStdString();
    EXPECT_FALSE(platform::forms::EndRequested());
}

TEST_F(LaunchTest, EmulatorThatMayNotRunIsReported) {
    qputenv("PATH", QFile::encodeName(emptyPath.path()));
    dir.write("morvel", "#!/bin/sh\n");
    Form1& form = Form1::Instance();
    Widget(form.Command2)->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages.front().text.contains(dir.file("morvel") + " is not an executable"))
        << messages.front().text.toStdString();
    EXPECT_FALSE(platform::forms::EndRequested());

    // There and executable, but its interpreter is missing.
    dir.write("morvel", "#!/nonexistent/morvel-runtime\n");
    ASSERT_TRUE(QFile::setPermissions(dir.file("morvel"), QFile::ReadOwner | QFile::ExeOwner));
    Widget(form.Command2)->click();
    ASSERT_EQ(messages.size(), 2u);
    const QString& text = messages.back().text;
    EXPECT_TRUE(text.contains("Program: morvel.exe")) << text.toStdString();
    EXPECT_TRUE(text.contains(dir.path()) && text.contains(work.path())) << text.toStdString();
    EXPECT_TRUE(text.endsWith("Reason: " + dir.file("morvel") +
                              " could not be started: its interpreter "
                              "/nonexistent/morvel-runtime was not found."))
        << text.toStdString();
    EXPECT_FALSE(platform::forms::EndRequested());
}

TEST_F(LaunchTest, ChoicesComeBackAfterARestart) {
    installEmulator();
    {
        Form1& form = Form1::Instance();
        form.Option15->setValue(true);
        form.Option14->setValue(true);
        form.Check3->setValue(CheckBox::Checked);
        form.Check5->setValue(CheckBox::Checked);
        Widget(form.Command1)->click();
        ASSERT_TRUE(WaitForRecord(record()).present);
    }
    tavro::test::DestroyForms();
    ASSERT_EQ(Form1::Existing(), nullptr);

    Form1& fresh = Form1::Instance();
    EXPECT_TRUE(fresh.Option15->Value());
    EXPECT_TRUE(fresh.Option14->Value());
    EXPECT_EQ(fresh.Check1->Value(), CheckBox::Unchecked);
    EXPECT_EQ(fresh.Check2->Value(), CheckBox::Unchecked);
    EXPECT_EQ(fresh.Check3->Value(), CheckBox::Checked);
    EXPECT_EQ(fresh.Check4->Value(), CheckBox::Unchecked);
    EXPECT_EQ(fresh.Check5->Value(), CheckBox::Checked);
    for (auto* option : {fresh.Option1, fresh.Option2, fresh.Option3, fresh.Option4, fresh.Option16,
                         fresh.Option5, fresh.Option13})
        EXPECT_FALSE(option->Value());
}

// Two Run presses whose choices cannot be stored: the emulator starts each
// time, and the reason is told once, after the start.
struct StoreFailureRow {
    const char* name;
    QByteArray file; // tavro.cfg, written once the window has loaded
    bool locked;     // another launcher holds the lock on tavro.cfg's folder
    std::function<void(const EmulatorDir&)> arrange;
    const char* reason; // in the one message; null for none
    bool emulator = true;
};

void PrintTo(const StoreFailureRow& row, std::ostream* os) {
    *os << row.name;
}

// The five switches stored as "1": an unticked window changes them all.
const QByteArray Ticked = "[General]\nsync=1\ndebug=1\nnocheck=1\nsound=1\nprofile=1\n";

// tavro.cfg gets a second name, which a save would part from it.
void LinkElsewhere(const EmulatorDir& d) {
    ::link(QFile::encodeName(d.file("tavro.cfg")), QFile::encodeName(d.file("other.cfg")));
}

const StoreFailureRow StoreFailureRows[] = {
    {"LockHeld", Ticked, true, {}, "locked"},
    {"HardLinked", Ticked, false, LinkElsewhere, "hard links"},
    // 5 bytes under 1 MiB, without the keys: the first new one would pass it.
    {"GrowingPastTheCap",
     "[General]\n;" + QByteArray((1 << 20) - 5 - 12, 'f') + "\n",
     false,
     {},
     "1 MiB"},
    // Read-only is how a user pins the settings: nothing to tell, no wait.
    {"ReadOnly", Ticked, true,
     [](const EmulatorDir& d) { ::chmod(QFile::encodeName(d.file("tavro.cfg")), 0444); }, nullptr},
    // The emulator's own failure is told; the store's waits for a start.
    {"EmulatorMissing", Ticked, false, LinkElsewhere, nullptr, false},
};

class StoreFailures : public LaunchTest, public ::testing::WithParamInterface<StoreFailureRow> {};

TEST_P(StoreFailures, AreToldOnceAfterTheStart) {
    const StoreFailureRow& row = GetParam();
    if (row.emulator)
        installEmulator();
    else
        qputenv("PATH", QFile::encodeName(emptyPath.path()));
    Form1& form = Form1::Instance();
    dir.write("tavro.cfg", row.file);
    if (row.arrange)
        row.arrange(dir);
    const test::HeldLock lock(row.locked ? dir.path().toStdString() : "");
    bool startedFirst = true;
    if (row.emulator)
        messages.whileShown = [&] {
            startedFirst = startedFirst && WaitForRecord(record()).present;
        };

    for (int press = 0; press < 2; ++press) {
        QFile::remove(record());
        Widget(form.Command1)->click();
        EXPECT_TRUE(!row.emulator || WaitForRecord(record()).present) << press;
    }

    EXPECT_EQ(dir.read("tavro.cfg"), row.file);
    EXPECT_EQ(lock.waits(), row.locked && row.reason ? 2u : 0u) << "one wait per press at most";
    std::vector<MsgBoxRecorder::Message> told;
    for (const MsgBoxRecorder::Message& m : messages) {
        if (m.style == (platform::MB_OK | platform::MB_ICONINFORMATION))
            told.push_back(m);
    }
    ASSERT_EQ(told.size(), row.reason ? 1u : 0u);
    EXPECT_EQ(messages.size(), told.size() + (row.emulator ? 0u : 2u));
    if (row.reason) {
        const QString& text = told.front().text;
        EXPECT_EQ(told.front().title, "Tavro");
        EXPECT_TRUE(text.contains(dir.file("tavro.cfg") + ": ")) << text.toStdString();
        EXPECT_TRUE(text.contains(row.reason)) << text.toStdString();
        EXPECT_TRUE(text.contains("started with them anyway")) << text.toStdString();
        EXPECT_TRUE(startedFirst) << "told before the emulator started";
    }
}

INSTANTIATE_TEST_SUITE_P(Launch, StoreFailures, ::testing::ValuesIn(StoreFailureRows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
