// The standard controls of a form, with the properties and events the program
// uses. Captions are UTF-8; events are plain functions the program sets.
#pragma once

#include "platform/forms/Control.h"
#include "platform/forms/Picture.h"

#include <functional>
#include <string>
#include <vector>

namespace platform::forms {

// A text label; transparent ones show their container's picture through.
class Label : public Control {
public:
    explicit Label(Container* parent, const std::string& caption = {});
    std::string Caption() const;
    void setTransparent(bool transparent);
};

// A container that groups option buttons; drawn without border or caption.
class Frame : public Control, public Container {
public:
    Frame(Container* parent, const std::string& caption);
    std::string Caption() const { return caption_; }

    Form& OwnerForm() const override { return Control::OwnerForm(); }
    native::Widget* ContainerWidget() const override { return Native(); }

private:
    std::string caption_;
};

// A push button; in the graphical style its face shows its back colour.
// Enter clicks it while it has the focus; Space clicks when let go. The
// focused push button of a window has the default button's black frame; the
// window's default button (setDefault) has it while no other one is focused.
class CommandButton : public Control {
public:
    CommandButton(Container* parent, const std::string& caption);
    std::string Caption() const;
    void setDefault(bool isDefault);
    bool ShowsDefaultFrame() const;

    // Raised when the button is pressed, by the user or by code.
    std::function<void()> Click;
};

// An option button; the buttons of one container form a group. The arrow
// keys move to the next or previous option of the group and select it, and
// the group is one stop for Tab: its selected option (its first while none is).
class OptionButton : public Control {
public:
    OptionButton(Container* parent, const std::string& caption);
    std::string Caption() const;
    bool Value() const;
    // Setting True clears the other buttons of the group.
    void setValue(bool value);

    // The options of this one's group, in tab order.
    std::vector<OptionButton*> Group() const;
    // Whether Tab stops here.
    bool IsTabStop() const;
};

// A check box with the values 0 (unchecked), 1 (checked) and 2 (grayed). A
// click toggles between checked and unchecked; only code sets grayed.
class CheckBox : public Control {
public:
    static constexpr int Unchecked = 0;
    static constexpr int Checked = 1;
    static constexpr int Grayed = 2;

    CheckBox(Container* parent, const std::string& caption);
    std::string Caption() const;
    int Value() const;
    void setValue(int value);
};

// An image control: without stretching it takes the natural size of its
// picture, anchored at its Left and Top.
class Image : public Control {
public:
    explicit Image(Container* parent);
    const forms::Picture& Picture() const { return picture_; }
    void setPicture(const forms::Picture& picture);

private:
    forms::Picture picture_;
};

} // namespace platform::forms
