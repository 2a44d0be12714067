// The file list box over Win32: a LISTBOX filled from the system's directory
// reader, in the reader's order. The names are the file system's bytes (WTF-8
// on Windows); the list turns them into UTF-16 only to show them.
#pragma once

#include "platform/system/directory_reader.h"
#include "platform/win32.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::forms {

class FileListBox;

namespace win32 {

// Whether a name matches a wildcard pattern (* and ?, and [...] sets as the
// Linux list takes them), without regard to case. For the patterns the
// system's NameFilter does not match on the bytes.
bool WildcardMatches(const std::wstring& pattern, const std::wstring& name);

// The list behind a FileListBox; what its members do is told there. Raises
// the control's Click.
class FileListWindow {
public:
    FileListWindow(HWND parent, FileListBox* control);
    ~FileListWindow();
    FileListWindow(const FileListWindow&) = delete;
    FileListWindow& operator=(const FileListWindow&) = delete;

    HWND Window() const { return window_; }

    const std::string& Path() const { return path_; }
    bool setPath(const std::string& path, std::string* error);
    const std::string& Pattern() const { return pattern_; }
    void setPattern(const std::string& pattern);
    bool Refresh(std::string* error);
    static void ReadAhead(const std::string& path, const std::string& pattern);

    std::string FileName() const;
    int ListCount();
    std::string List(int index);
    int ListIndex() const;
    void setListIndex(int index);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT keyDown(WPARAM key, LPARAM lParam);
    // The list's own handling of a message from the user, after which a
    // selection once made is never empty.
    LRESULT keepingSelection(UINT message, WPARAM wParam, LPARAM lParam);
    void selectionChanged();
    // Selects a name as the user would, raising Click when it is new.
    void selectAsUser(int index);

    // Waits for a directory still being read and puts its names in the list.
    void settle();
    void showNames(FileNames names);
    // Stops a directory still being read, dropping what it found.
    void abandonListing();
    void listingDone(std::uint64_t generation);
    // What the reader of this generation runs when done: a notice to the list.
    std::function<void()> noticeOf(std::uint64_t generation);

    HWND window_ = nullptr;
    WNDPROC listProcedure_ = nullptr;
    FileListBox* control_;
    FileNames names_;
    std::string path_;
    std::string pattern_ = "*.*";
    std::unique_ptr<DirectoryReader> pending_;
    std::uint64_t generation_ = 0;
    int selected_ = -1; // the name last selected, to raise Click once a change
    int current_ = -1;  // where the keys move from, once there is such a name
    bool hurryPosted_ = false;
};

} // namespace win32

} // namespace platform::forms
