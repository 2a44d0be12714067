// The driver editor: shows the driver file selected in the main window as
// text, lets the user change it and, when the user leaves it, asks whether to
// save a change. It is opened modeless by "Edit This Driver" and lives until
// its Close box; Exit only hides it, with all its state.
#pragma once

#include "platform/forms/Form.h"
#include "platform/forms/RichTextBox.h"

#include <string>

namespace tavro {

class edit : public platform::forms::Form {
public:
    // Builds the window and its control; the load steps run in Load().
    edit();
    ~edit() override;

    // "Edit This Driver": shows the editor, loading it first when it is not
    // loaded. A hidden editor comes back exactly as it was left. When there is
    // no driver to show, a message says why and the editor stays closed.
    static void Open();
    // The loaded editor, or nullptr when there is none.
    static edit* Existing();
    // For the main window's unload, before the program ends: when the text
    // was typed into or changed since the editor last loaded or saved the
    // driver, asks whether to save it, as leaving the editor does. False when
    // the text must stay: the save was wanted but did not happen.
    static bool AskBeforeProgramEnds();

    platform::forms::RichTextBox* editor;

    // Event handlers, public so that tests can raise them as the runtime does.
    void mnu_sair_Click();
    void editor_KeyPress(int keyAscii);

    // Asks whether to save a change and saves it on Yes; then hides the
    // window, unless the save failed.
    void AskSaveDriver();

    // The file the editor shows and saves to, as its load found it: the
    // exact bytes of its path.
    const std::string& LoadedPath() const { return loadedPath_; }

protected:
    void Form_Load() override;
    void Form_Resize() override;
    void Form_QueryUnload(bool& cancel) override;
    void Form_Unload() override;

private:
    enum class SaveOutcome { NotAsked, Declined, Saved, Failed };

    SaveOutcome askAndSave();
    bool saveDriver();
    // The text differs from the file as last loaded or saved.
    bool textChanged() const;

    std::string loadedPath_;
    bool loadFailed_ = false;
    // Typed since the last load or successful save (the flag in Tag never
    // goes back while the window is loaded).
    bool typedSinceSave_ = false;
    bool askedOnClose_ = false;
};

} // namespace tavro
