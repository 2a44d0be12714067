#include "platform/forms/Design.h"

#include "platform/forms/Control.h"
#include "platform/forms/Form.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/Native.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace platform::forms {

namespace {

HWND WindowOf(const Control* control) {
    return win32::ToHwnd(control->Native());
}

bool TakesFocus(HWND w) {
    const win32::WindowState* s = win32::FindState(w);
    return s &&
           (s->kind == win32::Kind::OptionButton || (GetWindowLongPtrW(w, GWL_STYLE) & WS_TABSTOP));
}

// Where a container's child comes in the tab order: its own tab index, or for
// a container, the first of the controls in it; none (INT_MAX) for a child
// that never takes the focus.
int TabKey(HWND w) {
    const win32::WindowState* s = win32::FindState(w);
    if (s && s->kind == win32::Kind::Frame) {
        int first = INT_MAX;
        for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            first = std::min(first, TabKey(c));
        }
        return first;
    }
    return s && TakesFocus(w) && s->tabIndex >= 0 ? s->tabIndex : INT_MAX;
}

// The dialog manager moves the focus in z-order: the children that take it
// (or hold controls that do) are put in tab order in the places they have,
// and every other child keeps its place, since z-order is also what paints
// over what.
void OrderChildren(HWND container) {
    std::vector<HWND> children = win32::ChildrenInOrder(container);
    // Each child's key once: a frame's is found by a walk over its children.
    std::vector<std::size_t> slots;
    std::vector<std::pair<int, HWND>> ordered;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const int key = TabKey(children[i]);
        if (key != INT_MAX) {
            slots.push_back(i);
            ordered.emplace_back(key, children[i]);
        }
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return a.first != b.first
                   ? a.first < b.first
                   : win32::StateOf(a.second).serial < win32::StateOf(b.second).serial;
    });
    for (std::size_t i = 0; i < slots.size(); ++i) {
        children[slots[i]] = ordered[i].second;
    }
    win32::PutInOrder(container, children);
    for (HWND c : children) {
        if (win32::StateOf(c).kind == win32::Kind::Frame) {
            OrderChildren(c);
        }
    }
    win32::UpdateOptionGroup(container);
}

} // namespace

Font DesignFont(const std::string& family, double points, bool bold, bool italic) {
    return Font{family, points, bold, italic};
}

Font DefaultDialogFont() {
    return DesignFont("MS Sans Serif", 8.0);
}

void Place(Control* control, int left, int top, int width, int height) {
    HWND w = WindowOf(control);
    const UINT dpi = win32::DpiOf(GetParent(w));
    // A control just made is raised by the same move.
    const bool raise = win32::TakeRaise(w);
    SetWindowPos(w, HWND_TOP, win32::TwipsToPixelsAt(left, dpi), win32::TwipsToPixelsAt(top, dpi),
                 win32::TwipsToPixelsAt(width, dpi), win32::TwipsToPixelsAt(height, dpi),
                 (raise ? 0 : SWP_NOZORDER) | SWP_NOACTIVATE);
}

void SetBackColor(Control* control, COLORREF colour) {
    win32::StateOf(WindowOf(control)).back = colour;
    win32::Repaint(WindowOf(control), true);
}

void SetForeColor(Control* control, COLORREF colour) {
    win32::StateOf(WindowOf(control)).fore = colour;
    win32::Repaint(WindowOf(control), true);
}

void SetMousePointer(Control* control, const MousePointer& pointer) {
    win32::StateOf(WindowOf(control)).pointer = pointer;
}

MousePointer StandardPointer() {
    return MousePointer();
}

void SetTabIndex(Control* control, int index) {
    win32::StateOf(WindowOf(control)).tabIndex = index;
}

int TabIndex(const Control* control) {
    const win32::WindowState* s = win32::FindState(WindowOf(control));
    return s ? s->tabIndex : -1;
}

void ApplyTabOrder(Form& form) {
    OrderChildren(form.hWnd());
}

} // namespace platform::forms
