// The file list box: the names of the files in one directory that match a
// pattern, sorted without regard to case. A directory with a hundred thousand
// files stays quick: the system's DirectoryReader reads it on a worker thread
// so that the window can go on starting meanwhile. Paths and names are the
// file system's exact bytes, which need not be UTF-8; the list decodes them
// only to show them.
#pragma once

#include "platform/forms/Control.h"

#include <functional>
#include <string>

namespace platform::forms {

class FileListBox : public Control {
public:
    explicit FileListBox(Container* parent);
    ~FileListBox() override;

    std::string Path() const;
    // Lists the directory. A directory that cannot be opened is reported at
    // once: the list is empty, Path() still names the directory, the reason
    // goes to *error, and false is returned. Otherwise the entries are read
    // in the background; every accessor below waits for them, so callers see
    // the whole list as if it had been read here.
    bool setPath(const std::string& path, std::string* error = nullptr);
    std::string Pattern() const;
    // Wildcards * and ?, without regard to case; "*.*" lists every file.
    void setPattern(const std::string& pattern);
    // Reads the directory again.
    bool Refresh(std::string* error = nullptr);

    // Starts reading a directory before any list box exists (as the program
    // starts, while the rest of it loads). The first list box then set to
    // exactly this directory and pattern takes the names over instead of
    // reading again; any other setting drops them. A directory that cannot be
    // opened now is left for the list box to open and report.
    static void ReadAhead(const std::string& path, const std::string& pattern);

    // The selected file's name without directory, as the file system has it;
    // empty when none is selected.
    std::string FileName() const;
    int ListCount() const;
    std::string List(int index) const;
    int ListIndex() const;
    void setListIndex(int index);

    // The user selected a file, with the mouse or the keyboard, or code set
    // the selection.
    std::function<void()> Click;
};

} // namespace platform::forms
