#include "platform/forms/FileListBox.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace platform::forms {

QByteArray FileNames::at(int index) const {
    const Span& span = spans_.at(static_cast<std::size_t>(index));
    return QByteArray(bytes_.data() + span.offset, static_cast<qsizetype>(span.length));
}

QString FileNames::text(int index) const {
    const Span& span = spans_.at(static_cast<std::size_t>(index));
    const char* name = bytes_.data() + span.offset;
    const auto length = static_cast<qsizetype>(span.length);
    // ASCII reads the same in every file-name encoding; the rest goes through
    // the file-name decoder, as QFile would.
    return span.ascii ? QString::fromLatin1(name, length)
                      : QFile::decodeName(QByteArray(name, length));
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : names_.size();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= names_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return names_.text(index.row());
    }
    return {};
}

void FileListModel::setNames(FileNames names) {
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

namespace {

unsigned char foldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// "*.drv" and the like are matched by comparing the suffix on the raw bytes,
// which keeps a directory of a hundred thousand drivers quick; other patterns
// (and suffixes beyond ASCII, whose case only Unicode knows) use a regex.
class NameMatcher {
public:
    explicit NameMatcher(const QString& pattern) {
        const QString p = pattern.isEmpty() ? QStringLiteral("*") : pattern;
        const QString rest = p.mid(1);
        if (p == "*" || p == "*.*") {
            all_ = true;
        } else if (p.startsWith("*.") && !rest.contains('*') && !rest.contains('?') &&
                   isAscii(rest)) {
            suffix_ = rest.toLatin1().toLower();
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
            if (length <= n) {
                return false;
            }
            const auto* tail = reinterpret_cast<const unsigned char*>(name + length - n);
            for (std::size_t i = 0; i < n; ++i) {
                if (foldAscii(tail[i]) != static_cast<unsigned char>(suffix_[i])) {
                    return false;
                }
            }
            return true;
        }
        return regex_.match(QFile::decodeName(QByteArray(name, static_cast<int>(length))))
            .hasMatch();
    }

private:
    bool all_ = false;
    QByteArray suffix_; // ASCII, lower case
    QRegularExpression regex_;
};

bool isRegularFile(int directory, const dirent* entry) {
    if (entry->d_type == DT_REG) {
        return true;
    }
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
        return false;
    }
    // Follows a link: a link to a regular file is listed, a dangling one is not.
    struct stat info {};
    return ::fstatat(directory, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

// A name's sort key: the first sixteen bytes of its case-folded form packed
// big-endian into two integers (zero-padded; names hold no zero byte), and
// where the name lies. Most names differ within those bytes, so the keys can
// be radix-sorted and only ties need the names themselves. Left
// uninitialised on purpose: the sort's scratch space is written before read.
struct Key {
    std::uint64_t head0;
    std::uint64_t head1;
    FileNames::Span span;
};

constexpr std::uint32_t HeadBytes = 16;
constexpr std::uint64_t EveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t HighBits = EveryByte * 0x80;

// Lower-cases the ASCII capitals among eight bytes at once, leaving every
// other byte as it is.
std::uint64_t foldAscii8(std::uint64_t bytes) {
    const std::uint64_t low = bytes & ~HighBits;
    const std::uint64_t fromA = (low + EveryByte * (0x80 - 'A')) & HighBits;
    const std::uint64_t pastZ = (low + EveryByte * (0x80 - 'Z' - 1)) & HighBits;
    const std::uint64_t capitals = fromA & ~pastZ & ~bytes;
    return bytes | (capitals >> 2); // 0x80 >> 2 is the case bit, 0x20
}

// Eight bytes as a number that orders like them.
std::uint64_t bigEndian(const unsigned char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        word = __builtin_bswap64(word);
    }
    return word;
}

Key makeKey(const char* name, std::size_t length, std::uint32_t offset) {
    unsigned char head[HeadBytes] = {};
    std::memcpy(head, name, std::min<std::size_t>(length, HeadBytes));
    const std::uint64_t word0 = bigEndian(head);
    const std::uint64_t word1 = bigEndian(head + 8);
    unsigned char rest = 0;
    for (std::size_t i = HeadBytes; i < length; ++i) {
        rest |= static_cast<unsigned char>(name[i]);
    }
    const bool ascii = ((word0 | word1) & HighBits) == 0 && rest < 0x80;
    return Key{foldAscii8(word0), foldAscii8(word1),
               FileNames::Span{offset, static_cast<std::uint16_t>(length), ascii}};
}

// Case-insensitive order: ASCII letters folded, every other byte as it is,
// a shorter name before a longer one it begins, and the exact bytes breaking
// ties so that the order never depends on the directory's.
struct ByFoldedName {
    const char* bytes;

    bool operator()(const Key& a, const Key& b) const {
        if (a.head0 != b.head0) {
            return a.head0 < b.head0;
        }
        if (a.head1 != b.head1) {
            return a.head1 < b.head1;
        }
        const auto* pa = reinterpret_cast<const unsigned char*>(bytes + a.span.offset);
        const auto* pb = reinterpret_cast<const unsigned char*>(bytes + b.span.offset);
        const std::uint32_t common = std::min(a.span.length, b.span.length);
        for (std::uint32_t i = HeadBytes; i < common; ++i) {
            const unsigned char fa = foldAscii(pa[i]);
            const unsigned char fb = foldAscii(pb[i]);
            if (fa != fb) {
                return fa < fb;
            }
        }
        if (a.span.length != b.span.length) {
            return a.span.length < b.span.length;
        }
        return std::memcmp(pa, pb, a.span.length) < 0;
    }
};

// How often each byte value occurs at each of the sixteen head positions.
class HeadCounts {
public:
    void add(const Key& key) {
        addWord(key.head0, counts_.data());
        addWord(key.head1, counts_.data() + 8);
    }
    std::array<std::size_t, 256>& at(std::uint32_t position) { return counts_[position]; }

private:
    static void addWord(std::uint64_t word, std::array<std::size_t, 256>* counts) {
#pragma GCC unroll 8
        for (unsigned i = 0; i < 8; ++i) {
            ++counts[i][(word >> (56 - 8 * i)) & 0xFFu];
        }
    }
    std::vector<std::array<std::size_t, 256>> counts_ =
        std::vector<std::array<std::size_t, 256>>(HeadBytes);
};

// One pass of the radix sort: a stable sort on one byte of the heads.
template <std::uint64_t Key::*Word>
void sortOnByte(const Key* keys, std::size_t n, Key* sorted, unsigned shift,
                std::array<std::size_t, 256>& starts) {
    std::size_t next = 0;
    for (std::size_t& start : starts) {
        next += std::exchange(start, next);
    }
    for (const Key* key = keys; key != keys + n; ++key) {
        sorted[starts[(key->*Word >> shift) & 0xFFu]++] = *key;
    }
}

// Sorts by the heads with a least-significant-byte-first radix sort, passing
// over the byte positions where every name has the same byte (such as a
// shared "game 0" or ".drv"), then puts each run of equal heads in order by
// the whole names.
void sortKeys(std::vector<Key>& keys, HeadCounts& counts, const ByFoldedName& less) {
    const std::size_t n = keys.size();
    if (n < 256) {
        std::sort(keys.begin(), keys.end(), less);
        return;
    }
    const auto scratch = std::make_unique_for_overwrite<Key[]>(n);
    Key* from = keys.data();
    Key* to = scratch.get();
    for (std::uint32_t position = HeadBytes; position-- > 0;) {
        std::array<std::size_t, 256>& starts = counts.at(position);
        const unsigned shift = 56 - 8 * (position % 8);
        const std::uint64_t word = position < 8 ? from->head0 : from->head1;
        if (starts[(word >> shift) & 0xFFu] == n) {
            continue;
        }
        if (position < 8) {
            sortOnByte<&Key::head0>(from, n, to, shift, starts);
        } else {
            sortOnByte<&Key::head1>(from, n, to, shift, starts);
        }
        std::swap(from, to);
    }
    if (from != keys.data()) {
        std::copy(from, from + n, keys.data());
    }
    for (std::size_t first = 0; first < n;) {
        std::size_t last = first + 1;
        while (last < n && keys[last].head0 == keys[first].head0 &&
               keys[last].head1 == keys[first].head1) {
            ++last;
        }
        if (last - first > 1) {
            std::sort(keys.begin() + static_cast<std::ptrdiff_t>(first),
                      keys.begin() + static_cast<std::ptrdiff_t>(last), less);
        }
        first = last;
    }
}

// Room for the names, guessed from the directory's size, so that the buffers
// need not grow (and be copied) while a big directory is read. Room not used
// is never touched, so a generous guess costs next to nothing.
std::size_t expectedEntries(int directory) {
    struct stat info {};
    if (::fstat(directory, &info) != 0 || info.st_size <= 0) {
        return 0;
    }
    // At least eight bytes per entry on the common file systems; capped, as a
    // directory that once held millions of files keeps its size.
    return std::min<std::size_t>(static_cast<std::size_t>(info.st_size) / 8, 1u << 20);
}

// Reads an open directory to its end and returns the names of the matching
// regular files, sorted. The names stay bytes throughout. Touches nothing but
// its arguments, so it may run on any thread; gives up with no names once
// *stop is set.
FileNames readMatchingNames(DIR* directory, const QString& pattern, const std::atomic<bool>* stop) {
    const NameMatcher matcher(pattern);
    const int fd = ::dirfd(directory);
    const std::size_t expected = expectedEntries(fd);
    std::string bytes;
    bytes.reserve(expected * 16);
    std::vector<Key> keys;
    keys.reserve(expected);
    HeadCounts counts;
    std::size_t seen = 0;
    while (const dirent* entry = ::readdir(directory)) {
        if (stop && (++seen % 1024) == 0 && stop->load(std::memory_order_relaxed)) {
            return {};
        }
        const char* name = entry->d_name;
        // Hidden files (and . and ..) are not listed, as a file list box hides them.
        if (name[0] == '.') {
            continue;
        }
        const std::size_t length = std::strlen(name);
        if (!matcher.matches(name, length) || !isRegularFile(fd, entry)) {
            continue;
        }
        if (bytes.size() + length > UINT32_MAX) {
            break; // 4 GiB of names: far beyond any real directory
        }
        keys.push_back(makeKey(name, length, static_cast<std::uint32_t>(bytes.size())));
        counts.add(keys.back());
        bytes.append(name, length);
    }
    if (stop && stop->load(std::memory_order_relaxed)) {
        return {};
    }
    sortKeys(keys, counts, ByFoldedName{bytes.data()});
    std::vector<FileNames::Span> spans;
    spans.reserve(keys.size());
    for (const Key& key : keys) {
        spans.push_back(key.span);
    }
    return FileNames(std::move(bytes), std::move(spans));
}

QString openError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool ListMatchingFiles(const QString& directory, const QString& pattern, QStringList* names,
                       QString* error) {
    names->clear();
    DIR* handle = ::opendir(QFile::encodeName(directory).constData());
    if (!handle) {
        if (error) {
            *error = openError();
        }
        return false;
    }
    const FileNames found = readMatchingNames(handle, pattern, nullptr);
    ::closedir(handle);
    names->reserve(found.size());
    for (int i = 0; i < found.size(); ++i) {
        names->append(found.text(i));
    }
    return true;
}

// A directory being read on a worker thread. The worker writes only `names`;
// the GUI thread reads them after join(), so they need no lock. Which box to
// tell when the names are ready may be settled after the worker started (a
// directory read ahead), so that and `done` go under the lock.
struct FileListBox::Listing {
    std::atomic<bool> stop{false};
    FileNames names;
    std::thread worker;
    std::mutex lock;
    bool done = false;
    FileListBox* owner = nullptr;
    std::uint64_t generation = 0;

    // Reads the open directory on a new thread; throws std::system_error
    // when no thread can be had.
    void start(DIR* handle, const QString& pattern) {
        worker = std::thread([this, handle, pattern] {
            names = readMatchingNames(handle, pattern, &stop);
            ::closedir(handle);
            const std::lock_guard<std::mutex> guard(lock);
            done = true;
            if (owner && !stop.load()) {
                // The names go into the list on the GUI thread. Posted to the
                // box, the call is dropped if the box is gone by then.
                FileListBox* box = owner;
                const std::uint64_t of = generation;
                QMetaObject::invokeMethod(
                    box, [box, of] { box->listingDone(of); }, Qt::QueuedConnection);
            }
        });
    }

    // Stops the worker, dropping what it found.
    ~Listing() {
        if (worker.joinable()) {
            stop.store(true);
            worker.join();
        }
    }
};

namespace {

// The directory read ahead of its list box, until a box takes it or drops it.
// Stopped at the latest when the program ends.
struct ReadAheadListing {
    QString path;
    QString pattern;
    std::unique_ptr<FileListBox::Listing> listing;
};

ReadAheadListing& readAhead() {
    static ReadAheadListing ahead;
    return ahead;
}

} // namespace

void FileListBox::ReadAhead(const QString& path, const QString& pattern) {
    ReadAheadListing& ahead = readAhead();
    ahead.listing.reset();
    DIR* handle = ::opendir(QFile::encodeName(path).constData());
    if (!handle) {
        return;
    }
    auto listing = std::make_unique<Listing>();
    try {
        listing->start(handle, pattern);
    } catch (const std::system_error&) {
        ::closedir(handle);
        return;
    }
    ahead = ReadAheadListing{path, pattern, std::move(listing)};
}

FileListBox::FileListBox(QWidget* parent) : QListView(parent) {
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
                if (!selected.isEmpty()) {
                    emit Click();
                }
            });
}

