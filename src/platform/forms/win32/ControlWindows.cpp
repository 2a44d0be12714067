#include "platform/forms/win32/ControlWindows.h"

#include "platform/forms/win32/Picture.h"
#include "platform/system/win32/wide_names.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

namespace platform::forms::win32 {

namespace {

std::unordered_map<HWND, WindowState>& States() {
    static std::unordered_map<HWND, WindowState> states;
    return states;
}

unsigned nextSerial = 0;
// Control identifiers start above the dialog answers (IDOK = 1 ...), so that
// Enter or Escape in a form is never taken for a click on one of them.
int nextId = 100;
// The controls made and not raised yet, in the order they were made.
std::vector<HWND> waitingRaise;

std::vector<HWND> ChildrenOf(HWND container) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(container, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        children.push_back(c);
    }
    return children;
}

LRESULT CALLBACK FrameProc(HWND frame, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ContainerMessage(msg, wParam, lParam, result)) {
        return result;
    }
    switch (msg) {
    case WM_ERASEBKGND:
        return 1; // all of it in WM_PAINT
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(frame, &ps);
        PaintContainer(frame, dc, ps.rcPaint);
        EndPaint(frame, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(frame, msg, wParam, lParam);
    }
}

// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A sibling under a control that shows what lies behind it: a picture, a
// label in its own colour, or the text of a label without one. Each is
// clipped away where the control lies over it, so the control paints it.
bool ShowsThrough(const WindowState& s) {
    return (s.kind == Kind::Image && !s.picture.IsEmpty()) || s.kind == Kind::Label;
}

void PaintSibling(HWND sibling, const WindowState& s, HDC dc, const RECT& there) {
    if (s.kind == Kind::Image) {
        DrawPicture(dc, there.left, there.top, s.picture);
        return;
    }
    if (s.back && !s.transparent) {
        FillRect(dc, &there, BrushOf(*s.back));
    }
    const std::wstring text = WideName(TextOf(sibling));
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(sibling, WM_GETFONT, 0, 0));
    const HGDIOBJ kept = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, s.fore ? *s.fore : GetSysColor(COLOR_BTNTEXT));
    RECT box = there;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    if (kept) {
        SelectObject(dc, kept);
    }
}

bool IsEditClass(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    const std::wstring cls(name);
    return cls.find(L"Edit") != std::wstring::npos || cls.find(L"EDIT") != std::wstring::npos;
}

