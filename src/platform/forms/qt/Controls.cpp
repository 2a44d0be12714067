// The controls of Control.h and Controls.h over their Qt widgets.
#include "platform/forms/Controls.h"

#include "platform/forms/Form.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/ControlWidgets.h"
#include "platform/forms/qt/Design.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/Picture.h"

namespace platform::forms {

using qt::ToNative;
using qt::ToQt;
using qt::WidgetOf;

namespace {

QWidget* ParentWidget(Container* parent) {
    return ToQt(parent->ContainerWidget());
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

Control::Control(Container* parent, native::Widget* widget)
    : form_(parent->OwnerForm()), widget_(widget) {
    form_.adopt(this);
}

Control::~Control() = default;

bool Control::Visible() const {
    return ToQt(widget_)->isVisible();
}

void Control::setVisible(bool visible) {
    ToQt(widget_)->setVisible(visible);
}

void Control::setFocus() {
    ToQt(widget_)->setFocus();
}

bool Control::HasFocus() const {
    return ToQt(widget_)->hasFocus();
}

void Control::setFont(const Font& font) {
    ToQt(widget_)->setFont(qt::ToQFont(font));
}

void Control::Resize(int width, int height) {
    ToQt(widget_)->resize(TwipsToPixels(width), TwipsToPixels(height));
}

void Control::setAccessibleName(const std::string& name) {
    ToQt(widget_)->setAccessibleName(Text(name));
}

void Control::setAccessibleDescription(const std::string& description) {
    ToQt(widget_)->setAccessibleDescription(Text(description));
}

Label::Label(Container* parent, const std::string& caption)
    : Control(parent, ToNative(new qt::LabelWidget(ParentWidget(parent), Text(caption)))) {}

std::string Label::Caption() const {
    return WidgetOf<qt::LabelWidget>(this)->text().toStdString();
}

void Label::setTransparent(bool transparent) {
    WidgetOf<qt::LabelWidget>(this)->setTransparent(transparent);
}

Frame::Frame(Container* parent, const std::string& caption)
    : Control(parent, ToNative(new qt::FrameWidget(ParentWidget(parent)))), caption_(caption) {}

CommandButton::CommandButton(Container* parent, const std::string& caption)
    : Control(parent,
              ToNative(new qt::CommandButtonWidget(ParentWidget(parent), Text(caption), this))) {}

std::string CommandButton::Caption() const {
    return WidgetOf<qt::CommandButtonWidget>(this)->text().toStdString();
}

void CommandButton::setDefault(bool isDefault) {
    WidgetOf<qt::CommandButtonWidget>(this)->setDefault(isDefault);
}

bool CommandButton::ShowsDefaultFrame() const {
    return WidgetOf<qt::CommandButtonWidget>(this)->ShowsDefaultFrame();
}

OptionButton::OptionButton(Container* parent, const std::string& caption)
    : Control(parent,
              ToNative(new qt::OptionButtonWidget(ParentWidget(parent), Text(caption), this))) {}

std::string OptionButton::Caption() const {
    return WidgetOf<qt::OptionButtonWidget>(this)->text().toStdString();
}

bool OptionButton::Value() const {
    return WidgetOf<qt::OptionButtonWidget>(this)->isChecked();
}

void OptionButton::setValue(bool value) {
    WidgetOf<qt::OptionButtonWidget>(this)->setChecked(value);
}

std::vector<OptionButton*> OptionButton::Group() const {
    std::vector<OptionButton*> group;
    for (const qt::OptionButtonWidget* option : WidgetOf<qt::OptionButtonWidget>(this)->Group()) {
        group.push_back(option->control());
    }
    return group;
}

bool OptionButton::IsTabStop() const {
    return WidgetOf<qt::OptionButtonWidget>(this)->IsTabStop();
}

CheckBox::CheckBox(Container* parent, const std::string& caption)
    : Control(parent, ToNative(new qt::CheckBoxWidget(ParentWidget(parent), Text(caption)))) {}

std::string CheckBox::Caption() const {
    return WidgetOf<qt::CheckBoxWidget>(this)->text().toStdString();
}

int CheckBox::Value() const {
    return WidgetOf<qt::CheckBoxWidget>(this)->Value();
}

void CheckBox::setValue(int value) {
    WidgetOf<qt::CheckBoxWidget>(this)->setValue(value);
}

Image::Image(Container* parent)
    : Control(parent, ToNative(new qt::ImageWidget(ParentWidget(parent)))) {}

void Image::setPicture(const forms::Picture& picture) {
    picture_ = picture;
    WidgetOf<qt::ImageWidget>(this)->setPicture(qt::PixmapOf(picture));
}

} // namespace platform::forms
