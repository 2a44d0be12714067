#include "platform/forms/win32/FileListWindow.h"

#include "platform/forms/FileListBox.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/Native.h"
#include "platform/system/win32/wide_names.h"

#include <cstddef>
#include <string_view>
#include <system_error>
#include <utility>

namespace platform::forms::win32 {

namespace {

// No notices reach this object once it or its window is gone. The window's
// record itself stays with the control.
void ForgetCommands(HWND window) {
    if (WindowState* state = FindState(window)) {
        state->command = nullptr;
    }
}

constexpr wchar_t ListProperty[] = L"Tavro.FileListWindow";

// The notices a list posts to itself: a reading is done; the list has been
// drawn, so a reading still going may hurry.
UINT ListingDoneMessage() {
    static const UINT message = RegisterWindowMessageW(L"Tavro.FileList.ListingDone");
    return message;
}

UINT HurryMessage() {
    static const UINT message = RegisterWindowMessageW(L"Tavro.FileList.Hurry");
    return message;
}

// The filter for a pattern: what the system cannot match on the bytes goes
// through the list's own wildcard test on the decoded name.
NameFilter FilterFor(const std::string& pattern) {
    return NameFilter(pattern, [&pattern]() -> NameFilter::Test {
        return [wide = WideName(pattern)](std::string_view name) {
            return WildcardMatches(wide, WideName(name));
        };
    });
}

// A name as the list shows it; ASCII reads the same in every encoding.
std::wstring NameText(const FileNames& names, int index) {
    const std::string_view name = names.at(index);
    return names.isAscii(index) ? std::wstring(name.begin(), name.end()) : WideName(name);
}

// The directory read ahead of its list box, until a box takes it or drops it.
// Stopped at the latest when the program ends.
struct ReadAheadListing {
    std::string path;
    std::string pattern;
    std::unique_ptr<DirectoryReader> reader;
};

ReadAheadListing& PendingReadAhead() {
    static ReadAheadListing ahead;
    return ahead;
}

bool IsMoveKey(WPARAM key) {
    switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
        return true;
    default:
        return false;
    }
}

} // namespace

void FileListWindow::ReadAhead(const std::string& path, const std::string& pattern) {
    ReadAheadListing& ahead = PendingReadAhead();
    ahead.reader.reset();
    Directory* handle = OpenDirectory(path, nullptr);
    if (!handle) {
        return;
    }
    std::unique_ptr<DirectoryReader> reader;
    try {
        reader = std::make_unique<DirectoryReader>(handle, FilterFor(pattern));
    } catch (const std::system_error&) {
        CloseDirectory(handle);
        return;
    }
    ahead = ReadAheadListing{path, pattern, std::move(reader)};
}

FileListWindow::FileListWindow(HWND parent, FileListBox* control) : control_(control) {
    // No LBS_SORT: the order is the reader's. The size is the design's, not
    // rounded to whole lines.
    window_ =
        MakeControl(L"LISTBOX", {}, WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                    WS_EX_CLIENTEDGE, parent, Kind::Other);
    if (!window_) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "the file list could not be made");
    }
    SetPropW(window_, ListProperty, this);
    listProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    SetCommandHandler(window_, [this](WORD notification) {
        if (notification == LBN_SELCHANGE) {
            selectionChanged();
        }
    });
}

FileListWindow::~FileListWindow() {
    // The control may be on its way out too: it hears of nothing from here on.
    control_ = nullptr;
    abandonListing();
    if (window_) {
        ForgetCommands(window_);
        if (GetWindowLongPtrW(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure)) {
            SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProcedure_));
        }
        RemovePropW(window_, ListProperty);
    }
}