LRESULT CALLBACK ButtonProc(HWND button, UINT msg, WPARAM wParam, LPARAM lParam) {
    const WindowState* s = FindState(button);
    const WNDPROC previous = s ? s->previousProc : nullptr;
    if (!previous) {
        return DefWindowProcW(button, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_GETDLGCODE: {
        const auto* asked = reinterpret_cast<const MSG*>(lParam);
        const LRESULT code = CallWindowProcW(previous, button, msg, wParam, lParam);
        if (asked && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN) {
            return code | DLGC_WANTMESSAGE;
        }
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            const bool repeat = lParam & (1 << 30);
            const bool modified =
                (GetKeyState(VK_CONTROL) | GetKeyState(VK_MENU) | GetKeyState(VK_SHIFT)) & 0x8000;
            // A held key clicks once: one press must not start the emulator twice.
            if (!repeat && !modified) {
                SendMessageW(GetParent(button), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            }
            return 0;
        }
        break;
    case WM_LBUTTONDBLCLK:
        return CallWindowProcW(previous, button, WM_LBUTTONDOWN, wParam, lParam);
    default:
        break;
    }
    return CallWindowProcW(previous, button, msg, wParam, lParam);
}

} // namespace

WindowState& StateOf(HWND window) {
    return States()[window];
}

WindowState* FindState(HWND window) {
    const auto found = States().find(window);
    return found == States().end() ? nullptr : &found->second;
}

void ForgetState(HWND window) {
    std::erase(waitingRaise, window);
    States().erase(window);
}

void SetCommandHandler(HWND control, CommandHandler handler) {
    StateOf(control).command = std::move(handler);
}

UINT DpiOf(HWND window) {
    const UINT dpi = window ? GetDpiForWindow(window) : 0;
    return dpi ? dpi : 96;
}

int TwipsToPixelsAt(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

int PixelsToTwipsAt(int pixels, UINT dpi) {
    return MulDiv(pixels, 1440, static_cast<int>(dpi));
}

HFONT FontFor(const Font& font, UINT dpi) {
    using Key = std::tuple<std::string, long, bool, bool, UINT>;
    static std::map<Key, HFONT> made;
    const Key key{font.family, std::lround(font.points * 100), font.bold, font.italic, dpi};
    if (const auto found = made.find(key); found != made.end()) {
        return found->second;
    }
    // The pitch and family let the font mapper pick the nearest face of the
    // same kind when the family is missing.
    std::string lower = font.family;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    DWORD pitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    if (lower.find("courier") != std::string::npos || lower.find("mono") != std::string::npos) {
        pitchAndFamily = FIXED_PITCH | FF_MODERN;
    } else if (lower.find("comic") != std::string::npos) {
        pitchAndFamily = VARIABLE_PITCH | FF_SCRIPT;
    }
    const int height = -static_cast<int>(std::lround(font.points * dpi / 72.0));
    HFONT handle = CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, pitchAndFamily, WideName(font.family).c_str());
    made.emplace(key, handle);
    return handle;
}

HBRUSH BrushOf(COLORREF colour) {
    static std::map<COLORREF, HBRUSH> made;
    if (const auto found = made.find(colour); found != made.end()) {
        return found->second;
    }
    HBRUSH brush = CreateSolidBrush(colour);
    made.emplace(colour, brush);
    return brush;
}

HWND MakeControl(const wchar_t* className, const std::string& text, DWORD style, DWORD exStyle,
                 HWND parent, Kind kind) {
    const int id = nextId++;
    // Every control but an option is a group of its own: the arrow keys move
    // within an option group only (see UpdateOptionGroup).
    const DWORD groupStart = kind == Kind::OptionButton ? 0 : WS_GROUP;
    HWND window = CreateWindowExW(
        exStyle, className, WideName(text).c_str(),
        style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | groupStart, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (window) {
        waitingRaise.push_back(window);
    }
    SendMessageW(window, WM_SETFONT,
                 reinterpret_cast<WPARAM>(FontFor(DefaultDialogFont(), DpiOf(parent))), FALSE);
    WindowState& state = StateOf(window);
    state.kind = kind;
    state.serial = nextSerial++;
    return window;
}

std::vector<HWND> ChildrenInOrder(HWND container) {
    std::vector<HWND> children = ChildrenOf(container);
    std::vector<HWND> raised;
    for (auto w = waitingRaise.rbegin(); w != waitingRaise.rend(); ++w) {
        if (GetParent(*w) == container) {
            raised.push_back(*w);
        }
    }
    std::erase_if(children, [&raised](HWND c) {
        return std::find(raised.begin(), raised.end(), c) != raised.end();
    });
    raised.insert(raised.end(), children.begin(), children.end());
    return raised;
}

void PutInOrder(HWND container, const std::vector<HWND>& order) {
    std::erase_if(waitingRaise, [container](HWND w) { return GetParent(w) == container; });
    // Each move is a trip to the server: the longest run of children already
    // in order stays, and each other child goes just below the one before it.
    const std::vector<HWND> now = ChildrenOf(container);
    std::vector<std::ptrdiff_t> at(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto found = std::find(now.begin(), now.end(), order[i]);
        at[i] = found == now.end() ? -1 : found - now.begin();
    }
    std::vector<std::size_t> length(order.size(), 1);
    std::vector<std::ptrdiff_t> previous(order.size(), -1);
    std::ptrdiff_t last = -1;
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (at[j] >= 0 && at[j] < at[i] && length[j] + 1 > length[i]) {
                length[i] = length[j] + 1;
                previous[i] = static_cast<std::ptrdiff_t>(j);
            }
        }
        if (at[i] >= 0 && (last < 0 || length[i] > length[static_cast<std::size_t>(last)])) {
            last = static_cast<std::ptrdiff_t>(i);
        }
    }
    std::vector<bool> stays(order.size(), false);
    for (std::ptrdiff_t i = last; i >= 0; i = previous[static_cast<std::size_t>(i)]) {
        stays[static_cast<std::size_t>(i)] = true;
    }
    // A container not shown has nothing to paint again.
    const UINT redraw = IsWindowVisible(container) ? 0 : SWP_NOREDRAW;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (!stays[i]) {
            SetWindowPos(order[i], i == 0 ? HWND_TOP : order[i - 1], 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | redraw);
        }
    }
}

