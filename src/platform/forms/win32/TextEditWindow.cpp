// The RichEdit control behind the text box: made in plain-text mode, its
// text in and out as UTF-16, and the character event raised before the
// control acts on a key.
#include "platform/forms/win32/TextEditWindow.h"

#include "platform/forms/RichTextBox.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/Native.h"
#include "platform/forms/win32/TextConversion.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace platform::forms::win32 {

namespace {

// No notices reach this object once it or its window is gone. The window's
// record itself stays with the control.
void ForgetCommands(HWND window) {
    if (WindowState* state = FindState(window)) {
        state->command = nullptr;
    }
}

constexpr wchar_t EditProperty[] = L"Tavro.TextEditWindow";

// RichEdit 4.1 and later live in Msftedit.dll; loading it registers the class.
void LoadRichEdit() {
    static const HMODULE library = LoadLibraryW(L"Msftedit.dll");
    if (!library) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "the text control (Msftedit.dll) could not be loaded");
    }
}

// The character a key types, as the character event reports it, from the
// character message the key made; 0 for those the event leaves out.
int CharacterOf(WPARAM wParam, LPARAM lParam) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const UINT key = MapVirtualKeyW(static_cast<UINT>((lParam >> 16) & 0xFF), MAPVK_VSC_TO_VK);
    const auto c = static_cast<wchar_t>(wParam);
    if (c >= 0xDC00 && c < 0xE000) {
        return 0; // the second half of a pair, whose first half was reported
    }
    if (c == 0x7F) {
        return key == VK_BACK ? 8 : 0; // Ctrl+Backspace
    }
    if (c < 0x20) {
        switch (key) {
        case VK_RETURN:
            return ctrl ? 10 : 13;
        case VK_BACK:
            return 8;
        case VK_TAB:
            return ctrl ? 0 : 9;
        case VK_ESCAPE:
            return 27;
        default:
            // Ctrl+letter; Ctrl with a sign ([, ], \, ...) types nothing.
            return ctrl && c >= 1 && c <= 26 && key >= 'A' && key <= 'Z' ? c : 0;
        }
    }
    if (c >= 0x7F && c < 0xA0) {
        return 0;
    }
    return c;
}

// Undo and redo, by key or by message: the line breaks of the text they go
// back or on to are given back.
bool IsUndoOrRedo(UINT message, WPARAM wParam) {
    switch (message) {
    case EM_UNDO:
    case WM_UNDO:
    case EM_REDO:
        return true;
    case WM_KEYDOWN:
        return GetKeyState(VK_CONTROL) < 0 && (wParam == 'Z' || wParam == 'Y');
    case WM_SYSKEYDOWN:
        return wParam == VK_BACK;
    default:
        return false;
    }
}

struct StreamSource {
    const char* data;
    std::size_t left;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    const std::size_t count = std::min(source->left, static_cast<std::size_t>(size));
    std::memcpy(buffer, source->data, count);
    source->data += count;
    source->left -= count;
    *read = static_cast<LONG>(count);
    return 0;
}

} // namespace

TextEditWindow::TextEditWindow(HWND parent, RichTextBox* control) : control_(control) {
    LoadRichEdit();
    window_ = MakeControl(MSFTEDIT_CLASS, {},
                          WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                              ES_AUTOHSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
                          WS_EX_CLIENTEDGE, parent, Kind::Other);
    if (!window_) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "the text control could not be made");
    }
    // Plain text (set while the control is still empty), no limit but the
    // file size cap, no wrapping of long lines, and a notice of each change.
    SendMessageW(window_, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE, 0);
    SendMessageW(window_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SendMessageW(window_, EM_SETTARGETDEVICE, 0, 1);
    SendMessageW(window_, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SetPropW(window_, EditProperty, this);
    editProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    SetCommandHandler(window_, [this](WORD notification) {
        if (notification == EN_CHANGE) {
            noteChange();
        }
    });
}

TextEditWindow::~TextEditWindow() {
    // The control may be on its way out too: it hears of nothing from here on.
    control_ = nullptr;
    if (window_) {
        ForgetCommands(window_);
        if (GetWindowLongPtrW(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure)) {
            SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProcedure_));
        }
        RemovePropW(window_, EditProperty);
    }
}

