// The About window: two pictures, the credit line, the program's web address
// and an OK button. It opens modeless from the main window's "About" button
// and paints its title bar through the caption painter.
#pragma once

#include "platform/forms/Controls.h"
#include "platform/forms/Form.h"

namespace tavro {

class Form2 : public platform::forms::Form {
public:
    // Builds the window and its controls; the load step runs in Load().
    Form2();
    ~Form2() override;

    // Shows the window modeless, loading it first when it is not loaded; a
    // window already shown is only brought forward.
    static Form2& Open();
    // The loaded window, or nullptr when it is closed (or closing).
    static Form2* Existing();

    platform::forms::Image* Image2;
    platform::forms::Image* Image1;
    platform::forms::Label* Label1;
    platform::forms::Label* Label2;
    platform::forms::CommandButton* Command1;

    // Event handler, public so that tests can raise it as the runtime does.
    void Command1_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    void createControls();
};

} // namespace tavro
