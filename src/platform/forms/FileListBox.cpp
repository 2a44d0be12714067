#include "platform/forms/FileListBox.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace platform::forms {

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= names_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return names_.at(index.row());
    }
    return {};
}

void FileListModel::setNames(QStringList names) {
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

namespace {

// "*.drv" and the like are matched by comparing the suffix, which keeps a
// directory of a hundred thousand drivers quick; other patterns use a regex.
class NameMatcher {
public:
    explicit NameMatcher(const QString& pattern) {
        const QString p = pattern.isEmpty() ? QStringLiteral("*") : pattern;
        if (p == "*" || p == "*.*") {
            all_ = true;
        } else if (p.startsWith("*.") && !p.mid(1).contains('*') && !p.mid(1).contains('?')) {
            suffix_ = p.mid(1).toUtf8().toLower();
        } else {
            regex_ = QRegularExpression(QRegularExpression::wildcardToRegularExpression(
                                            p, QRegularExpression::UnanchoredWildcardConversion),
                                        QRegularExpression::CaseInsensitiveOption);
            regex_.setPattern("^(?:" + regex_.pattern() + ")$");
        }
    }

    bool matches(const char* name, std::size_t length) const {
        if (all_) {
            return true;
        }
        if (!suffix_.isEmpty()) {
            const auto n = static_cast<std::size_t>(suffix_.size());
            return length > n && strncasecmp(name + length - n, suffix_.constData(), n) == 0;
        }
        return regex_.match(QFile::decodeName(QByteArray(name, static_cast<int>(length))))
            .hasMatch();
    }

private:
    bool all_ = false;
    QByteArray suffix_;
    QRegularExpression regex_;
};

bool isRegularFile(const QByteArray& dir, const dirent* entry) {
    if (entry->d_type == DT_REG) {
        return true;
    }
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat info {};
    const QByteArray full = dir + '/' + entry->d_name;
    return ::stat(full.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

bool ListMatchingFiles(const QString& directory, const QString& pattern, QStringList* names,
                       QString* error) {
    names->clear();
    const QByteArray dir = QFile::encodeName(directory);
    std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.constData()), &::closedir);
    if (!handle) {
        if (error) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
        }
        return false;
    }
    const NameMatcher matcher(pattern);
    // Sort on case-folded keys computed once, the exact name breaking ties.
    std::vector<std::pair<QString, QString>> entries;
    while (const dirent* entry = ::readdir(handle.get())) {
        const std::size_t length = std::strlen(entry->d_name);
        // Hidden files (and . and ..) are not listed, as a file list box hides them.
        if (entry->d_name[0] == '.' || !matcher.matches(entry->d_name, length)) {
            continue;
        }
        if (!isRegularFile(dir, entry)) {
            continue;
        }
        QString name = QFile::decodeName(entry->d_name);
        QString key = name.toCaseFolded();
        entries.emplace_back(std::move(key), std::move(name));
    }
    std::sort(entries.begin(), entries.end());
    names->reserve(static_cast<qsizetype>(entries.size()));
    for (auto& entry : entries) {
        names->append(std::move(entry.second));
    }
    return true;
}

FileListBox::FileListBox(QWidget* parent) : QListView(parent) {
    setModel(&model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Only a change of the selected file is a click: focus alone moves the
    // current item without selecting it, and must not count.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (!selected.isEmpty()) {
                    emit Click();
                }
            });
}

bool FileListBox::setPath(const QString& path, QString* error) {
    path_ = path;
    return Refresh(error);
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    if (!path_.isEmpty()) {
        Refresh();
    }
}

bool FileListBox::Refresh(QString* error) {
    QStringList names;
    const bool ok = ListMatchingFiles(path_, pattern_, &names, error);
    model_.setNames(std::move(names));
    return ok;
}

QString FileListBox::FileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : model_.names().at(selected.first().row());
}

int FileListBox::ListCount() const {
    return static_cast<int>(model_.names().size());
}

QString FileListBox::List(int index) const {
    return index >= 0 && index < ListCount() ? model_.names().at(index) : QString();
}

int FileListBox::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileListBox::setListIndex(int index) {
    if (index < 0 || index >= ListCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
}

} // namespace platform::forms
