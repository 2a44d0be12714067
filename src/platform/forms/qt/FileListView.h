// The file list box over Qt: a model/view list, so that a directory with a
// hundred thousand files stays quick. The names are the file system's bytes;
// the list decodes them to show them.
#pragma once

#include "platform/system/directory_reader.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QListView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::forms {

class FileListBox;

namespace qt {

using platform::FileNames;

// A name as the list shows it: decoded as QFile decodes file names (a byte
// that is not UTF-8 shows as a replacement character).
QString NameText(const FileNames& names, int index);

// The names of the regular files in a directory that match a wildcard pattern
// (* and ?, case-insensitive), sorted case-insensitively, as the list shows
// them. Hidden files are left out. Reads the directory on the calling thread.
bool ListMatchingFiles(const QString& directory, const QString& pattern, QStringList* names,
                       QString* error);

class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void setNames(FileNames names);
    const FileNames& names() const { return names_; }

private:
    FileNames names_;
};

// The list behind a FileListBox; what its members do is told there. Raises
// the control's Click.
class FileListView : public QListView {
    Q_OBJECT
public:
    FileListView(QWidget* parent, FileListBox* control);
    ~FileListView() override;

    // The directory as the exact bytes of its name, which need not be UTF-8.
    QByteArray Path() const { return path_; }
    bool setPath(const QByteArray& path, QString* error = nullptr);
    QString Pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    bool Refresh(QString* error = nullptr);
    static void ReadAhead(const QByteArray& path, const QString& pattern);

    // The selected file's name without directory, as the file system has it
    // (what the list shows may differ where the name is not UTF-8); empty
    // when none is selected.
    QByteArray FileName() const;
    int ListCount() const;
    QByteArray List(int index) const;
    int ListIndex() const;
    void setListIndex(int index);

protected:
    // Once a file is selected the user can move the selection but never
    // empty it: a click below the last name changes nothing, and Ctrl with a
    // click or Space selects like the plain key or click.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    // With no current name yet, End goes to the last name at once (the
    // list view would first go to the first name, whatever the key).
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    // Once the list has been drawn, a directory still being read may take
    // the program's full share of the machine.
    void paintEvent(QPaintEvent* event) override;

private:
    // Waits for a directory still being read and puts its names in the list.
    void settle() const;
    // Stops a directory still being read, dropping what it found.
    void abandonListing();
    void listingDone(std::uint64_t generation);
    // What the reader of this generation runs when done: a notice to the list.
    std::function<void()> noticeOf(std::uint64_t generation);

    FileListBox* control_;
    mutable FileListModel model_;
    QByteArray path_;
    QString pattern_ = QStringLiteral("*.*");
    mutable std::unique_ptr<DirectoryReader> pending_;
    std::uint64_t generation_ = 0;
};

} // namespace qt

} // namespace platform::forms
