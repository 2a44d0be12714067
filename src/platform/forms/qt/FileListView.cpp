#include "platform/forms/qt/FileListView.h"

#include "platform/forms/FileListBox.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QTimer>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace platform::forms::qt {

using platform::CloseDirectory;
using platform::Directory;
using platform::DirectoryReader;
using platform::NameFilter;
using platform::OpenDirectory;
using platform::ReadMatchingNames;

namespace {

QByteArray Bytes(std::string_view name) {
    return QByteArray(name.data(), static_cast<qsizetype>(name.size()));
}

// The filter for a pattern: what the system cannot match on the bytes goes
// through a regex on the decoded name, without regard to case.
NameFilter FilterFor(const QString& pattern) {
    return NameFilter(pattern.toStdString(), [&pattern]() -> NameFilter::Test {
        QRegularExpression regex(QRegularExpression::wildcardToRegularExpression(
                                     pattern, QRegularExpression::UnanchoredWildcardConversion),
                                 QRegularExpression::CaseInsensitiveOption);
        regex.setPattern("^(?:" + regex.pattern() + ")$");
        return [regex](std::string_view name) {
            return regex.match(QFile::decodeName(Bytes(name))).hasMatch();
        };
    });
}

// Error text from the system, in the local 8-bit encoding.
void SetError(QString* error, const std::string& text) {
    if (error) {
        *error = QString::fromLocal8Bit(text);
    }
}

} // namespace

QString NameText(const FileNames& names, int index) {
    const std::string_view name = names.at(index);
    // ASCII reads the same in every file-name encoding; the rest goes through
    // the file-name decoder, as QFile would.
    return names.isAscii(index)
               ? QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()))
               : QFile::decodeName(Bytes(name));
}

bool ListMatchingFiles(const QString& directory, const QString& pattern, QStringList* names,
                       QString* error) {
    names->clear();
    std::string text;
    Directory* handle = OpenDirectory(QFile::encodeName(directory).toStdString(), &text);
    if (!handle) {
        SetError(error, text);
        return false;
    }
    const FileNames found = ReadMatchingNames(handle, FilterFor(pattern));
    CloseDirectory(handle);
    names->reserve(found.size());
    for (int i = 0; i < found.size(); ++i) {
        names->append(NameText(found, i));
    }
    return true;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : names_.size();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= names_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return NameText(names_, index.row());
    }
    return {};
}

void FileListModel::setNames(FileNames names) {
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

namespace {

// The directory read ahead of its list box, until a box takes it or drops it.
// Stopped at the latest when the program ends.
struct ReadAheadListing {
    QByteArray path;
    QString pattern;
    std::unique_ptr<DirectoryReader> reader;
};

ReadAheadListing& PendingReadAhead() {
    static ReadAheadListing ahead;
    return ahead;
}

} // namespace

void FileListView::ReadAhead(const QByteArray& path, const QString& pattern) {
    ReadAheadListing& ahead = PendingReadAhead();
    ahead.reader.reset();
    Directory* handle = OpenDirectory(path.toStdString(), nullptr);
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

FileListView::FileListView(QWidget* parent, FileListBox* control)
    : QListView(parent), control_(control) {
    setModel(&model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows of one height are laid out in one pass, 100,000 in about a
    // millisecond; laid out in batches, a key that moves beyond the rows laid
    // out so far (End in a list just filled) would lose the selection.
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Only a change of the selected file is a click: focus alone moves the
    // current item without selecting it, and must not count.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (!selected.isEmpty() && control_ && control_->Click) {
                    control_->Click();
                }
            });
}

QItemSelectionModel::SelectionFlags FileListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
    if (!index.isValid()) {
        return QItemSelectionModel::NoUpdate;
    }
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) {
        return QItemSelectionModel::ClearAndSelect;
    }
    return command;
}

QModelIndex FileListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveEnd && !currentIndex().isValid()) {
        const int rows = model_.rowCount();
        if (rows > 0) {
            return model_.index(rows - 1);
        }
    }
    return QListView::moveCursor(action, modifiers);
}

void FileListView::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (pending_) {
        // After this paint pass, so that the reading does not compete with it.
        QTimer::singleShot(0, this, [this] {
            if (pending_) {
                pending_->hurry();
            }
        });
    }
}

FileListView::~FileListView() {
    // The control may be on its way out too: it hears of nothing from here on.
    control_ = nullptr;
    abandonListing();
}

bool FileListView::setPath(const QByteArray& path, QString* error) {
    path_ = path;
    return Refresh(error);
}

void FileListView::setPattern(const QString& pattern) {
    pattern_ = pattern;
    if (!path_.isEmpty()) {
        Refresh();
    }
}

bool FileListView::Refresh(QString* error) {
    abandonListing();
    // The old names go at once, so that nothing stale can be selected while
    // the directory is read.
    if (!model_.names().isEmpty()) {
        model_.setNames({});
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
    Directory* handle = OpenDirectory(path_.toStdString(), &text);
    if (!handle) {
        SetError(error, text);
        return false;
    }

    const std::uint64_t generation = ++generation_;
    try {
        pending_ =
            std::make_unique<DirectoryReader>(handle, FilterFor(pattern_), noticeOf(generation));
    } catch (const std::system_error&) {
        // No thread to be had: read the directory here instead.
        model_.setNames(ReadMatchingNames(handle, FilterFor(pattern_)));
        CloseDirectory(handle);
    }
    return true;
}

std::function<void()> FileListView::noticeOf(std::uint64_t generation) {
    return [this, generation] {
        // The names go into the list on the GUI thread. Posted to this box,
        // the call is dropped if the box is gone by then.
        QMetaObject::invokeMethod(
            this, [this, generation] { listingDone(generation); }, Qt::QueuedConnection);
    };
}

void FileListView::settle() const {
    if (!pending_) {
        return;
    }
    const std::unique_ptr<DirectoryReader> reader = std::move(pending_);
    model_.setNames(reader->take());
}

void FileListView::abandonListing() {
    // The reader stops and is waited for as it goes.
    pending_.reset();
}

void FileListView::listingDone(std::uint64_t generation) {
    // A notice from a reading since abandoned or already taken in is ignored.
    if (pending_ && generation == generation_) {
        settle();
    }
}

// The selection needs no waiting: while the directory is being read the list
// is empty, and putting the names in resets it, so nothing is selected either
// way.
QByteArray FileListView::FileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QByteArray() : Bytes(model_.names().at(selected.first().row()));
}

int FileListView::ListCount() const {
    settle();
    return static_cast<int>(model_.names().size());
}

QByteArray FileListView::List(int index) const {
    settle();
    return index >= 0 && index < ListCount() ? Bytes(model_.names().at(index)) : QByteArray();
}

int FileListView::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileListView::setListIndex(int index) {
    settle();
    if (index < 0 || index >= ListCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
}

} // namespace platform::forms::qt