LRESULT CALLBACK FileListWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* self = static_cast<FileListWindow*>(GetPropW(window, ListProperty));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The window goes before the control: the names stay, the window is
        // no longer touched.
        const WNDPROC list = self->listProcedure_;
        ForgetCommands(window);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(list));
        RemovePropW(window, ListProperty);
        self->window_ = nullptr;
        return CallWindowProcW(list, window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT FileListWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ListingDoneMessage()) {
        listingDone(static_cast<std::uint64_t>(wParam));
        return 0;
    }
    if (message == HurryMessage()) {
        hurryPosted_ = false;
        if (pending_) {
            pending_->hurry();
        }
        return 0;
    }
    switch (message) {
    case WM_PAINT: {
        const LRESULT result = CallWindowProcW(listProcedure_, window_, message, wParam, lParam);
        // Once the list has been drawn, a directory still being read may take
        // the program's full share of the machine; after this paint, so that
        // the reading does not compete with it.
        if (pending_ && !hurryPosted_) {
            hurryPosted_ = PostMessageW(window_, HurryMessage(), 0, 0) != 0;
        }
        return result;
    }
    case WM_SETFOCUS:
        // Focus makes the first name the one the keys move from.
        if (current_ < 0 && !names_.isEmpty()) {
            current_ = 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // A click below the last name changes nothing; Ctrl with a click
        // selects like the plain click.
        const int count = static_cast<int>(SendMessageW(window_, LB_GETCOUNT, 0, 0));
        const int top = static_cast<int>(SendMessageW(window_, LB_GETTOPINDEX, 0, 0));
        const int height = static_cast<int>(SendMessageW(window_, LB_GETITEMHEIGHT, 0, 0));
        const int y = static_cast<short>(HIWORD(lParam));
        if (height <= 0 || y < 0 || top + y / height >= count) {
            SetFocus(window_);
            return 0;
        }
        return keepingSelection(message, wParam & ~static_cast<WPARAM>(MK_CONTROL), lParam);
    }
    case WM_KEYDOWN:
        return keyDown(wParam, lParam);
    case WM_CHAR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return keepingSelection(message, wParam, lParam);
    default:
        break;
    }
    return CallWindowProcW(listProcedure_, window_, message, wParam, lParam);
}

LRESULT FileListWindow::keyDown(WPARAM key, LPARAM lParam) {
    const int count = static_cast<int>(SendMessageW(window_, LB_GETCOUNT, 0, 0));
    const bool none = SendMessageW(window_, LB_GETCURSEL, 0, 0) == LB_ERR;
    if (count > 0 && none && IsMoveKey(key)) {
        if (current_ < 0) {
            // With no current name yet, End goes to the last name and every
            // other move to the first.
            selectAsUser(key == VK_END ? count - 1 : 0);
            return 0;
        }
        SendMessageW(window_, LB_SETCARETINDEX, static_cast<WPARAM>(current_), FALSE);
    }
    if (key == VK_SPACE && count > 0 && current_ >= 0) {
        // Space, with Ctrl or without, selects the current name (and, as a
        // typed character, still searches).
        selectAsUser(current_ < count ? current_ : count - 1);
        return 0;
    }
    return keepingSelection(WM_KEYDOWN, key, lParam);
}

LRESULT FileListWindow::keepingSelection(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT before = SendMessageW(window_, LB_GETCURSEL, 0, 0);
    const LRESULT result = CallWindowProcW(listProcedure_, window_, message, wParam, lParam);
    if (!window_) {
        return result;
    }
    const LRESULT after = SendMessageW(window_, LB_GETCURSEL, 0, 0);
    if (after != LB_ERR) {
        current_ = static_cast<int>(after);
    } else if (before != LB_ERR && before < names_.size()) {
        // Once a file is selected the selection can move but never be emptied.
        SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(before), 0);
    }
    return result;
}

void FileListWindow::selectionChanged() {
    if (!window_) {
        return;
    }
    const LRESULT index = SendMessageW(window_, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) {
        selected_ = -1;
        return;
    }
    current_ = static_cast<int>(index);
    // Only a change of the selected file is a click.
    if (index != selected_) {
        selected_ = static_cast<int>(index);
        if (control_ && control_->Click) {
            control_->Click();
        }
    }
}

