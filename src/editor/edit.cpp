#include "editor/edit.h"

#include "caption/GradForm.h"
#include "launcher/Declarations.h"
#include "platform/forms/Design.h"
#include "platform/forms/MsgBox.h"
#include "platform/forms/SingleInstance.h"
#include "platform/forms/Twips.h"

#include <QFile>
#include <algorithm>

namespace tavro {

using namespace platform::forms;

namespace {

const QString EditorTitle = QStringLiteral("Tavro Driver Editor");
const QString SaveQuestion = QStringLiteral("This Driver has Changed, Want to save it?");

using OneForm = SingleInstance<edit>;

Form::Design WindowDesign() {
    Form::Design d;
    d.caption = QStringLiteral("Tavro Driver Editor - [No Driver]");
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
    ApplyTabOrder(Client());
    editor->setFocus();
    addMenuItem(QStringLiteral("E&xit"), [this] { mnu_sair_Click(); });
    connect(editor, &RichTextBox::KeyPress, this, &edit::editor_KeyPress);
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
    if (form->isMinimized()) {
        form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
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
    if (MsgBox(SaveQuestion, platform::MB_YESNO | platform::MB_ICONQUESTION,
               QStringLiteral("Question"), form) != platform::IDYES) {
        return true;
    }
    return form->saveDriver();
}

void edit::Form_Load() {
    SubclassWindow(hWnd());
    RefreshDriverPaths();
    editor->setVisible(true);
    editor->setText(QStringLiteral(" "));

    // Without a selection DriverPath names the drv directory itself.
    if (DriverFile.isEmpty()) {
        MsgBox(QStringLiteral("No driver is selected.\n\nChoose a driver in the list, then press "
                              "\"Edit This Driver\" again."),
               platform::MB_ICONEXCLAMATION, EditorTitle, this);
        loadFailed_ = true;
        return;
    }
    QString error;
    if (!editor->LoadFile(DriverPath, &error)) {
        MsgBox(QStringLiteral("The driver file could not be opened:\n%1\n(%2)")
                   .arg(QFile::decodeName(DriverPath), error),
               platform::MB_ICONHAND, EditorTitle, this);
        loadFailed_ = true;
        return;
    }
    loadedPath_ = DriverPath;
    setCaption("Tavro Driver Editor - [" + QFile::decodeName(DriverFile) + "]");
    if (!editor->ReadOnlyReason().isEmpty()) {
        MsgBox(QStringLiteral("The driver file\n%1\nis shown read-only: %2.")
                   .arg(QFile::decodeName(DriverPath), editor->ReadOnlyReason()),
               platform::MB_ICONEXCLAMATION, EditorTitle, this);
    }
}

void edit::Form_Resize() {
    if (!editor) {
        return;
    }
    // A tiny or minimized window gives an empty editor, never a negative size.
    const int width = std::max(0, ScaleWidth() - 80);
    const int height = std::max(0, ScaleHeight() - 20);
    editor->resize(TwipsToPixels(width), TwipsToPixels(height));
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
    Tag = QStringLiteral("1");
    typedSinceSave_ = true;
}

void edit::AskSaveDriver() {
    if (askAndSave() != SaveOutcome::Failed) {
        Hide();
    }
}

bool edit::textChanged() const {
    return editor->document()->isModified();
}

edit::SaveOutcome edit::askAndSave() {
    // Every change counts, also those made without a character key (Delete,
    // the mouse, undo).
    if (Tag != QStringLiteral("1") && !textChanged()) {
        return SaveOutcome::NotAsked;
    }
    if (MsgBox(SaveQuestion, platform::MB_YESNO | platform::MB_ICONQUESTION,
               QStringLiteral("Question"), this) != platform::IDYES) {
        return SaveOutcome::Declined;
    }
    return saveDriver() ? SaveOutcome::Saved : SaveOutcome::Failed;
}

bool edit::saveDriver() {
    // Replaced or rewritten by someone else since we read or wrote it: their
    // version is not overwritten unasked. No keeps our text, unsaved.
    if (editor->FileChangedOnDisk() &&
        MsgBox(QStringLiteral("The driver file\n%1\nhas been changed on disk since the editor "
                              "last read or saved it.\n\nReplace it with the text in the editor?")
                   .arg(QFile::decodeName(loadedPath_)),
               platform::MB_YESNO | platform::MB_ICONEXCLAMATION | platform::MB_DEFBUTTON2,
               EditorTitle, this) != platform::IDYES) {
        return false;
    }
    QString error;
    if (!editor->SaveFile(loadedPath_, RichTextBox::rtfText, &error)) {
        MsgBox(QStringLiteral("The driver could not be saved:\n%1\n(%2)\n\nThe file keeps its old "
                              "content, and your text is still in the editor.")
                   .arg(QFile::decodeName(loadedPath_), error),
               platform::MB_ICONHAND, EditorTitle, this);
        return false;
    }
    typedSinceSave_ = false;
    MsgBox(QStringLiteral("Driver Saved!"), platform::MB_ICONASTERISK, EditorTitle, this);
    return true;
}

} // namespace tavro
