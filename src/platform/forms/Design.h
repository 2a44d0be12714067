// Helpers that apply a window design to Qt widgets: positions in twips,
// colours, fonts in points, mouse pointers and tab order.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QString>

class QWidget;

namespace platform::forms {

// Left, Top, Width and Height in twips, from the container's client area.
void Place(QWidget* widget, int left, int top, int width, int height);

void SetBackColor(QWidget* widget, const QColor& colour);
void SetForeColor(QWidget* widget, const QColor& colour);

// A font of the given family and size in points, sized for 96 dpi so that a
// design looks the same on every screen. A family missing on the machine is
// replaced by fontconfig's nearest match of the same kind.
QFont DesignFont(const QString& family, double points, bool bold = false, bool italic = false);
// The system's default dialog font, used by controls without a font of their own.
QFont DefaultDialogFont();

// The pointer over a control; the standard pointer is set explicitly, since Qt
// would otherwise inherit the parent's.
void SetMousePointer(QWidget* widget, const QCursor& pointer);
QCursor StandardPointer();

// The tab index of a control (also kept on controls that never take the focus).
void SetTabIndex(QWidget* widget, int index);
int TabIndex(const QWidget* widget); // -1 when it has none
// Chains the focusable controls under root in the order of their tab index.
void ApplyTabOrder(QWidget* root);

} // namespace platform::forms
