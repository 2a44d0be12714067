// Real controls speak for themselves to a screen reader; what the runtime
// adds is kept with the window: a form's role and picture name, and titles
// placed just before the controls they name, which is how the system ties a
// label to the control after it.
#include "platform/forms/Accessible.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Form.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/Native.h"

namespace platform::forms {

void SetAccessibleRole(Form* form, AccessibleRole role) {
    win32::StateOf(form->hWnd()).role = static_cast<int>(role);
}

AccessibleRole RoleOf(const Form* form) {
    const win32::WindowState* s = win32::FindState(form->hWnd());
    return s ? static_cast<AccessibleRole>(s->role) : AccessibleRole::Window;
}

void SetTitle(Label* title, Control* control) {
    HWND label = win32::ToHwnd(title->Native());
    HWND named = win32::ToHwnd(control->Native());
    win32::RaiseMadeControls();
    if (label != named && GetWindow(named, GW_HWNDPREV) != label) {
        HWND above = GetWindow(named, GW_HWNDPREV);
        SetWindowPos(label, above ? above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    control->setAccessibleName(title->Caption());
}

void SetPictureName(Form* form, const std::string& name) {
    win32::StateOf(form->hWnd()).pictureName = name;
}

std::string PictureName(const Form* form) {
    const win32::WindowState* s = win32::FindState(form->hWnd());
    return s ? s->pictureName : std::string();
}

} // namespace platform::forms
