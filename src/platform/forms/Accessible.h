// What assistive technology (a screen reader) is told about the runtime's own
// windows and controls, where the controls alone would say too little: a
// form's role and caption, its picture, the option frames as named groups,
// and title labels tied to the controls they name. Nothing here changes what
// the screen shows.
#pragma once

#include <string>

namespace platform::forms {

class Control;
class Form;
class Label;

enum class AccessibleRole { Window, Dialog, Alert };

// The role a form reports: a window unless set, a dialog, or an alert (a
// message box).
void SetAccessibleRole(Form* form, AccessibleRole role);
AccessibleRole RoleOf(const Form* form);

// Ties a title label to the control it names: the control takes the title's
// text as its name, and the label is its buddy (label-for / labelled-by).
void SetTitle(Label* title, Control* control);

// Names the picture a form shows behind its controls (a logo); a named one
// is a picture of its own in the form's client area.
void SetPictureName(Form* form, const std::string& name);
std::string PictureName(const Form* form);

} // namespace platform::forms
