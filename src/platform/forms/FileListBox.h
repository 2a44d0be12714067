// The file list box: the names of the files in one directory that match a
// pattern, sorted without regard to case. A model/view list, so that a
// directory with a hundred thousand files stays quick.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>

namespace platform::forms {

class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void setNames(QStringList names);
    const QStringList& names() const { return names_; }

private:
    QStringList names_;
};

class FileListBox : public QListView {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent);

    QString Path() const { return path_; }
    // Lists the directory. On failure the list is empty, Path() still
    // names the directory, the reason goes to *error, and false is returned.
    bool setPath(const QString& path, QString* error = nullptr);
    QString Pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // Reads the directory again.
    bool Refresh(QString* error = nullptr);

    // The selected file's name without directory; empty when none is selected.
    QString FileName() const;
    int ListCount() const;
    QString List(int index) const;
    int ListIndex() const;
    void setListIndex(int index);

signals:
    // The user selected a file, with the mouse or the keyboard.
    void Click();

private:
    FileListModel model_;
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
};

// The names of the regular files in a directory that match a wildcard pattern
// (* and ?, case-insensitive), sorted case-insensitively.
bool ListMatchingFiles(const QString& directory, const QString& pattern, QStringList* names,
                       QString* error);

} // namespace platform::forms
