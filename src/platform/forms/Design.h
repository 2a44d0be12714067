// Applying a window design to controls: positions in twips, colours
// (COLORREF), fonts in points, mouse pointers and tab order.
#pragma once

#include "platform/win32.h"

#include <string>

namespace platform::forms {

class Control;
class Form;
class MousePointer;

// A font of the given family and size in points, sized for 96 dpi so that a
// design looks the same on every screen. A family missing on the machine is
// replaced by the nearest match of the same kind.
struct Font {
    std::string family;
    double points = 8.0;
    bool bold = false;
    bool italic = false;
};
Font DesignFont(const std::string& family, double points, bool bold = false, bool italic = false);
// The system's default dialog font, used by controls without a font of their own.
Font DefaultDialogFont();

// Left, Top, Width and Height in twips, from the container's client area.
void Place(Control* control, int left, int top, int width, int height);

void SetBackColor(Control* control, COLORREF colour);
void SetForeColor(Control* control, COLORREF colour);

// The pointer over a control; the standard pointer is set explicitly, since
// it would otherwise be the container's.
void SetMousePointer(Control* control, const MousePointer& pointer);
MousePointer StandardPointer();

// The tab index of a control (also kept on controls that never take the focus).
void SetTabIndex(Control* control, int index);
int TabIndex(const Control* control); // -1 when it has none
// Chains the focusable controls of the form in the order of their tab index.
void ApplyTabOrder(Form& form);

} // namespace platform::forms
