// The Qt widget behind a control or form: what native::Widget stands for in
// this implementation.
#pragma once

#include "platform/forms/Control.h"

#include <QWidget>

namespace platform::forms::qt {

inline QWidget* ToQt(native::Widget* widget) {
    return reinterpret_cast<QWidget*>(widget);
}

inline native::Widget* ToNative(QWidget* widget) {
    return reinterpret_cast<native::Widget*>(widget);
}

// The control's widget as its own Qt class.
template <typename W> W* WidgetOf(const Control* control) {
    return static_cast<W*>(ToQt(control->Native()));
}

} // namespace platform::forms::qt
