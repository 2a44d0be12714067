// Message boxes with Win32 style values and answer codes.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <string>

namespace platform::forms {

class Form;

// Shows a message box; style is MB_* buttons + icon + default button, the
// result is IDOK, IDYES, IDNO, ... Texts are UTF-8. The box is owned by and
// centred over `owner`, the window that asks; without one that is on screen,
// over the active window (as the window layer knows it, which is up to date
// while the system has yet to report the last change). When the owner is
// destroyed while the box is up, the box goes with it and 0 comes back: the
// caller's own window may be gone.
int MsgBox(const std::string& prompt, UINT style, const std::string& title, Form* owner = nullptr);

// Tests answer message boxes through this hook instead of a dialog. Pass an
// empty function to restore the real dialog.
using MsgBoxHook =
    std::function<int(const std::string& prompt, UINT style, const std::string& title)>;
void SetMsgBoxHook(MsgBoxHook hook);

} // namespace platform::forms
