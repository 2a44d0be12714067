// What every control of a form has: its place in a container, its colours,
// font, pointer, tab index and visibility, and the name a screen reader gives
// it. The platform's own window behind a control stays hidden from the
// program: forms/qt/ holds the Linux one.
#pragma once

#include "platform/forms/Design.h"
#include "platform/win32.h"

#include <string>

namespace platform::forms {

class Form;

// The platform's window behind a control or a form. Opaque to the program.
namespace native {
class Widget;
}

// What controls are placed in: a form's client area or a frame.
class Container {
public:
    // The form whose controls these are; it owns them.
    virtual Form& OwnerForm() const = 0;
    virtual native::Widget* ContainerWidget() const = 0;

protected:
    ~Container() = default;
};

class Control {
public:
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    Form& OwnerForm() const { return form_; }
    native::Widget* Native() const { return widget_; }

    bool Visible() const;
    void setVisible(bool visible);
    void setFocus();
    bool HasFocus() const;
    void setFont(const Font& font);
    // The size in twips; Left and Top stay.
    void Resize(int width, int height);
    void setAccessibleName(const std::string& name);
    void setAccessibleDescription(const std::string& description);

protected:
    // A control made in `parent`: its form owns it from here on and destroys
    // it with the form.
    Control(Container* parent, native::Widget* widget);

private:
    Form& form_;
    native::Widget* widget_;
};

} // namespace platform::forms
