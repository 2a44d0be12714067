// The file list box's members, over the Win32 list behind it (FileListWindow.h).
#include "platform/forms/FileListBox.h"

#include "platform/forms/win32/FileListWindow.h"
#include "platform/forms/win32/Native.h"

#include <map>
#include <memory>

namespace platform::forms {

namespace {

using win32::FileListWindow;

// Each box's list, made before the box's Control part takes its window.
std::map<const FileListBox*, std::unique_ptr<FileListWindow>>& Lists() {
    static std::map<const FileListBox*, std::unique_ptr<FileListWindow>> lists;
    return lists;
}

native::Widget* MakeList(Container* parent, FileListBox* box) {
    auto list = std::make_unique<FileListWindow>(win32::ToHwnd(parent->ContainerWidget()), box);
    native::Widget* widget = win32::ToNative(list->Window());
    Lists()[box] = std::move(list);
    return widget;
}

FileListWindow* ListOf(const FileListBox* box) {
    return Lists().at(box).get();
}

} // namespace

FileListBox::FileListBox(Container* parent) : Control(parent, MakeList(parent, this)) {}

FileListBox::~FileListBox() {
    Lists().erase(this);
}

std::string FileListBox::Path() const {
    return ListOf(this)->Path();
}

bool FileListBox::setPath(const std::string& path, std::string* error) {
    return ListOf(this)->setPath(path, error);
}

std::string FileListBox::Pattern() const {
    return ListOf(this)->Pattern();
}

void FileListBox::setPattern(const std::string& pattern) {
    ListOf(this)->setPattern(pattern);
}

bool FileListBox::Refresh(std::string* error) {
    return ListOf(this)->Refresh(error);
}

void FileListBox::ReadAhead(const std::string& path, const std::string& pattern) {
    FileListWindow::ReadAhead(path, pattern);
}

std::string FileListBox::FileName() const {
    return ListOf(this)->FileName();
}

int FileListBox::ListCount() const {
    return ListOf(this)->ListCount();
}

std::string FileListBox::List(int index) const {
    return ListOf(this)->List(index);
}

int FileListBox::ListIndex() const {
    return ListOf(this)->ListIndex();
}

void FileListBox::setListIndex(int index) {
    ListOf(this)->setListIndex(index);
}

} // namespace platform::forms
