// Applying a window design to Qt widgets: positions in twips, colours, fonts
// in points, tab order. The public Design.h functions come here with the
// control's widget.
#pragma once

#include "platform/forms/Design.h"

#include <QColor>
#include <QFont>

class QWidget;

namespace platform::forms::qt {

QColor ToQColor(COLORREF colour);
// The font's pixel size for 96 dpi, with a style hint for a missing family.
QFont ToQFont(const Font& font);
QFont DefaultDialogQFont();

// Left, Top, Width and Height in twips, from the container's client area.
void Place(QWidget* widget, int left, int top, int width, int height);

void SetBackColor(QWidget* widget, const QColor& colour);
void SetForeColor(QWidget* widget, const QColor& colour);

// The tab index of a control (also kept on controls that never take the focus).
void SetTabIndex(QWidget* widget, int index);
int TabIndex(const QWidget* widget); // -1 when it has none
// Chains the focusable controls under root in the order of their tab index.
void ApplyTabOrder(QWidget* root);

} // namespace platform::forms::qt
