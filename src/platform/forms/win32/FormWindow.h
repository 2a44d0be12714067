// The Win32 window behind a form: a top-level window of the runtime's own
// class whose procedure (FormWndProc) turns the system's messages into the
// form's events and passes its controls' notifications on to them.
#pragma once

#include "platform/forms/Form.h"
#include "platform/forms/win32/Native.h"

#include <functional>
#include <vector>

namespace platform::forms {

// The form's window, which also is the client area its controls are placed in.
struct Form::Window final : Container {
    explicit Window(Form& owner) : form(owner) {}
    Form& OwnerForm() const override { return form; }
    native::Widget* ContainerWidget() const override { return win32::ToNative(hwnd); }

    Form& form;
    HWND hwnd = nullptr; // none once the system destroyed it
    // The form is being destroyed and destroys this window: no event of the
    // window reaches the form any more.
    bool released = false;
    StartUpPosition position = StartUpPosition::WindowsDefault;
    bool placed = false;
    HMENU menu = nullptr;
    std::vector<std::function<void()>> menuActions;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
};

// The runtime's side of a form: makes its window and raises the form's own
// steps, which it alone may.
class FormEvents {
public:
    static void Create(Form& form, const Form::Design& design);
    static LRESULT Message(Form& form, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Places the window the first time it is shown.
    static void PlaceFirstTime(Form& form);
};

namespace win32 {

// Whether the window is a form's.
bool IsFormWindow(HWND window);
// The window that the system's request to end the program closes.
void SetMainWindow(HWND window);

} // namespace win32

} // namespace platform::forms