LRESULT CALLBACK TextEditWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* self = static_cast<TextEditWindow*>(GetPropW(window, EditProperty));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The window goes before the control: from here on it is not touched.
        const WNDPROC edit = self->editProcedure_;
        ForgetCommands(window);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit));
        RemovePropW(window, EditProperty);
        self->window_ = nullptr;
        return CallWindowProcW(edit, window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT TextEditWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN: {
        // The character this key makes is already queued: its event is
        // raised now, before the control acts on the key (Enter, Backspace
        // and the Ctrl keys act on the key, not on the character).
        raisedAhead_.reset();
        MSG next;
        if (PeekMessageW(&next, window_, WM_CHAR, WM_CHAR, PM_NOREMOVE | PM_NOYIELD)) {
            raisedAhead_.emplace(next.wParam, next.lParam);
            if (const int c = CharacterOf(next.wParam, next.lParam)) {
                keyPress(c);
            }
        }
        break;
    }
    case WM_CHAR:
        if (raisedAhead_ && raisedAhead_->first == wParam && raisedAhead_->second == lParam) {
            raisedAhead_.reset();
        } else if (const int c = CharacterOf(wParam, lParam)) {
            keyPress(c);
        }
        break;
    default:
        break;
    }
    if (window_ && IsUndoOrRedo(message, wParam)) {
        undoing_ = true;
        const LRESULT result = CallWindowProcW(editProcedure_, window_, message, wParam, lParam);
        undoing_ = false;
        return result;
    }
    return CallWindowProcW(editProcedure_, window_, message, wParam, lParam);
}

void TextEditWindow::keyPress(int keyAscii) {
    if (control_ && control_->KeyPress) {
        control_->KeyPress(keyAscii);
    }
}

std::wstring TextEditWindow::wideText() const {
    if (!window_) {
        return {};
    }
    GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
    const LRESULT size =
        SendMessageW(window_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (size <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(size) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = 1200;
    const LRESULT got = SendMessageW(window_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, size)));
    return text;
}

void TextEditWindow::showText(const std::wstring& text) {
    // The control's line break is '\r'. Streamed in as plain text, which the
    // control never reads as rich text whatever it begins with.
    std::wstring shown = text;
    std::replace(shown.begin(), shown.end(), L'\n', L'\r');
    StreamSource source{reinterpret_cast<const char*>(shown.data()),
                        shown.size() * sizeof(wchar_t)};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &ReadStream;
    showing_ = true;
    if (window_) {
        SendMessageW(window_, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
        SendMessageW(window_, EM_EMPTYUNDOBUFFER, 0, 0);
        SendMessageW(window_, EM_SETMODIFY, FALSE, 0);
    }
    showing_ = false;
    resetBreakRecord();
}

std::string TextEditWindow::Text() const {
    std::wstring text = wideText();
    std::replace(text.begin(), text.end(), L'\r', L'\n');
    if (standIns_) {
        SwapStandIns(text, platform::StandInCharacters, platform::SeparatorCharacters);
    }
    return Utf8(text);
}

void TextEditWindow::setText(const std::string& text) {
    // Text set from outside is no file's: it is written in the file's
    // format, with the first style of line break.
    lineBreaks_.clear();
    standIns_ = false;
    loadedBytes_.reset();
    loadedText_.clear();
    showText(Utf16(text));
    applyReadOnly();
}

bool TextEditWindow::Modified() const {
    return window_ && SendMessageW(window_, EM_GETMODIFY, 0, 0) != 0;
}

void TextEditWindow::applyReadOnly() {
    if (window_) {
        SendMessageW(window_, EM_SETREADONLY, readOnlyReason_.empty() ? FALSE : TRUE, 0);
    }
}

} // namespace platform::forms::win32
