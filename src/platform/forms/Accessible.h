// What assistive technology (a screen reader, through Qt's accessibility
// bridge) is told about the runtime's own windows and controls, where Qt's
// widgets alone would say too little: a form's role and caption, its menu
// bar, its picture, the option frames as named groups, and title labels tied
// to the controls they name. Nothing here changes what the screen shows.
#pragma once

#include <QAccessible>
#include <QString>

class QLabel;
class QWidget;

namespace platform::forms {

class Form;

// Installs the runtime's accessibility interfaces; every form calls it as it
// is made, so it is in place before any form is asked about.
void InstallAccessibility();

// The role a form reports: a window (QAccessible::Window) unless set, a
// dialog, or an alert (a message box).
void SetAccessibleRole(Form* form, QAccessible::Role role);
QAccessible::Role AccessibleRole(const Form* form);

// Ties a title label to the control it names: the control takes the title's
// text as its name, and the label is its buddy (label-for / labelled-by).
void SetTitle(QLabel* title, QWidget* control);

// Names the picture a form shows behind its controls (a logo); a named one
// is a picture of its own in the form's client area.
void SetPictureName(Form* form, const QString& name);
QString PictureName(const Form* form);

} // namespace platform::forms
