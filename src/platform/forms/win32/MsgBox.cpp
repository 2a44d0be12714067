#include "platform/forms/MsgBox.h"

#include "platform/forms/Form.h"
#include "platform/system/win32/wide_names.h"

namespace platform::forms {

namespace {

MsgBoxHook& Hook() {
    static MsgBoxHook h;
    return h;
}

} // namespace

int MsgBox(const std::string& prompt, UINT style, const std::string& title, Form* asking) {
    if (Hook()) {
        return Hook()(prompt, style, title);
    }
    // Owned by the window that asks; without one on screen, the active window.
    HWND owner = asking && asking->Visible() ? asking->hWnd() : GetActiveWindow();
    if (owner && !IsWindowVisible(owner)) {
        owner = nullptr;
    }
    return MessageBoxW(owner, WideName(prompt).c_str(), WideName(title).c_str(), style);
}

void SetMsgBoxHook(MsgBoxHook h) {
    Hook() = std::move(h);
}

} // namespace platform::forms