QItemSelectionModel::SelectionFlags FileListBox::selectionCommand(const QModelIndex& index,
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

QModelIndex FileListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveEnd && !currentIndex().isValid()) {
        const int rows = model_.rowCount();
        if (rows > 0) {
            return model_.index(rows - 1);
        }
    }
    return QListView::moveCursor(action, modifiers);
}

FileListBox::~FileListBox() {
    abandonListing();
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
    abandonListing();
    // The old names go at once, so that nothing stale can be selected while
    // the directory is read.
    if (!model_.names().isEmpty()) {
        model_.setNames({});
    }
    // Names read ahead for just this directory and pattern are taken over;
    // any others are of no more use.
    ReadAheadListing& ahead = readAhead();
    std::unique_ptr<Listing> listing = std::move(ahead.listing);
    if (listing && (ahead.path != path_ || ahead.pattern != pattern_)) {
        listing.reset();
    }
    if (listing) {
        std::unique_lock<std::mutex> guard(listing->lock);
        listing->generation = ++generation_;
        const bool done = listing->done;
        if (!done) {
            listing->owner = this;
        }
        guard.unlock();
        pending_ = std::move(listing);
        if (done) {
            settle();
        }
        return true;
    }

    // Opening is what fails for a missing or unreadable directory, so it is
    // done here, where the caller can be told.
    DIR* handle = ::opendir(QFile::encodeName(path_).constData());
    if (!handle) {
        if (error) {
            *error = openError();
        }
        return false;
    }

    listing = std::make_unique<Listing>();
    listing->generation = ++generation_;
    listing->owner = this;
    try {
        listing->start(handle, pattern_);
    } catch (const std::system_error&) {
        // No thread to be had: read the directory here instead.
        model_.setNames(readMatchingNames(handle, pattern_, nullptr));
        ::closedir(handle);
        return true;
    }
    pending_ = std::move(listing);
    return true;
}

void FileListBox::settle() const {
    if (!pending_) {
        return;
    }
    const std::unique_ptr<Listing> listing = std::move(pending_);
    listing->worker.join();
    model_.setNames(std::move(listing->names));
}

void FileListBox::abandonListing() {
    pending_.reset(); // stops the worker
}

void FileListBox::listingDone(std::uint64_t generation) {
    // A notice from a listing since abandoned or already taken in is ignored.
    if (pending_ && pending_->generation == generation) {
        settle();
    }
}

// The selection needs no waiting: while the directory is being read the list
// is empty, and putting the names in resets it, so nothing is selected either
// way.
QByteArray FileListBox::FileName() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QByteArray() : model_.names().at(selected.first().row());
}

int FileListBox::ListCount() const {
    settle();
    return static_cast<int>(model_.names().size());
}

QByteArray FileListBox::List(int index) const {
    settle();
    return index >= 0 && index < ListCount() ? model_.names().at(index) : QByteArray();
}

int FileListBox::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileListBox::setListIndex(int index) {
    settle();
    if (index < 0 || index >= ListCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
}

} // namespace platform::forms
