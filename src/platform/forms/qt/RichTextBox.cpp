// The text control's members, over the Qt edit control behind it (TextEdit.h).
#include "platform/forms/RichTextBox.h"

#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/Text.h"
#include "platform/forms/qt/TextEdit.h"

#include <QByteArray>
#include <QString>
#include <QTextDocument>

namespace platform::forms {

namespace {

qt::TextEdit* Edit(const RichTextBox* box) {
    return qt::WidgetOf<qt::TextEdit>(box);
}

} // namespace

RichTextBox::RichTextBox(Container* parent)
    : Control(parent, qt::ToNative(new qt::TextEdit(qt::ToQt(parent->ContainerWidget()), this))) {}

RichTextBox::~RichTextBox() = default;

bool RichTextBox::LoadFile(const std::string& path, std::string* error) {
    QString text;
    return qt::Reported(Edit(this)->LoadFile(qt::Bytes(path), &text), text, error);
}

bool RichTextBox::SaveFile(const std::string& path, int fileType, std::string* error) {
    QString text;
    return qt::Reported(Edit(this)->SaveFile(qt::Bytes(path), fileType, &text), text, error);
}

bool RichTextBox::FileChangedOnDisk() const {
    return Edit(this)->FileChangedOnDisk();
}

std::string RichTextBox::Text() {
    return Edit(this)->Text().toStdString();
}

void RichTextBox::setText(const std::string& text) {
    Edit(this)->setText(QString::fromStdString(text));
}

bool RichTextBox::Filling() const {
    return Edit(this)->Filling();
}

void RichTextBox::FinishFilling() {
    Edit(this)->FinishFilling();
}

bool RichTextBox::Modified() const {
    return Edit(this)->document()->isModified();
}

const RichTextBox::FileFormat& RichTextBox::Format() const {
    return Edit(this)->Format();
}

std::string RichTextBox::ReadOnlyReason() const {
    return Edit(this)->ReadOnlyReason().toStdString();
}

} // namespace platform::forms
