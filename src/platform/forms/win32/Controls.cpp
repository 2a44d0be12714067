// The controls of Control.h and Controls.h over real Win32 controls.
#include "platform/forms/Controls.h"

#include "platform/forms/Form.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/Native.h"
#include "platform/forms/win32/Picture.h"

#include <algorithm>

namespace platform::forms {

using win32::Kind;
using win32::ToHwnd;
using win32::ToNative;

namespace {

HWND ParentOf(Container* parent) {
    return ToHwnd(parent->ContainerWidget());
}

HWND Make(Container* parent, const wchar_t* className, const std::string& text, DWORD style,
          Kind kind, DWORD exStyle = 0) {
    return win32::MakeControl(className, text, style, exStyle, ParentOf(parent), kind);
}

HWND WindowOf(const Control* control) {
    return ToHwnd(control->Native());
}

// The window's default button gives its frame up to a focused push button
// and takes it back when the focus goes elsewhere.
void RepaintDefaultButtons(HWND root) {
    EnumChildWindows(
        root,
        [](HWND w, LPARAM) -> BOOL {
            const win32::WindowState* s = win32::FindState(w);
            if (s && s->kind == Kind::CommandButton && s->isDefault) {
                InvalidateRect(w, nullptr, FALSE);
            }
            return TRUE;
        },
        0);
}

} // namespace

Control::Control(Container* parent, native::Widget* widget)
    : form_(parent->OwnerForm()), widget_(widget) {
    form_.adopt(this);
    win32::StateOf(ToHwnd(widget)).control = this;
}

Control::~Control() {
    win32::ForgetState(ToHwnd(widget_));
}

bool Control::Visible() const {
    return IsWindowVisible(ToHwnd(widget_));
}

void Control::setVisible(bool visible) {
    HWND w = ToHwnd(widget_);
    ShowWindow(w, visible ? SW_SHOWNA : SW_HIDE);
    if (const win32::WindowState* s = win32::FindState(w); s && s->kind == Kind::OptionButton) {
        win32::UpdateOptionGroup(GetParent(w));
    }
}

void Control::setFocus() {
    HWND w = ToHwnd(widget_);
    HWND root = GetAncestor(w, GA_ROOT);
    // An inactive window keeps it for when it is active again.
    if (GetActiveWindow() == root) {
        SetFocus(w);
    } else {
        win32::StateOf(root).lastFocus = w;
    }
}

bool Control::HasFocus() const {
    return GetFocus() == ToHwnd(widget_);
}

void Control::setFont(const Font& font) {
    HWND w = ToHwnd(widget_);
    // A window not shown yet is painted with its font when it shows.
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(win32::FontFor(font, win32::DpiOf(w))),
                 IsWindowVisible(w));
}

