// The file list box's members, over the Qt list behind it (FileListView.h).
#include "platform/forms/FileListBox.h"

#include "platform/forms/qt/FileListView.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/Text.h"

#include <QByteArray>
#include <QString>

namespace platform::forms {

namespace {

qt::FileListView* View(const FileListBox* box) {
    return qt::WidgetOf<qt::FileListView>(box);
}

} // namespace

FileListBox::FileListBox(Container* parent)
    : Control(parent,
              qt::ToNative(new qt::FileListView(qt::ToQt(parent->ContainerWidget()), this))) {}

FileListBox::~FileListBox() = default;

std::string FileListBox::Path() const {
    return View(this)->Path().toStdString();
}

bool FileListBox::setPath(const std::string& path, std::string* error) {
    QString text;
    return qt::Reported(View(this)->setPath(qt::Bytes(path), &text), text, error);
}

std::string FileListBox::Pattern() const {
    return View(this)->Pattern().toStdString();
}

void FileListBox::setPattern(const std::string& pattern) {
    View(this)->setPattern(QString::fromStdString(pattern));
}

bool FileListBox::Refresh(std::string* error) {
    QString text;
    return qt::Reported(View(this)->Refresh(&text), text, error);
}

void FileListBox::ReadAhead(const std::string& path, const std::string& pattern) {
    qt::FileListView::ReadAhead(qt::Bytes(path), QString::fromStdString(pattern));
}

std::string FileListBox::FileName() const {
    return View(this)->FileName().toStdString();
}

int FileListBox::ListCount() const {
    return View(this)->ListCount();
}

std::string FileListBox::List(int index) const {
    return View(this)->List(index).toStdString();
}

int FileListBox::ListIndex() const {
    return View(this)->ListIndex();
}

void FileListBox::setListIndex(int index) {
    View(this)->setListIndex(index);
}

} // namespace platform::forms
