// The window behind a control or form on Windows: what native::Widget stands
// for in this implementation, and what a container passes on to its controls.
#pragma once

#include "platform/forms/Control.h"
#include "platform/win32.h"

#include <functional>

namespace platform::forms::win32 {

inline HWND ToHwnd(native::Widget* widget) {
    return reinterpret_cast<HWND>(widget);
}

inline native::Widget* ToNative(HWND window) {
    return reinterpret_cast<native::Widget*>(window);
}

// A child control's notifications to its parent (WM_COMMAND's notification
// code: BN_CLICKED, LBN_SELCHANGE, EN_CHANGE, ...): the container's window
// procedure passes each on to the handler its control set. An empty handler
// removes it.
using CommandHandler = std::function<void(WORD notification)>;
void SetCommandHandler(HWND control, CommandHandler handler);

} // namespace platform::forms::win32
