// LoadSettings and the settings step of the main window's load.
#include "launcher/Declarations.h"
#include "launcher/Form1.h"
#include "platform/forms/qt/Widgets.h"
#include "settings/Ini_Declarations.h"
#include "settings/setvar.h"
#include "support/EmulatorDir.h"

#include <gtest/gtest.h>
#include <vector>

using namespace tavro;
using platform::forms::CheckBox;
using platform::forms::OptionButton;
using platform::forms::qt::Widget;
using tavro::test::EmulatorDir;

namespace {

class SetvarTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::string* s : {&SavedResolution, &SavedFrameskip, &SavedDebug, &SavedNocheck,
                               &SavedSync, &SavedSound, &SavedProfile})
            s->clear();
    }

    std::vector<OptionButton*> ScreenModes() const {
        return {form.Option1, form.Option2,  form.Option3,
                form.Option4, form.Option15, form.Option16};
    }
    std::vector<OptionButton*> Frameskips() const {
        return {form.Option5,  form.Option6,  form.Option7,  form.Option8,  form.Option9,
                form.Option10, form.Option11, form.Option12, form.Option13, form.Option14};
    }
    std::vector<CheckBox*> Switches() const {
        return {form.Check1, form.Check2, form.Check3, form.Check4, form.Check5};
    }
    // The controls that are set, as a readable list for failure messages.
    QStringList SetControls() const {
        QStringList set;
        for (OptionButton* o : ScreenModes())
            if (o->Value())
                set << Widget(o)->text();
        for (OptionButton* o : Frameskips())
            if (o->Value())
                set << Widget(o)->text();
        for (CheckBox* c : Switches())
            if (c->Value() != CheckBox::Unchecked)
                set << Widget(c)->text() + "=" + QString::number(c->Value());
        return set;
    }

    EmulatorDir dir;
    Form1 form;
};

TEST_F(SetvarTest, LoadSettingsReadsEachKeyIntoItsString) {
    dir.write("tavro.cfg", "[Resolution]\nres=400x300\n[Frameskip]\nnumber=5\n"
                           "[General]\ndebug=d\nnocheck=n\nsync=s\nsound=o\nprofile=p\n");
    LoadSettings();
    EXPECT_EQ(SavedResolution, "400x300");
    EXPECT_EQ(SavedFrameskip, "5");
    EXPECT_EQ(SavedDebug, "d");
    EXPECT_EQ(SavedNocheck, "n");
    EXPECT_EQ(SavedSync, "s");
    EXPECT_EQ(SavedSound, "o");
    EXPECT_EQ(SavedProfile, "p");
}

TEST_F(SetvarTest, NoFileSetsNothing) {
    SavedResolution = "stale";
    LoadSettings();
    EXPECT_EQ(SavedResolution, "");
    ApplySavedSettings(form);
    EXPECT_TRUE(SetControls().isEmpty()) << SetControls().join(", ").toStdString();
}

TEST_F(SetvarTest, EachScreenModeSetsItsOption) {
    const char* values[] = {"256x256", "320x200", "400x256", "640x400", "400x300", "800x600"};
    for (int i = 0; i < 6; ++i) {
        SavedResolution = values[i];
        ApplySavedSettings(form);
        EXPECT_EQ(SetControls(), QStringList{Widget(ScreenModes()[i])->text()}) << values[i];
    }
}

TEST_F(SetvarTest, EachFrameskipDigitSetsItsOption) {
    for (int digit = 0; digit < 10; ++digit) {
        SavedFrameskip = std::to_string(digit);
        ApplySavedSettings(form);
        EXPECT_EQ(SetControls(), QStringList{Widget(Frameskips()[digit])->text()}) << digit;
    }
}

TEST_F(SetvarTest, EachSwitchChecksItsBox) {
    std::string* saved[] = {&SavedSync, &SavedDebug, &SavedNocheck, &SavedSound, &SavedProfile};
    for (int i = 0; i < 5; ++i) {
        SetUp();
        for (CheckBox* c : Switches())
            c->setValue(CheckBox::Unchecked);
        *saved[i] = "1";
        ApplySavedSettings(form);
        EXPECT_EQ(SetControls(), QStringList{Widget(Switches()[i])->text() + "=1"}) << i;
    }
}

TEST_F(SetvarTest, ValuesOutsideTheTableSetNothing) {
    for (const char* res : {"640X400", " 640x400", "640x400 ", "640x", ""}) {
        SavedResolution = res;
        ApplySavedSettings(form);
        EXPECT_TRUE(SetControls().isEmpty()) << '"' << res << '"';
    }
    SavedResolution.clear();
    for (const char* number : {"10", "-1", "05", " 5", "five"}) {
        SavedFrameskip = number;
        ApplySavedSettings(form);
        EXPECT_TRUE(SetControls().isEmpty()) << '"' << number << '"';
    }
    SavedFrameskip.clear();
    for (const char* debug : {"yes", "true", "0", "1 ", "01", "-1"}) {
        SavedDebug = debug;
        ApplySavedSettings(form);
        EXPECT_EQ(form.Check2->Value(), CheckBox::Unchecked) << '"' << debug << '"';
    }
}

TEST_F(SetvarTest, TheStepNeverClearsWhatIsAlreadySet) {
    form.Option2->setValue(true);
    form.Option9->setValue(true);
    form.Check3->setValue(CheckBox::Grayed);
    form.Check4->setValue(CheckBox::Checked);
    SavedResolution = "nope";
    SavedFrameskip = "x";
    SavedNocheck = "0";
    SavedSound = "0";
    ApplySavedSettings(form);
    EXPECT_TRUE(form.Option2->Value());
    EXPECT_TRUE(form.Option9->Value());
    EXPECT_EQ(form.Check3->Value(), CheckBox::Grayed);
    EXPECT_EQ(form.Check4->Value(), CheckBox::Checked);

    // A match replaces the option of its own group only.
    SavedResolution = "800x600";
    SavedNocheck = "1";
    ApplySavedSettings(form);
    EXPECT_FALSE(form.Option2->Value());
    EXPECT_TRUE(form.Option16->Value());
    EXPECT_TRUE(form.Option9->Value());
    EXPECT_EQ(form.Check3->Value(), CheckBox::Checked);
}

TEST_F(SetvarTest, StoredChoicesComeBackAtTheNextStart) {
    WriteIniValue("Resolution", "res", "320x200");
    WriteIniValue("Frameskip", "number", "0");
    WriteIniValue("General", "sync", "0");
    WriteIniValue("General", "profile", "1");
    LoadSettings();
    ApplySavedSettings(form);
    EXPECT_EQ(SetControls(),
              (QStringList{Widget(form.Option2)->text(), Widget(form.Option5)->text(),
                           Widget(form.Check5)->text() + "=1"}));
}

} // namespace
