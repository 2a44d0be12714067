// The form of Form.h over its Win32 window (FormWindow.h).
#include "platform/forms/Form.h"

#include "platform/forms/Testing.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/FormWindow.h"
#include "platform/forms/win32/Picture.h"
#include "platform/system/win32/wide_names.h"

namespace platform::forms {

namespace {

bool endRequested = false;

// Repaints the window and every control that shows it through.
void RepaintAll(HWND hwnd) {
    if (!IsWindowVisible(hwnd)) {
        return; // painted whole when it shows
    }
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace

Form::Form(const Design& design) : window_(std::make_unique<Window>(*this)) {
    FormEvents::Create(*this, design);
}

Form::~Form() {
    // The window first, and every control's window with it; then the controls.
    Window& w = *window_;
    if (w.hwnd && !w.released) {
        w.released = true;
        DestroyWindow(w.hwnd);
        w.hwnd = nullptr;
    }
    w.released = true;
    for (const std::function<void()>& action : whenDestroyed_) {
        action();
    }
    controls_.clear();
    win32::ForgetState(hwnd_);
    if (w.bigIcon) {
        DestroyIcon(w.bigIcon);
    }
    if (w.smallIcon) {
        DestroyIcon(w.smallIcon);
    }
}

native::Widget* Form::Native() const {
    return win32::ToNative(window_->hwnd);
}

Container* Form::Client() const {
    return window_.get();
}

void Form::Show() {
    Load();
    if (!window_->hwnd) {
        return;
    }
    FormEvents::PlaceFirstTime(*this);
    ShowWindow(window_->hwnd, SW_SHOW);
    SetForegroundWindow(window_->hwnd);
}

void Form::Hide() {
    if (window_->hwnd) {
        ShowWindow(window_->hwnd, SW_HIDE);
    }
}

bool Form::Visible() const {
    return window_->hwnd && IsWindowVisible(window_->hwnd);
}

void Form::Unload() {
    if (unloading_) {
        return;
    }
    unloading_ = true;
    Form_Unload();
    // Destroyed from the message loop: the form may be in one of its own handlers now.
    if (HWND hwnd = window_->hwnd) {
        ShowWindow(hwnd, SW_HIDE);
        PostMessageW(hwnd, WM_APP + 1, 0, 0);
    }
}

bool Form::IsMinimized() const {
    return window_->hwnd && IsIconic(window_->hwnd);
}

void Form::Restore() {
    if (IsMinimized()) {
        ShowWindow(window_->hwnd, SW_RESTORE);
    }
}

std::string Form::Caption() const {
    return win32::TextOf(hwnd_);
}

void Form::setCaption(const std::string& caption) {
    const std::wstring text = WideName(caption);
    SetWindowTextW(hwnd_, text.c_str());
    // A procedure of the program's may hold the window in the system's
    // narrow code page, which has no place for some characters: the window
    // keeps the text exactly all the same.
    std::wstring kept(text.size() + 1, L'\0');
    kept.resize(static_cast<std::size_t>(
        GetWindowTextW(hwnd_, kept.data(), static_cast<int>(kept.size()))));
    if (kept != text) {
        DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(hwnd_, WM_NCPAINT, 1, 0);
    }
}

int Form::ScaleWidth() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return win32::PixelsToTwipsAt(r.right - r.left, win32::DpiOf(hwnd_));
}

int Form::ScaleHeight() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return win32::PixelsToTwipsAt(r.bottom - r.top, win32::DpiOf(hwnd_));
}

void Form::setIcon(const Picture& icon) {
    Window& w = *window_;
    const UINT dpi = win32::DpiOf(hwnd_);
    HICON big = win32::IconOf(icon, GetSystemMetricsForDpi(SM_CXICON, dpi));
    HICON small = win32::IconOf(icon, GetSystemMetricsForDpi(SM_CXSMICON, dpi));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (w.bigIcon) {
        DestroyIcon(w.bigIcon);
    }
    if (w.smallIcon) {
        DestroyIcon(w.smallIcon);
    }
    w.bigIcon = big;
    w.smallIcon = small;
}

void Form::setPicture(const Picture& picture) {
    win32::StateOf(hwnd_).picture = picture;
    RepaintAll(hwnd_);
}

void Form::setBackColor(COLORREF colour) {
    win32::StateOf(hwnd_).back = colour;
    RepaintAll(hwnd_);
}

void Form::setMousePointer(const MousePointer& pointer) {
    win32::StateOf(hwnd_).pointer = pointer;
}

void Form::addMenuItem(const std::string& caption, std::function<void()> action) {
    Window& w = *window_;
    if (!w.menu) {
        w.menu = CreateMenu();
        SetMenu(hwnd_, w.menu);
    }
    w.menuActions.push_back(std::move(action));
    AppendMenuW(w.menu, MF_STRING, w.menuActions.size(), WideName(caption).c_str());
    DrawMenuBar(hwnd_);
}

void End() {
    endRequested = true;
    PostQuitMessage(0);
}

bool EndRequested() {
    return endRequested;
}

void ResetEndForTesting() {
    endRequested = false;
}

} // namespace platform::forms
