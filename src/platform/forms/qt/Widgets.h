// The Qt widget behind a control or a form, as its own class: what tests
// look at and drive.
#pragma once

#include "platform/forms/Controls.h"
#include "platform/forms/FileListBox.h"
#include "platform/forms/Form.h"
#include "platform/forms/RichTextBox.h"
#include "platform/forms/qt/ControlWidgets.h"
#include "platform/forms/qt/FileListView.h"
#include "platform/forms/qt/FormWindow.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/TextEdit.h"

namespace platform::forms::qt {

inline LabelWidget* Widget(const Label* c) {
    return WidgetOf<LabelWidget>(c);
}
inline FrameWidget* Widget(const Frame* c) {
    return WidgetOf<FrameWidget>(c);
}
inline CommandButtonWidget* Widget(const CommandButton* c) {
    return WidgetOf<CommandButtonWidget>(c);
}
inline OptionButtonWidget* Widget(const OptionButton* c) {
    return WidgetOf<OptionButtonWidget>(c);
}
inline CheckBoxWidget* Widget(const CheckBox* c) {
    return WidgetOf<CheckBoxWidget>(c);
}
inline ImageWidget* Widget(const Image* c) {
    return WidgetOf<ImageWidget>(c);
}
inline FileListView* Widget(const FileListBox* c) {
    return WidgetOf<FileListView>(c);
}
inline TextEdit* Widget(const RichTextBox* c) {
    return WidgetOf<TextEdit>(c);
}
// The form's top-level window.
inline FormWindow* Widget(const Form* form) {
    return static_cast<FormWindow*>(ToQt(form->Native()));
}
// A form's client area or a frame.
inline QWidget* Widget(const Container* container) {
    return ToQt(container->ContainerWidget());
}

} // namespace platform::forms::qt