void FileListWindow::selectAsUser(int index) {
    if (window_) {
        SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    current_ = index;
    if (index != selected_) {
        selected_ = index;
        if (control_ && control_->Click) {
            control_->Click();
        }
    }
}

bool FileListWindow::setPath(const std::string& path, std::string* error) {
    path_ = path;
    return Refresh(error);
}

void FileListWindow::setPattern(const std::string& pattern) {
    pattern_ = pattern;
    if (!path_.empty()) {
        Refresh(nullptr);
    }
}

bool FileListWindow::Refresh(std::string* error) {
    abandonListing();
    // The old names go at once, so that nothing stale can be selected while
    // the directory is read.
    if (!names_.isEmpty()) {
        showNames({});
    }
    // Names read ahead for just this directory and pattern are taken over;
    // any others are of no more use.
    ReadAheadListing& ahead = PendingReadAhead();
    std::unique_ptr<DirectoryReader> reader = std::move(ahead.reader);
    if (reader && (ahead.path != path_ || ahead.pattern != pattern_)) {
        reader.reset();
    }
    if (reader) {
        const bool reading = reader->notifyWhenDone(noticeOf(++generation_));
        pending_ = std::move(reader);
        if (!reading) {
            settle();
        }
        return true;
    }

    // Opening is what fails for a missing or unreadable directory, so it is
    // done here, where the caller can be told.
    std::string text;
    Directory* handle = OpenDirectory(path_, &text);
    if (!handle) {
        if (error) {
            *error = text;
        }
        return false;
    }

    const std::uint64_t generation = ++generation_;
    try {
        pending_ =
            std::make_unique<DirectoryReader>(handle, FilterFor(pattern_), noticeOf(generation));
    } catch (const std::system_error&) {
        // No thread to be had: read the directory here instead.
        showNames(ReadMatchingNames(handle, FilterFor(pattern_)));
        CloseDirectory(handle);
    }
    return true;
}

std::function<void()> FileListWindow::noticeOf(std::uint64_t generation) {
    // The names go into the list on the window's thread. Posted to the list,
    // the notice is dropped if the window is gone by then; the reader is
    // stopped and waited for before this object goes.
    const HWND window = window_;
    const UINT message = ListingDoneMessage();
    return [window, message, generation] {
        PostMessageW(window, message, static_cast<WPARAM>(generation), 0);
    };
}

void FileListWindow::settle() {
    if (!pending_) {
        return;
    }
    const std::unique_ptr<DirectoryReader> reader = std::move(pending_);
    showNames(reader->take());
}

void FileListWindow::showNames(FileNames names) {
    names_ = std::move(names);
    selected_ = -1;
    current_ = -1;
    if (!window_) {
        return;
    }
    // A hundred thousand names go in with the drawing off and the room
    // claimed at once.
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(window_, LB_RESETCONTENT, 0, 0);
    const int count = names_.size();
    if (count > 0) {
        std::size_t bytes = 0;
        for (int i = 0; i < count; ++i) {
            bytes += (names_.at(i).size() + 1) * sizeof(wchar_t);
        }
        SendMessageW(window_, LB_INITSTORAGE, static_cast<WPARAM>(count),
                     static_cast<LPARAM>(bytes));
        for (int i = 0; i < count; ++i) {
            const std::wstring text = NameText(names_, i);
            SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, TRUE);
}

void FileListWindow::abandonListing() {
    // The reader stops and is waited for as it goes.
    pending_.reset();
}

void FileListWindow::listingDone(std::uint64_t generation) {
    // A notice from a reading since abandoned or already taken in is ignored.
    if (pending_ && generation == generation_) {
        settle();
    }
}

// The selection needs no waiting: while the directory is being read the list
// is empty, so nothing is selected.
std::string FileListWindow::FileName() const {
    const int index = ListIndex();
    return index >= 0 && index < names_.size() ? std::string(names_.at(index)) : std::string();
}

int FileListWindow::ListCount() {
    settle();
    return names_.size();
}

std::string FileListWindow::List(int index) {
    settle();
    return index >= 0 && index < names_.size() ? std::string(names_.at(index)) : std::string();
}

int FileListWindow::ListIndex() const {
    if (!window_) {
        return -1;
    }
    const LRESULT index = SendMessageW(window_, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void FileListWindow::setListIndex(int index) {
    settle();
    if (index < 0 || index >= names_.size()) {
        if (window_) {
            SendMessageW(window_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        }
        selected_ = -1;
        return;
    }
    selectAsUser(index);
}

} // namespace platform::forms::win32
