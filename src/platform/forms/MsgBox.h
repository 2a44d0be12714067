// Message boxes with Win32 style values and answer codes.
#pragma once

#include <QString>
#include <functional>

namespace platform::forms {

// Shows a message box; style is MB_* buttons + icon + default button, the
// result is IDOK, IDYES, IDNO, ...
int MsgBox(const QString& prompt, int style, const QString& title);

// Tests answer message boxes through this hook instead of a dialog. Pass an
// empty function to restore the real dialog.
using MsgBoxHook = std::function<int(const QString& prompt, int style, const QString& title)>;
void SetMsgBoxHook(MsgBoxHook hook);

} // namespace platform::forms
