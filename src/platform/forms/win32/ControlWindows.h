// What the runtime keeps about the windows behind forms and controls, and the
// pieces every container's window procedure shares: passing notifications,
// colours and owner drawing on to the control they concern, painting what
// lies behind a control that shows its container through, the pointer over a
// window, fonts and brushes.
#pragma once

#include "platform/forms/Design.h"
#include "platform/forms/Picture.h"
#include "platform/forms/win32/Native.h"
#include "platform/win32.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::forms::win32 {

enum class Kind { Other, Form, Frame, Label, Image, CommandButton, OptionButton, CheckBox };

struct WindowState {
    Kind kind = Kind::Other;
    // The control this is the window of (none for a form's).
    Control* control = nullptr;
    // The order controls were made in, which breaks ties between equal tab indexes.
    unsigned serial = 0;
    std::optional<COLORREF> back;
    std::optional<COLORREF> fore;
    // A label that shows its container through (or has no colour of its own).
    bool transparent = false;
    // Set for the window itself; otherwise its container's is shown.
    std::optional<MousePointer> pointer;
    int tabIndex = -1;
    // An image control's picture, or the form's background picture.
    Picture picture;
    CommandHandler command;
    std::function<void(const DRAWITEMSTRUCT&)> draw;
    // A push button that is its window's default one.
    bool isDefault = false;
    // The procedure a control's window had before the runtime took it over.
    WNDPROC previousProc = nullptr;
    // A form's focused control, kept while another window is active.
    HWND lastFocus = nullptr;
    // What a screen reader is told (see Accessible.h).
    std::string accessibleName;
    std::string accessibleDescription;
    int role = 0;
    std::string pictureName;
};

// The window's record, made at the first call.
WindowState& StateOf(HWND window);
// The window's record, or null when it has none.
WindowState* FindState(HWND window);
void ForgetState(HWND window);

// The dots per inch the window is shown at (96 when the system cannot tell).
UINT DpiOf(HWND window);
int TwipsToPixelsAt(int twips, UINT dpi);
int PixelsToTwipsAt(int pixels, UINT dpi);

// Fonts and brushes are made once and kept for the program's life.
HFONT FontFor(const Font& font, UINT dpi);
HBRUSH BrushOf(COLORREF colour);

// A control's window of `className` in `parent`, with the default dialog
// font, above its earlier siblings (as later controls paint over earlier ones).
// The system makes it at the bottom; the controls made are raised together,
// before anything looks at the order (RaiseMadeControls) or with the tab
// order (PutInOrder): a window moved in z-order is a trip to the server.
HWND MakeControl(const wchar_t* className, const std::string& text, DWORD style, DWORD exStyle,
                 HWND parent, Kind kind);
// Whether `control` waits to be raised and can be by the caller's next move:
// none made before it in its container still waits. It waits no more.
bool TakeRaise(HWND control);
// Raises the controls made that still wait to be.
void RaiseMadeControls();
// A container's children, top first, as they are once the controls made in
// it are raised.
std::vector<HWND> ChildrenInOrder(HWND container);
// Puts the container's children in `order` (top first; all of them) with as
// few moves as it takes; the controls made in it are raised by it.
void PutInOrder(HWND container, const std::vector<HWND>& order);

// Marks the window to be painted again; not one that is not shown (nor its
// container): it is painted whole when it shows.
void Repaint(HWND window, bool erase);

// What a container's window procedure passes on to its controls:
// WM_COMMAND from a control, WM_CTLCOLOR*, WM_DRAWITEM. True when handled.
bool ContainerMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
// A container's own background over `area` (its client coordinates): its
// colour, or what lies behind it, and a form's picture.
void PaintContainer(HWND container, HDC dc, const RECT& area);
// What lies behind `child`, in the child's client coordinates: its
// container's background and the pictures and coloured labels under it.
void PaintBehind(HWND child, HDC dc);
// The pointer for WM_SETCURSOR over `target`: the first one set on it or a
// container on the way up to `root`. False when none is (the window's own).
bool SetPointerFor(HWND target, HWND root);

// The window class of frames: a plain container in its colour.
const wchar_t* FrameClass();
// Text of a window as UTF-8.
std::string TextOf(HWND window);

// The focused control of a form's window, remembered while the window is inactive.
HWND FocusIn(HWND root);
// The option buttons of a container, in tab order.
std::vector<HWND> OptionsIn(HWND container);
// Tab stops and group starts of a container's option buttons: the group is
// one stop for Tab, at its selected option (its first while none is).
void UpdateOptionGroup(HWND container);
bool IsOptionTabStop(HWND option);

// A push button in the graphical style: its face in its back colour, raised
// (sunk while pressed), its caption, the focus rectangle, and the default
// button's black frame when `defaultFrame`.
void DrawCommandButton(const DRAWITEMSTRUCT& item, bool defaultFrame);
// Enter clicks a push button while it has the focus (once per press, without
// Ctrl, Alt or Shift), and a quick second click counts as a click, as the
// first did.
void TakeButtonKeys(HWND button);

} // namespace platform::forms::win32
