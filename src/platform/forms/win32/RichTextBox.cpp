// The text control's members, over the RichEdit control behind it
// (TextEditWindow.h).
#include "platform/forms/RichTextBox.h"

#include "platform/forms/win32/Native.h"
#include "platform/forms/win32/TextEditWindow.h"

#include <map>
#include <memory>

namespace platform::forms {

namespace {

using win32::TextEditWindow;

// Each box's control, made before the box's Control part takes its window.
std::map<const RichTextBox*, std::unique_ptr<TextEditWindow>>& Edits() {
    static std::map<const RichTextBox*, std::unique_ptr<TextEditWindow>> edits;
    return edits;
}

native::Widget* MakeEdit(Container* parent, RichTextBox* box) {
    auto edit = std::make_unique<TextEditWindow>(win32::ToHwnd(parent->ContainerWidget()), box);
    native::Widget* widget = win32::ToNative(edit->Window());
    Edits()[box] = std::move(edit);
    return widget;
}

TextEditWindow* Edit(const RichTextBox* box) {
    return Edits().at(box).get();
}

} // namespace

RichTextBox::RichTextBox(Container* parent) : Control(parent, MakeEdit(parent, this)) {}

RichTextBox::~RichTextBox() {
    Edits().erase(this);
}

bool RichTextBox::LoadFile(const std::string& path, std::string* error) {
    return Edit(this)->LoadFile(path, error);
}

bool RichTextBox::SaveFile(const std::string& path, int fileType, std::string* error) {
    return Edit(this)->SaveFile(path, fileType, error);
}

bool RichTextBox::FileChangedOnDisk() const {
    return Edit(this)->FileChangedOnDisk();
}

std::string RichTextBox::Text() {
    return Edit(this)->Text();
}

void RichTextBox::setText(const std::string& text) {
    Edit(this)->setText(text);
}

// The RichEdit control takes even a large text at once, quickly (it is
// streamed in whole), so nothing is ever left to fill in: Filling() is always
// false here and FinishFilling() has nothing to do.
bool RichTextBox::Filling() const {
    return false;
}

void RichTextBox::FinishFilling() {}

bool RichTextBox::Modified() const {
    return Edit(this)->Modified();
}

const RichTextBox::FileFormat& RichTextBox::Format() const {
    return Edit(this)->Format();
}

std::string RichTextBox::ReadOnlyReason() const {
    return Edit(this)->ReadOnlyReason();
}

} // namespace platform::forms