bool TakeRaise(HWND control) {
    HWND container = GetParent(control);
    const auto first = std::find_if(waitingRaise.begin(), waitingRaise.end(),
                                    [container](HWND w) { return GetParent(w) == container; });
    if (first == waitingRaise.end() || *first != control) {
        return false;
    }
    waitingRaise.erase(first);
    return true;
}

void RaiseMadeControls() {
    while (!waitingRaise.empty()) {
        HWND container = GetParent(waitingRaise.front());
        PutInOrder(container, ChildrenInOrder(container));
    }
}

void Repaint(HWND window, bool erase) {
    if (IsWindowVisible(window)) {
        InvalidateRect(window, nullptr, erase);
    }
}

bool ContainerMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND: {
        WindowState* s = lParam ? FindState(reinterpret_cast<HWND>(lParam)) : nullptr;
        if (!s || !s->command) {
            return false;
        }
        // A copy: the handler may replace itself or destroy the control.
        const CommandHandler handler = s->command;
        handler(HIWORD(wParam));
        result = 0;
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HWND control = reinterpret_cast<HWND>(lParam);
        const WindowState* s = FindState(control);
        if (!s) {
            return false;
        }
        const bool field = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
        SetTextColor(dc,
                     s->fore ? *s->fore : GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
        if (s->back && !s->transparent) {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, *s->back);
            result = reinterpret_cast<LRESULT>(BrushOf(*s->back));
        } else if (field) {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        } else if (s->kind == Kind::Label) {
            // A label paints in one go: what lies behind it, then its text.
            PaintBehind(control, dc);
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        } else {
            // A button repaints parts of itself: its container's colour.
            const WindowState* container = FindState(GetParent(control));
            const COLORREF colour =
                container && container->back ? *container->back : GetSysColor(COLOR_BTNFACE);
            SetBkColor(dc, colour);
            result = reinterpret_cast<LRESULT>(BrushOf(colour));
        }
        return true;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const WindowState* s = item ? FindState(item->hwndItem) : nullptr;
        if (!s || !s->draw) {
            return false;
        }
        s->draw(*item);
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

void PaintContainer(HWND container, HDC dc, const RECT& area) {
    const WindowState* s = FindState(container);
    if (s && s->back) {
        FillRect(dc, &area, BrushOf(*s->back));
    } else if (s && s->kind == Kind::Frame) {
        PaintBehind(container, dc);
    } else {
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (s && s->kind == Kind::Form && !s->picture.IsEmpty()) {
        // The colour shows only where the picture does not reach.
        DrawPicture(dc, 0, 0, s->picture);
    }
}

void PaintBehind(HWND child, HDC dc) {
    RaiseMadeControls();
    HWND parent = GetParent(child);
    if (!parent) {
        return;
    }
    const RECT here = RectInParent(child);
    // The control paints on in this DC: its colours, font and origin stay.
    const int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, -here.left, -here.top, nullptr);
    PaintContainer(parent, dc, here);
    // The siblings under this one that show through it, lowest first.
    std::vector<HWND> under;
    for (HWND w = GetWindow(child, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const WindowState* s = FindState(w);
        RECT overlap{};
        const RECT there = RectInParent(w);
        if (s && ShowsThrough(*s) && IsWindowVisible(w) && IntersectRect(&overlap, &here, &there)) {
            under.push_back(w);
        }
    }
    for (auto w = under.rbegin(); w != under.rend(); ++w) {
        PaintSibling(*w, *FindState(*w), dc, RectInParent(*w));
    }
    RestoreDC(dc, saved);
}

bool SetPointerFor(HWND target, HWND root) {
    for (HWND w = target; w; w = w == root ? nullptr : GetParent(w)) {
        const WindowState* s = FindState(w);
        if (s && s->pointer) {
            SetCursor(CursorOf(*s->pointer));
            return true;
        }
        // A text field shows its own pointer unless one is set on it.
        if (w == target && IsEditClass(w)) {
            return false;
        }
    }
    return false;
}

const wchar_t* FrameClass() {
    static const wchar_t* name = [] {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.style = CS_DBLCLKS;
        cls.lpfnWndProc = FrameProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        cls.lpszClassName = L"TavroFrame";
        RegisterClassExW(&cls);
        return L"TavroFrame";
    }();
    return name;
}

std::string TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return NarrowName(text);
}

HWND FocusIn(HWND root) {
    HWND focus = GetFocus();
    if (focus && GetAncestor(focus, GA_ROOT) == root) {
        return focus;
    }
    const WindowState* s = FindState(root);
    return s && s->lastFocus && IsWindow(s->lastFocus) ? s->lastFocus : nullptr;
}

namespace {

// The option buttons of a container, top first: one walk over its children,
// each step of which is a trip to the server.
std::vector<HWND> OptionsInZOrder(HWND container) {
    RaiseMadeControls();
    std::vector<HWND> options;
    for (HWND w = GetWindow(container, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const WindowState* s = FindState(w);
        if (s && s->kind == Kind::OptionButton) {
            options.push_back(w);
        }
    }
    return options;
}

void SortByTabOrder(std::vector<HWND>& options) {
    std::stable_sort(options.begin(), options.end(), [](HWND a, HWND b) {
        const WindowState& sa = *FindState(a);
        const WindowState& sb = *FindState(b);
        return std::tie(sa.tabIndex, sa.serial) < std::tie(sb.tabIndex, sb.serial);
    });
}

bool IsChecked(HWND option) {
    return SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The tab stop of a group (in tab order) in which no option is checked: its
// first enabled and shown option.
HWND FirstStop(const std::vector<HWND>& group) {
    const auto first = std::find_if(group.begin(), group.end(), [](HWND o) {
        return IsWindowEnabled(o) && (GetWindowLongPtrW(o, GWL_STYLE) & WS_VISIBLE);
    });
    return first == group.end() ? nullptr : *first;
}

} // namespace

std::vector<HWND> OptionsIn(HWND container) {
    std::vector<HWND> options = OptionsInZOrder(container);
    SortByTabOrder(options);
    return options;
}

bool IsOptionTabStop(HWND option) {
    if (IsChecked(option)) {
        return true;
    }
    const std::vector<HWND> group = OptionsIn(GetParent(option));
    if (std::any_of(group.begin(), group.end(), IsChecked)) {
        return false;
    }
    return FirstStop(group) == option;
}

void UpdateOptionGroup(HWND container) {
    std::vector<HWND> group = OptionsInZOrder(container);
    if (group.empty()) {
        return;
    }
    // The group starts at its first option in z-order (the dialog manager's
    // order, which the tab order sets) and ends at the next group start.
    const HWND top = group.front();
    SortByTabOrder(group);
    // The group is one tab stop: its checked option, or while none is, its
    // first (IsOptionTabStop, worked out once for the whole group).
    std::vector<bool> checked;
    for (HWND option : group) {
        checked.push_back(IsChecked(option));
    }
    const bool anyChecked = std::find(checked.begin(), checked.end(), true) != checked.end();
    const HWND firstStop = anyChecked ? nullptr : FirstStop(group);
    for (std::size_t i = 0; i < group.size(); ++i) {
        const HWND option = group[i];
        const bool stop = checked[i] || option == firstStop;
        const LONG_PTR was = GetWindowLongPtrW(option, GWL_STYLE);
        LONG_PTR style = stop ? was | WS_TABSTOP : was & ~LONG_PTR{WS_TABSTOP};
        style = option == top ? style | WS_GROUP : style & ~LONG_PTR{WS_GROUP};
        // Each change is a trip to the server and two messages: only real ones.
        if (style != was) {
            SetWindowLongPtrW(option, GWL_STYLE, style);
        }
    }
}

void DrawCommandButton(const DRAWITEMSTRUCT& item, bool defaultFrame) {
    const WindowState* s = FindState(item.hwndItem);
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    if (defaultFrame) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    FillRect(dc, &r, s && s->back ? BrushOf(*s->back) : GetSysColorBrush(COLOR_BTNFACE));
    const bool pressed = item.itemState & ODS_SELECTED;
    if (pressed) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
    }
    RECT text = r;
    if (pressed) {
        OffsetRect(&text, 1, 1);
    }
    const std::wstring caption = WideName(TextOf(item.hwndItem));
    SetBkMode(dc, TRANSPARENT);
    const bool enabled = !(item.itemState & ODS_DISABLED);
    SetTextColor(dc, !enabled       ? GetSysColor(COLOR_GRAYTEXT)
                     : s && s->fore ? *s->fore
                                    : GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

void TakeButtonKeys(HWND button) {
    WindowState& s = StateOf(button);
    s.previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonProc)));
}

} // namespace platform::forms::win32