void Control::Resize(int width, int height) {
    HWND w = ToHwnd(widget_);
    const UINT dpi = win32::DpiOf(w);
    SetWindowPos(w, nullptr, 0, 0, win32::TwipsToPixelsAt(width, dpi),
                 win32::TwipsToPixelsAt(height, dpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::setAccessibleName(const std::string& name) {
    win32::StateOf(ToHwnd(widget_)).accessibleName = name;
}

void Control::setAccessibleDescription(const std::string& description) {
    win32::StateOf(ToHwnd(widget_)).accessibleDescription = description;
}

Label::Label(Container* parent, const std::string& caption)
    : Control(parent,
              ToNative(Make(parent, L"STATIC", caption, SS_LEFT | SS_NOPREFIX, Kind::Label))) {}

std::string Label::Caption() const {
    return win32::TextOf(WindowOf(this));
}

void Label::setTransparent(bool transparent) {
    win32::StateOf(WindowOf(this)).transparent = transparent;
    win32::Repaint(WindowOf(this), true);
}

Frame::Frame(Container* parent, const std::string& caption)
    : Control(parent, ToNative(Make(parent, win32::FrameClass(), {}, WS_CLIPCHILDREN, Kind::Frame,
                                    WS_EX_CONTROLPARENT))),
      caption_(caption) {}

CommandButton::CommandButton(Container* parent, const std::string& caption)
    : Control(parent, ToNative(Make(parent, L"BUTTON", caption,
                                    BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP, Kind::CommandButton))) {
    HWND w = WindowOf(this);
    win32::TakeButtonKeys(w);
    win32::WindowState& s = win32::StateOf(w);
    s.draw = [this](const DRAWITEMSTRUCT& item) {
        win32::DrawCommandButton(item, ShowsDefaultFrame());
    };
    s.command = [this, w](WORD notification) {
        if (notification == BN_CLICKED) {
            if (Click) {
                Click();
            }
        } else if (notification == BN_SETFOCUS || notification == BN_KILLFOCUS) {
            RepaintDefaultButtons(GetAncestor(w, GA_ROOT));
        }
    };
}

std::string CommandButton::Caption() const {
    return win32::TextOf(WindowOf(this));
}

void CommandButton::setDefault(bool isDefault) {
    win32::StateOf(WindowOf(this)).isDefault = isDefault;
    win32::Repaint(WindowOf(this), false);
}

bool CommandButton::ShowsDefaultFrame() const {
    HWND w = WindowOf(this);
    // The window's focused control, kept while another window is active.
    HWND focused = win32::FocusIn(GetAncestor(w, GA_ROOT));
    if (focused == w) {
        return true;
    }
    const win32::WindowState* own = win32::FindState(w);
    const win32::WindowState* other = focused ? win32::FindState(focused) : nullptr;
    return own && own->isDefault && !(other && other->kind == Kind::CommandButton);
}

OptionButton::OptionButton(Container* parent, const std::string& caption)
    : Control(parent,
              ToNative(Make(parent, L"BUTTON", caption, BS_AUTORADIOBUTTON, Kind::OptionButton))) {
    HWND container = ParentOf(parent);
    win32::StateOf(WindowOf(this)).command = [container](WORD notification) {
        if (notification == BN_CLICKED) {
            win32::UpdateOptionGroup(container);
        }
    };
    // The group's tab stop and group start are set once its options are all
    // made (ApplyTabOrder), not for each one: that would go over the group
    // again and again.
}

std::string OptionButton::Caption() const {
    return win32::TextOf(WindowOf(this));
}

bool OptionButton::Value() const {
    return SendMessageW(WindowOf(this), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void OptionButton::setValue(bool value) {
    HWND w = WindowOf(this);
    if (value) {
        for (HWND other : win32::OptionsIn(GetParent(w))) {
            if (other != w) {
                SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
    }
    SendMessageW(w, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    win32::UpdateOptionGroup(GetParent(w));
}

std::vector<OptionButton*> OptionButton::Group() const {
    const std::vector<HWND> windows = win32::OptionsIn(GetParent(WindowOf(this)));
    std::vector<OptionButton*> group;
    for (HWND w : windows) {
        group.push_back(static_cast<OptionButton*>(win32::StateOf(w).control));
    }
    return group;
}

bool OptionButton::IsTabStop() const {
    return win32::IsOptionTabStop(WindowOf(this));
}

CheckBox::CheckBox(Container* parent, const std::string& caption)
    : Control(parent,
              ToNative(Make(parent, L"BUTTON", caption, BS_3STATE | WS_TABSTOP, Kind::CheckBox))) {
    // A click toggles between checked and unchecked; only code sets grayed.
    win32::StateOf(WindowOf(this)).command = [this](WORD notification) {
        if (notification == BN_CLICKED) {
            setValue(Value() == Unchecked ? Checked : Unchecked);
        }
    };
}

std::string CheckBox::Caption() const {
    return win32::TextOf(WindowOf(this));
}

int CheckBox::Value() const {
    switch (SendMessageW(WindowOf(this), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        return Checked;
    case BST_INDETERMINATE:
        return Grayed;
    default:
        return Unchecked;
    }
}

void CheckBox::setValue(int value) {
    const WPARAM state = value == Grayed    ? BST_INDETERMINATE
                         : value == Checked ? BST_CHECKED
                                            : BST_UNCHECKED;
    SendMessageW(WindowOf(this), BM_SETCHECK, state, 0);
}

Image::Image(Container* parent)
    : Control(parent, ToNative(Make(parent, L"STATIC", {}, SS_OWNERDRAW, Kind::Image))) {
    HWND w = WindowOf(this);
    win32::StateOf(w).draw = [w](const DRAWITEMSTRUCT& item) {
        // What lies behind shows where the picture is clear or does not reach.
        win32::PaintBehind(w, item.hDC);
        if (const win32::WindowState* s = win32::FindState(w)) {
            win32::DrawPicture(item.hDC, 0, 0, s->picture);
        }
    };
}

void Image::setPicture(const forms::Picture& picture) {
    picture_ = picture;
    HWND w = WindowOf(this);
    RECT before{};
    GetWindowRect(w, &before);
    win32::StateOf(w).picture = picture;
    if (!picture.IsEmpty()) {
        SetWindowPos(w, nullptr, 0, 0, picture.Width(), picture.Height(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The controls over the picture show it through: they are painted again.
    HWND parent = GetParent(w);
    if (!IsWindowVisible(parent)) {
        return; // painted whole when it shows
    }
    RECT after{};
    GetWindowRect(w, &after);
    RECT both{};
    UnionRect(&both, &before, &after);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&both), 2);
    RedrawWindow(parent, &both, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace platform::forms
