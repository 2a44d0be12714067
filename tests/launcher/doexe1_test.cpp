// The emulator's command line as the main window's choices build it, and the
// settings stored on the way.
#include "launcher/Declarations.h"
#include "launcher/DoEXE1.h"
#include "launcher/Form1.h"
#include "platform/system/command_line.h"
#include "platform/win32.h"
#include "settings/Ini_Declarations.h"
#include "support/EmulatorDir.h"
#include "support/MsgBoxRecorder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace tavro;
using platform::forms::CheckBox;
using platform::forms::OptionButton;
using tavro::test::EmulatorDir;
using tavro::test::MsgBoxRecorder;

namespace {

class DoEXE1Test : public ::testing::Test {
protected:
    void SetUp() override {
        DriverFile.clear();
        CommandLine.clear();
    }
    void TearDown() override {
        DriverFile.clear();
        CommandLine.clear();
    }

    Form1& form() { return Form1::Instance(); }
    QString cfg() const { return QString::fromUtf8(dir.read("tavro.cfg")); }
    std::string line() const { return CommandLine; }

    MsgBoxRecorder messages;
    EmulatorDir dir;
};

TEST_F(DoEXE1Test, NoChoicesStoresTheFiveSwitchesOnly) {
    form();
    BuildCommandLine();
    EXPECT_EQ(line(), "morvel ");
    AppendDriverToCommandLine();
    EXPECT_EQ(line(), "morvel -driver ");

    for (const char* key : {"sync", "debug", "nocheck", "sound", "profile"})
        EXPECT_EQ(ReadIniValue("General", key), "0") << key;
    EXPECT_EQ(ReadIniValue("Resolution", "res"), "");
    EXPECT_EQ(ReadIniValue("Frameskip", "number"), "");
    EXPECT_FALSE(cfg().contains("[Resolution]"));
    EXPECT_FALSE(cfg().contains("[Frameskip]"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(DoEXE1Test, EveryOptionStoresItsValueAndAppendsItsFlag) {
    struct Row {
        OptionButton* Form1::*control;
        const char* section;
        const char* key;
        const char* value;
        const char* flag;
    };
    const std::vector<Row> rows = {
        {&Form1::Option1, "Resolution", "res", "256x256", "-256x256 "},
        {&Form1::Option2, "Resolution", "res", "320x200", "-320x200 "},
        {&Form1::Option3, "Resolution", "res", "400x256", "-400x256 "},
        {&Form1::Option4, "Resolution", "res", "640x400", "-640x400 "},
        {&Form1::Option15, "Resolution", "res", "400x300", "-400x300VESA2 "},
        {&Form1::Option16, "Resolution", "res", "800x600", "-800x600VESA2 "},
        {&Form1::Option5, "Frameskip", "number", "0", ""},
        {&Form1::Option6, "Frameskip", "number", "1", "-frameskip 1 "},
        {&Form1::Option7, "Frameskip", "number", "2", "-frameskip 2 "},
        {&Form1::Option8, "Frameskip", "number", "3", "-frameskip 3 "},
        {&Form1::Option9, "Frameskip", "number", "4", "-frameskip 4 "},
        {&Form1::Option10, "Frameskip", "number", "5", "-frameskip 5 "},
        {&Form1::Option11, "Frameskip", "number", "6", "-frameskip 6 "},
        {&Form1::Option12, "Frameskip", "number", "7", "-frameskip 7 "},
        {&Form1::Option13, "Frameskip", "number", "8", "-frameskip 8 "},
        {&Form1::Option14, "Frameskip", "number", "9", "-frameskip 9 "},
    };
    Form1& f = form();
    for (const Row& row : rows) {
        (f.*row.control)->setValue(true);
        BuildCommandLine();
        const bool screen = std::string(row.section) == "Resolution";
        // The other group keeps the last button of its own that the loop set.
        const std::string flags = CommandLine.substr(7);
        EXPECT_NE(flags.find(row.flag), std::string::npos) << row.value;
        EXPECT_EQ(ReadIniValue(row.section, row.key), row.value);
        if (screen) {
            EXPECT_EQ(flags.rfind(row.flag, 0), 0u) << "screen mode comes first";
        }
    }
    // Frame-skip 0 stores "0" and adds no flag of its own.
    f.Option5->setValue(true);
    f.Option16->setValue(true);
    BuildCommandLine();
    EXPECT_EQ(line(), "morvel -800x600VESA2 ");
    EXPECT_EQ(ReadIniValue("Frameskip", "number"), "0");
}

TEST_F(DoEXE1Test, WithoutAScreenModeTheStoredOneIsKept) {
    form(); // loaded before the file exists, so no option is set
    dir.write("tavro.cfg", "[Resolution]\nres=640x400\n[Frameskip]\nnumber=3\n");
    BuildCommandLine();
    EXPECT_EQ(line(), "morvel ");
    EXPECT_EQ(ReadIniValue("Resolution", "res"), "640x400");
    EXPECT_EQ(ReadIniValue("Frameskip", "number"), "3");
}

TEST_F(DoEXE1Test, SwitchesComeInFixedOrderWhateverTheTickingOrder) {
    Form1& f = form();
    for (CheckBox* box : {f.Check5, f.Check4, f.Check3, f.Check2, f.Check1})
        box->setValue(CheckBox::Checked);
    BuildCommandLine();
    AppendDriverToCommandLine();
    EXPECT_EQ(line(), "morvel -sync -debug -nocheck -sound -profile -driver ");
    for (const char* key : {"sync", "debug", "nocheck", "sound", "profile"})
        EXPECT_EQ(ReadIniValue("General", key), "1") << key;
}

TEST_F(DoEXE1Test, FullLineAndASecondPressGivesTheSameLine) {
    Form1& f = form();
    f.Option4->setValue(true);
    f.Option7->setValue(true);
    f.Check1->setValue(CheckBox::Checked);
    f.Check4->setValue(CheckBox::Checked);
    DriverFile = "game.drv";
    BuildCommandLine();
    AppendDriverToCommandLine();
    const std::string first = line();
    EXPECT_EQ(first, "morvel -640x400 -frameskip 2 -sync -sound -driver game.drv");
    const QString firstCfg = cfg();

    BuildCommandLine();
    AppendDriverToCommandLine();
    EXPECT_EQ(line(), first);
    EXPECT_EQ(cfg(), firstCfg);
}

TEST_F(DoEXE1Test, GrayedSwitchWritesNothingAndAddsNoFlag) {
    dir.write("tavro.cfg", "[General]\nnocheck=1\n");
    Form1& f = form();
    f.Check3->setValue(CheckBox::Grayed);
    f.Check2->setValue(CheckBox::Checked);
    BuildCommandLine();
    EXPECT_EQ(line(), "morvel -debug ");
    EXPECT_EQ(ReadIniValue("General", "nocheck"), "1");
    EXPECT_EQ(ReadIniValue("General", "debug"), "1");
    EXPECT_EQ(ReadIniValue("General", "sync"), "0");
}

TEST_F(DoEXE1Test, DriverNamesReachTheEmulatorAsOneArgument) {
    form();
    const std::vector<std::string> names = {
        "game.drv",
        "my game.drv",
        "tab\tgame.drv",
        "say \"hi\".drv",
        "x;y|z.drv",
        "$(rm -rf ~).drv",
        "`id` * ~.drv",
        "árvíztűrő tükörfúrógép.drv",
        "end\\ .drv",
        "quote\\\" x.drv",
        "trailing slash\\",
        "日本語.drv",
        // Not UTF-8: a Latin-1 name, and a broken sequence with blanks around it.
        "caf\xE9.drv",
        "a \xC3(\xA0\x85 \"\xFF\".drv",
    };
    for (const std::string& name : names) {
        DriverFile = name;
        BuildCommandLine();
        AppendDriverToCommandLine();
        const std::vector<std::string> args = platform::SplitCommandLine(CommandLine);
        ASSERT_GE(args.size(), 2u);
        EXPECT_EQ(std::vector(args.end() - 2, args.end()),
                  std::vector<std::string>({"-driver", name}))
            << CommandLine;
    }
    // Names that need no quoting are appended as they are.
    DriverFile = "x;y|z.drv";
    BuildCommandLine();
    AppendDriverToCommandLine();
    EXPECT_TRUE(CommandLine.ends_with("-driver x;y|z.drv"));
    DriverFile = "my game.drv";
    BuildCommandLine();
    AppendDriverToCommandLine();
    EXPECT_TRUE(CommandLine.ends_with("-driver \"my game.drv\""));
}

} // namespace
