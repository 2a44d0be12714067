#include "editor/edit.h"

#include "caption/GradForm.h"
#include "launcher/Declarations.h"
#include "platform/forms/Design.h"
#include "platform/forms/MsgBox.h"
#include "platform/forms/SingleInstance.h"
#include "platform/system/shown_name.h"

#include <algorithm>
#include <string>

namespace tavro {

using namespace platform;
using namespace platform::forms;

namespace {

const std::string EditorTitle = "Tavro Driver Editor";
const std::string SaveQuestion = "This Driver has Changed, Want to save it?";

using OneForm = SingleInstance<edit>;

Form::Design WindowDesign() {
    Form::Design d;
    d.caption = "Tavro Driver Editor - [No Driver]";
    d.border = BorderStyle::Sizable;
    d.minButton = true;
    d.maxButton = true;
    d.hasMenu = true;
    d.clientWidth = 7215;
    d.clientHeight = 4980;
    d.position = StartUpPosition::WindowsDefault;
    return d;
}

} // namespace

edit::edit() : Form(WindowDesign()) {
    editor = new RichTextBox(Client());
    Place(editor, 0, 0, 6855, 4815);
    editor->setFont(DesignFont("Courier New", 9.75));
    SetTabIndex(editor, 0);
    ApplyTabOrder(*this);
    editor->setFocus();
    addMenuItem("E&xit", [this] { mnu_sair_Click(); });
    editor->KeyPress = [this](int keyAscii) { editor_KeyPress(keyAscii); };
}

edit::~edit() = default;

void edit::Open() {
    if (!OneForm::Existing()) {
        edit& made = OneForm::Adopt(new edit());
        made.Load();
        if (made.loadFailed_) {
            // Nothing to edit: the message has said why; no window stays behind.
            made.Unload();
            return;
        }
    }
    edit* form = OneForm::Existing();
    if (form->IsMinimized()) {
        form->Restore();
    }
    form->Show();
}

edit* edit::Existing() {
    return OneForm::Existing();
}

bool edit::AskBeforeProgramEnds() {
    edit* form = OneForm::Existing();
    if (!form || !(form->typedSinceSave_ || form->textChanged())) {
        return true;
    }
    if (MsgBox(SaveQuestion, MB_YESNO | MB_ICONQUESTION, "Question", form) != IDYES) {
        return true;
    }
    return form->saveDriver();
}

void edit::Form_Load() {
    SubclassWindow(hWnd());
    RefreshDriverPaths();
    editor->setVisible(true);
    editor->setText(" ");

    // Without a selection DriverPath names the drv directory itself.
    if (DriverFile.empty()) {
        MsgBox("No driver is selected.\n\nChoose a driver in the list, then press "
               "\"Edit This Driver\" again.",
               MB_ICONEXCLAMATION, EditorTitle, this);
        loadFailed_ = true;
        return;
    }
    std::string error;
    if (!editor->LoadFile(DriverPath, &error)) {
        MsgBox("The driver file could not be opened:\n" + platform::ShownName(DriverPath) + "\n(" +
                   error + ")",
               MB_ICONHAND, EditorTitle, this);
        loadFailed_ = true;
        return;
    }
    loadedPath_ = DriverPath;
    setCaption("Tavro Driver Editor - [" + platform::ShownName(DriverFile) + "]");
    if (!editor->ReadOnlyReason().empty()) {
        MsgBox("The driver file\n" + platform::ShownName(DriverPath) +
                   "\nis shown read-only: " + editor->ReadOnlyReason() + ".",
               MB_ICONEXCLAMATION, EditorTitle, this);
    }
}

void edit::Form_Resize() {
    if (!editor) {
        return;
    }
    // A tiny or minimized window gives an empty editor, never a negative size.
    const int width = std::max(0, ScaleWidth() - 80);
    const int height = std::max(0, ScaleHeight() - 20);
    editor->Resize(width, height);
}

void edit::Form_QueryUnload(bool& cancel) {
    if (askedOnClose_) {
        return;
    }
    UnsubclassWindow(hWnd());
    if (askAndSave() == SaveOutcome::Failed) {
        // Closing now would throw the text away: the window stays open.
        SubclassWindow(hWnd());
        cancel = true;
        return;
    }
    askedOnClose_ = true;
}

void edit::Form_Unload() {
    if (!askedOnClose_) {
        UnsubclassWindow(hWnd());
        AskSaveDriver();
    }
    OneForm::Forget(this);
}

void edit::mnu_sair_Click() {
    AskSaveDriver();
}

void edit::editor_KeyPress(int keyAscii) {
    (void)keyAscii;
    Tag = "1";
    typedSinceSave_ = true;
}

void edit::AskSaveDriver() {
    if (askAndSave() != SaveOutcome::Failed) {
        Hide();
    }
}

bool edit::textChanged() const {
    return editor->Modified();
}

edit::SaveOutcome edit::askAndSave() {
    // Every change counts, also those made without a character key (Delete,
    // the mouse, undo).
    if (Tag != "1" && !textChanged()) {
        return SaveOutcome::NotAsked;
    }
    if (MsgBox(SaveQuestion, MB_YESNO | MB_ICONQUESTION, "Question", this) != IDYES) {
        return SaveOutcome::Declined;
    }
    return saveDriver() ? SaveOutcome::Saved : SaveOutcome::Failed;
}

bool edit::saveDriver() {
    // Replaced or rewritten by someone else since we read or wrote it: their
    // version is not overwritten unasked. No keeps our text, unsaved.
    if (editor->FileChangedOnDisk() &&
        MsgBox("The driver file\n" + platform::ShownName(loadedPath_) +
                   "\nhas been changed on disk since the editor last read or saved it.\n\n"
                   "Replace it with the text in the editor?",
               MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, EditorTitle, this) != IDYES) {
        return false;
    }
    std::string error;
    if (!editor->SaveFile(loadedPath_, RichTextBox::rtfText, &error)) {
        MsgBox("The driver could not be saved:\n" + platform::ShownName(loadedPath_) + "\n(" +
                   error +
                   ")\n\nThe file keeps its old content, and your text is still in the editor.",
               MB_ICONHAND, EditorTitle, this);
        return false;
    }
    typedSinceSave_ = false;
    MsgBox("Driver Saved!", MB_ICONASTERISK, EditorTitle, this);
    return true;
}

} // namespace tavro
