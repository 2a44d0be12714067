// The launcher's main window: the driver list, the preview, the screen-mode
// and frame-skip options, the five switches and the four buttons.
#pragma once

#include "platform/forms/Controls.h"
#include "platform/forms/FileListBox.h"
#include "platform/forms/Form.h"
#include "platform/win32.h"

#include <set>
#include <string>

namespace tavro {

class Form1 : public platform::forms::Form {
public:
    // Builds the window and its controls; the load steps run in Load().
    Form1();
    ~Form1() override;

    // The one instance, created and loaded first if it does not exist yet.
    static Form1& Instance();
    // The instance if there is one, without creating it.
    static Form1* Existing();
    // Starts reading the driver directory of the program in the given
    // directory while the rest of the program loads. If that is not the
    // directory Form_Load lists after all, the list reads its own.
    static void ReadDriversAhead(const std::string& programDirectory);

    platform::forms::Label* Label1;
    platform::forms::Label* Label2;
    platform::forms::Label* Label3;
    platform::forms::Label* Label4;
    platform::forms::Label* Label5;
    platform::forms::Image* Image1;
    platform::forms::FileListBox* File1;
    platform::forms::Frame* Frame1;
    platform::forms::Frame* Frame2;
    platform::forms::OptionButton* Option1;
    platform::forms::OptionButton* Option2;
    platform::forms::OptionButton* Option3;
    platform::forms::OptionButton* Option4;
    platform::forms::OptionButton* Option5;
    platform::forms::OptionButton* Option6;
    platform::forms::OptionButton* Option7;
    platform::forms::OptionButton* Option8;
    platform::forms::OptionButton* Option9;
    platform::forms::OptionButton* Option10;
    platform::forms::OptionButton* Option11;
    platform::forms::OptionButton* Option12;
    platform::forms::OptionButton* Option13;
    platform::forms::OptionButton* Option14;
    platform::forms::OptionButton* Option15;
    platform::forms::OptionButton* Option16;
    platform::forms::CommandButton* Command1;
    platform::forms::CommandButton* Command2;
    platform::forms::CommandButton* Command3;
    platform::forms::CommandButton* Command4;
    platform::forms::CheckBox* Check1;
    platform::forms::CheckBox* Check2;
    platform::forms::CheckBox* Check3;
    platform::forms::CheckBox* Check4;
    platform::forms::CheckBox* Check5;

    // Event handlers, public so that tests can raise them as the runtime does.
    void File1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

protected:
    void Form_Load() override;
    void Form_QueryUnload(bool& cancel) override;
    void Form_Unload() override;

private:
    void createControls();
    void showPreview();

    bool askedOnClose_ = false;
    // The reasons a press's choices could not be stored that were shown.
    std::set<platform::DWORD> storeFailuresShown_;
};

} // namespace tavro
