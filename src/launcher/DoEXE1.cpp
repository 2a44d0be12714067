#include "launcher/DoEXE1.h"

#include "launcher/Declarations.h"
#include "launcher/Form1.h"
#include "platform/forms/MsgBox.h"
#include "platform/forms/Shell.h"
#include "platform/system/command_line.h"
#include "platform/win32.h"
#include "settings/Ini_Declarations.h"

#include <array>
#include <string>

namespace tavro {

using namespace platform;

namespace {

using platform::forms::CheckBox;
using platform::forms::OptionButton;

// One screen-mode or frame-skip row: the option button, the setting it
// stores when set, and its flag (frame-skip 0 has none).
struct OptionRow {
    OptionButton* Form1::*control;
    const char* section;
    const char* key;
    const char* value;
    const char* flag;
};

constexpr std::array<OptionRow, 16> OptionRows{{
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
}};

// One switch: checked stores "1" and appends the flag, unchecked stores "0";
// a grayed box matches neither and stores nothing.
struct SwitchRow {
    CheckBox* Form1::*control;
    const char* key;
    const char* flag;
};

constexpr std::array<SwitchRow, 5> SwitchRows{{
    {&Form1::Check1, "sync", "-sync "},
    {&Form1::Check2, "debug", "-debug "},
    {&Form1::Check3, "nocheck", "-nocheck "},
    {&Form1::Check4, "sound", "-sound "},
    {&Form1::Check5, "profile", "-profile "},
}};

std::string FailureMessage(const platform::ShellResult& result) {
    std::string text = "The emulator could not be started.\n\n";
    if (!result.program.empty())
        text += "Program: " + result.program + "\n";
    if (!result.searched.empty()) {
        text += "Looked in:\n";
        for (const std::string& place : result.searched)
            text += "    " + place + "\n";
    }
    text += "\nReason: " + result.reason;
    return text;
}

} // namespace

platform::DWORD BuildCommandLine() {
    Form1& form = Form1::Instance();
    IniWriteRow stores; // one lock wait for the whole press, however many stores
    CommandLine = "morvel ";
    for (const OptionRow& row : OptionRows) {
        if ((form.*row.control)->Value()) {
            stores.Note(WriteIniValue(row.section, row.key, row.value));
            CommandLine += row.flag;
        }
    }
    for (const SwitchRow& row : SwitchRows) {
        const int value = (form.*row.control)->Value();
        if (value == CheckBox::Checked) {
            stores.Note(WriteIniValue("General", row.key, "1"));
            CommandLine += row.flag;
        } else if (value == CheckBox::Unchecked) {
            stores.Note(WriteIniValue("General", row.key, "0"));
        }
    }
    return stores.Failure();
}

void AppendDriverToCommandLine() {
    // No driver selected: the line ends in "-driver " as it always has, not
    // in an empty quoted argument.
    CommandLine += "-driver ";
    if (!DriverFile.empty())
        CommandLine += platform::QuoteArgument(DriverFile);
}

bool StartEmulator(const std::string& commandLine) {
    const platform::ShellResult result = platform::forms::Shell(commandLine, SW_SHOWMINIMIZED);
    if (!result.ok)
        platform::forms::MsgBox(FailureMessage(result), MB_ICONHAND, "Tavro", Form1::Existing());
    return result.ok;
}

void ShowStoreFailure(platform::DWORD error) {
    platform::forms::MsgBox("Your choices could not be stored in " + ConfigFileName() + ": " +
                                StoreFailureReason(error) +
                                ".\n\nThe emulator was started with them anyway.",
                            MB_OK | MB_ICONINFORMATION, "Tavro", Form1::Existing());
}

} // namespace tavro
