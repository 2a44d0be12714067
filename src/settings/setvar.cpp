#include "settings/setvar.h"

#include "launcher/Declarations.h"
#include "launcher/Form1.h"
#include "settings/Ini_Declarations.h"

#include <string>
#include <utility>

namespace tavro {

void LoadSettings() {
    SavedResolution = ReadIniValue("Resolution", "res");
    SavedFrameskip = ReadIniValue("Frameskip", "number");
    SavedDebug = ReadIniValue("General", "debug");
    SavedNocheck = ReadIniValue("General", "nocheck");
    SavedSync = ReadIniValue("General", "sync");
    SavedSound = ReadIniValue("General", "sound");
    SavedProfile = ReadIniValue("General", "profile");
}

void ApplySavedSettings(Form1& form) {
    // Whole, case-sensitive comparisons: "640X400" or " 1" match nothing.
    const std::pair<const char*, platform::forms::OptionButton*> screenModes[] = {
        {"256x256", form.Option1}, {"320x200", form.Option2},  {"400x256", form.Option3},
        {"640x400", form.Option4}, {"400x300", form.Option15}, {"800x600", form.Option16},
    };
    for (const auto& [value, option] : screenModes) {
        if (SavedResolution == value)
            option->setValue(true);
    }

    platform::forms::OptionButton* const frameskips[] = {
        form.Option5,  form.Option6,  form.Option7,  form.Option8,  form.Option9,
        form.Option10, form.Option11, form.Option12, form.Option13, form.Option14,
    };
    for (int digit = 0; digit < 10; ++digit) {
        if (SavedFrameskip == std::to_string(digit))
            frameskips[digit]->setValue(true);
    }

    const std::pair<const std::string*, platform::forms::CheckBox*> switches[] = {
        {&SavedDebug, form.Check2}, {&SavedSync, form.Check1},    {&SavedNocheck, form.Check3},
        {&SavedSound, form.Check4}, {&SavedProfile, form.Check5},
    };
    for (const auto& [saved, check] : switches) {
        if (*saved == "1")
            check->setValue(platform::forms::CheckBox::Checked);
    }
}

} // namespace tavro
