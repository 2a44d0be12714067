#include "platform/forms/DirectoryReader.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <linux/magic.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>
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

namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool IsAscii(const QString& text) {
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
                   IsAscii(rest)) {
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
                if (FoldAscii(tail[i]) != static_cast<unsigned char>(suffix_[i])) {
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

bool IsRegularFile(int directory, const dirent* entry) {
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
std::uint64_t FoldAscii8(std::uint64_t bytes) {
    const std::uint64_t low = bytes & ~HighBits;
    const std::uint64_t fromA = (low + EveryByte * (0x80 - 'A')) & HighBits;
    const std::uint64_t pastZ = (low + EveryByte * (0x80 - 'Z' - 1)) & HighBits;
    const std::uint64_t capitals = fromA & ~pastZ & ~bytes;
    return bytes | (capitals >> 2); // 0x80 >> 2 is the case bit, 0x20
}

// Eight bytes as a number that orders like them.
std::uint64_t BigEndian(const unsigned char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        word = __builtin_bswap64(word);
    }
    return word;
}

Key MakeKey(const char* name, std::size_t length, std::uint32_t offset) {
    unsigned char head[HeadBytes] = {};
    std::memcpy(head, name, std::min<std::size_t>(length, HeadBytes));
    const std::uint64_t word0 = BigEndian(head);
    const std::uint64_t word1 = BigEndian(head + 8);
    unsigned char rest = 0;
    for (std::size_t i = HeadBytes; i < length; ++i) {
        rest |= static_cast<unsigned char>(name[i]);
    }
    const bool ascii = ((word0 | word1) & HighBits) == 0 && rest < 0x80;
    return Key{FoldAscii8(word0), FoldAscii8(word1),
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
            const unsigned char fa = FoldAscii(pa[i]);
            const unsigned char fb = FoldAscii(pb[i]);
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

// The byte of a key's head at `position` (0 to 15).
unsigned HeadByte(const Key& key, std::uint32_t position) {
    const std::uint64_t word = position < 8 ? key.head0 : key.head1;
    return static_cast<unsigned>(word >> (56 - 8 * (position % 8))) & 0xFFu;
}

// Runs this short are put in order by comparing the names.
constexpr std::size_t ShortRun = 32;

// The first head position, from `position` on, at which the keys differ;
// HeadBytes when their heads are all the same.
std::uint32_t FirstDifference(const Key* keys, std::size_t n, std::uint32_t position) {
    std::uint64_t differ0 = 0;
    std::uint64_t differ1 = 0;
    for (const Key* key = keys; key != keys + n; ++key) {
        differ0 |= key->head0 ^ keys->head0;
        differ1 |= key->head1 ^ keys->head1;
    }
    const std::uint32_t first =
        differ0 != 0   ? static_cast<std::uint32_t>(std::countl_zero(differ0)) / 8
        : differ1 != 0 ? 8 + static_cast<std::uint32_t>(std::countl_zero(differ1)) / 8
                       : HeadBytes;
    return std::max(first, position);
}

// Sorts the n keys at `from` on their heads from byte `position` on, most
// significant byte first: a pass puts them in buckets by their first byte
// that differs, into `to` (room as long), and each bucket is sorted from
// there on the next byte, the two arrays trading places at each level.
// Names that lead to the same heads, and short runs, are put in order by
// the whole names. The result ends in `from` when `resultInFrom`, else in
// `to`.
void SortKeysFrom(Key* from, Key* to, std::size_t n, std::uint32_t position, bool resultInFrom,
                  const ByFoldedName& less) {
    if (n > ShortRun) {
        position = FirstDifference(from, n, position);
    }
    if (n <= ShortRun || position >= HeadBytes) {
        std::sort(from, from + n, less);
        if (!resultInFrom) {
            std::copy(from, from + n, to);
        }
        return;
    }
    std::array<std::size_t, 256> counts{};
    for (const Key* key = from; key != from + n; ++key) {
        ++counts[HeadByte(*key, position)];
    }
    std::array<std::size_t, 256> starts{};
    std::size_t next = 0;
    for (unsigned b = 0; b < 256; ++b) {
        starts[b] = next;
        next += counts[b];
    }
    for (const Key* key = from; key != from + n; ++key) {
        to[starts[HeadByte(*key, position)]++] = *key;
    }
    std::size_t first = 0;
    for (const std::size_t count : counts) {
        if (count > 0) {
            SortKeysFrom(to + first, from + first, count, position + 1, !resultInFrom, less);
        }
        first += count;
    }
}

void SortKeys(std::vector<Key>& keys, const ByFoldedName& less) {
    const auto scratch = std::make_unique_for_overwrite<Key[]>(keys.size());
    SortKeysFrom(keys.data(), scratch.get(), keys.size(), 0, true, less);
}

// Writes where each merged key's name lies, which is all the list keeps.
struct SpanWriter {
    using iterator_category = std::output_iterator_tag;
    using value_type = void;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = void;

    FileNames::Span* next;
    SpanWriter& operator=(const Key& key) {
        *next++ = key.span;
        return *this;
    }
    SpanWriter& operator*() { return *this; }
    SpanWriter& operator++() { return *this; }
    SpanWriter& operator++(int) { return *this; }
};

// Merges two sorted runs of keys into the spans at `out`. A long merge is cut
// in two at the middle of the output and the halves merged side by side, the
// second on a thread of its own (when one can be had).
void MergeTwo(const Key* a, std::size_t aLength, const Key* b, std::size_t bLength,
              FileNames::Span* out, const ByFoldedName& less) {
    constexpr std::size_t SideBySideFrom = 32768;
    const std::size_t half = (aLength + bLength) / 2;
    std::thread second;
    if (aLength + bLength >= SideBySideFrom) {
        // The first `half` keys of the merge are a[0, i) and b[0, half - i)
        // for the i at which the two runs cross.
        std::size_t low = half > bLength ? half - bLength : 0;
        std::size_t high = std::min(half, aLength);
        while (low < high) {
            const std::size_t i = low + (high - low) / 2;
            if (less(b[half - i - 1], a[i])) {
                high = i;
            } else {
                low = i + 1;
            }
        }
        const std::size_t i = low;
        const std::size_t j = half - i;
        try {
            second = std::thread([=] {
                std::merge(a + i, a + aLength, b + j, b + bLength, SpanWriter{out + half}, less);
            });
            aLength = i;
            bLength = j;
        } catch (const std::system_error&) {
            // Merged here in one go.
        }
    }
    std::merge(a, a + aLength, b, b + bLength, SpanWriter{out}, less);
    if (second.joinable()) {
        second.join();
    }
}

// Room for the names, guessed from the directory's size, so that the buffers
// need not grow (and be copied) while a big directory is read. Room not used
// is never touched, so a generous guess costs next to nothing.
std::size_t ExpectedEntries(int directory) {
    struct stat info {};
    if (::fstat(directory, &info) != 0 || info.st_size <= 0) {
        return 0;
    }
    // At least eight bytes per entry on the common file systems; capped, as a
    // directory that once held millions of files keeps its size.
    return std::min<std::size_t>(static_cast<std::size_t>(info.st_size) / 8, 1u << 20);
}

} // namespace

// The matching names of one directory, read a batch of entries at a time so
// that a reading can stop, or pass from one thread to another, between
// batches. A big directory may be split in two parts read side by side.
class NameCollector {
public:
    NameCollector(DIR* directory, const QString& pattern)
        : pattern_(pattern), matcher_(pattern), directory_(directory), fd_(::dirfd(directory)) {
        const std::size_t expected = ExpectedEntries(fd_);
        bytes_.reserve(expected * 16);
        keys_.reserve(expected);
    }

    ~NameCollector() {
        if (ownsDirectory_) {
            ::closedir(directory_);
        }
    }

    NameCollector(const NameCollector&) = delete;
    NameCollector& operator=(const NameCollector&) = delete;

    // Reads on to the end of the directory, or of this collector's part of
    // it (true), or until `pause` is found set between two batches (false).
    bool read(const std::atomic<bool>* pause) {
        for (std::size_t seen = 1; !finished_; ++seen) {
            // Checked before an entry is read, so that none is lost when
            // another thread reads on.
            if (pause && seen % 1024 == 0 && pause->load(std::memory_order_relaxed)) {
                return false;
            }
            const dirent* entry = ::readdir(directory_);
            if (!entry) {
                finished_ = true;
                break;
            }
            // An entry's offset is where the next one lies.
            const bool last = static_cast<std::uint64_t>(entry->d_off) >= partEnd_;
            if (!collect(entry) || last) {
                finished_ = true;
            }
        }
        // Each part is sorted by the thread that read it.
        sort();
        return true;
    }

    // Splits what is left to read of a big directory on ext2, ext3 or ext4,
    // whose indexed directories are read in the order of the names' hashes,
    // with offsets that are those hashes, spread evenly below 2^63: this
    // collector keeps the lower half of the offsets left, and the one
    // returned reads the upper half from a handle of its own. Nothing, and
    // no split, for other file systems, small directories and on any error.
    // A directory read in file order has offsets far below the split and
    // refuses the seek to it, so it is never split.
    std::unique_ptr<NameCollector> splitOff() {
        struct statfs fileSystem {};
        if (finished_ || ExpectedEntries(fd_) < SplitFrom || ::fstatfs(fd_, &fileSystem) != 0 ||
            fileSystem.f_type != EXT4_SUPER_MAGIC) {
            return nullptr;
        }
        // Where the next entry lies: every entry from there on is still to read.
        const long next = ::telldir(directory_);
        if (next < 0 || static_cast<std::uint64_t>(next) >= HashEnd) {
            return nullptr;
        }
        const auto from = static_cast<std::uint64_t>(next);
        const std::uint64_t split = from + (HashEnd - from) / 2;
        const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        DIR* handle = nullptr;
        if (::lseek(fd, static_cast<off_t>(split), SEEK_SET) != static_cast<off_t>(split) ||
            !(handle = ::fdopendir(fd))) {
            ::close(fd);
            return nullptr;
        }
        auto upper = std::make_unique<NameCollector>(handle, pattern_);
        upper->ownsDirectory_ = true;
        partEnd_ = split;
        return upper;
    }

    // The names read, sorted.
    FileNames finish() {
        sort();
        std::vector<FileNames::Span> spans;
        spans.reserve(keys_.size());
        for (const Key& key : keys_) {
            spans.push_back(key.span);
        }
        return FileNames(std::move(bytes_), std::move(spans));
    }

    // The names read by this collector and by another, which read the other
    // part of the directory, sorted together.
    FileNames finishWith(NameCollector& other) {
        sort();
        other.sort();
        if (bytes_.size() + other.bytes_.size() > UINT32_MAX) {
            return finish(); // 4 GiB of names: far beyond any real directory
        }
        const auto shift = static_cast<std::uint32_t>(bytes_.size());
        bytes_.append(other.bytes_);
        for (Key& key : other.keys_) {
            key.span.offset += shift;
        }
        std::vector<FileNames::Span> spans(keys_.size() + other.keys_.size());
        MergeTwo(keys_.data(), keys_.size(), other.keys_.data(), other.keys_.size(), spans.data(),
                 ByFoldedName{bytes_.data()});
        return FileNames(std::move(bytes_), std::move(spans));
    }

private:
    // A directory this big (by its size) is worth a second reader.
    static constexpr std::size_t SplitFrom = 8192;
    // Past the last offset of a directory read by its names' hashes.
    static constexpr std::uint64_t HashEnd = std::uint64_t{1} << 63;

    void sort() {
        if (!sorted_) {
            SortKeys(keys_, ByFoldedName{bytes_.data()});
            sorted_ = true;
        }
    }

    // Keeps one entry if it is listed; false when no more can be kept.
    bool collect(const dirent* entry) {
        const char* name = entry->d_name;
        // Hidden files (and . and ..) are not listed, as a file list box hides them.
        if (name[0] == '.') {
            return true;
        }
        const std::size_t length = std::strlen(name);
        if (!matcher_.matches(name, length) || !IsRegularFile(fd_, entry)) {
            return true;
        }
        if (bytes_.size() + length > UINT32_MAX) {
            return false; // 4 GiB of names: far beyond any real directory
        }
        keys_.push_back(MakeKey(name, length, static_cast<std::uint32_t>(bytes_.size())));
        bytes_.append(name, length);
        return true;
    }

    const QString pattern_;
    const NameMatcher matcher_;
    DIR* directory_;
    int fd_;
    bool ownsDirectory_ = false;
    bool finished_ = false;
    bool sorted_ = false;
    std::uint64_t partEnd_ = UINT64_MAX; // the offset this collector's part ends at
    std::string bytes_;
    std::vector<Key> keys_;
};

FileNames ReadMatchingNames(DIR* directory, const QString& pattern, const std::atomic<bool>* stop) {
    NameCollector names(directory, pattern);
    if (!names.read(stop) || (stop && stop->load(std::memory_order_relaxed))) {
        return {};
    }
    return names.finish();
}

DIR* OpenDirectory(const QString& path, QString* error) {
    DIR* handle = ::opendir(QFile::encodeName(path).constData());
    if (!handle && error) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
    }
    return handle;
}

DirectoryReader::DirectoryReader(DIR* directory, QString pattern, std::function<void()> finished)
    : directory_(directory), finished_(std::move(finished)) {
    worker_ = std::thread([this, pattern = std::move(pattern)] {
        // The window being built and drawn comes first: the reading yields
        // its core to it, and to the X server, whenever they want it. Once
        // the window is up, hurry() moves the rest to a thread at the
        // program's own priority; whoever has to wait for the names takes
        // the reading over instead (take()).
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
        collector_ = std::make_unique<NameCollector>(directory_, pattern);
        if (collector_->read(&pause_)) {
            publish();
        }
    });
}

DirectoryReader::~DirectoryReader() {
    if (worker_.joinable()) {
        stop_.store(true);
        pause_.store(true);
        worker_.join();
    }
    if (directory_) {
        ::closedir(directory_);
    }
}

void DirectoryReader::publish() {
    FileNames names = collectNames();
    const std::lock_guard<std::mutex> guard(lock_);
    names_ = std::move(names);
    done_ = true;
    if (finished_) {
        finished_();
    }
}

FileNames DirectoryReader::collectNames() {
    FileNames names = upper_ ? collector_->finishWith(*upper_) : collector_->finish();
    upper_.reset();
    collector_.reset();
    ::closedir(directory_);
    directory_ = nullptr;
    return names;
}

bool DirectoryReader::notifyWhenDone(std::function<void()> finished) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (done_) {
        return false;
    }
    finished_ = std::move(finished);
    return true;
}

void DirectoryReader::hurry() {
    if (hurried_ || !worker_.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (done_) {
            return;
        }
    }
    hurried_ = true;
    // A thread started here has the program's priority, which the
    // low-priority worker cannot take back. It waits for the worker's next
    // batch, so this thread never does.
    slowWorker_ = std::move(worker_);
    try {
        worker_ = std::thread([this] { readOnHurried(); });
    } catch (const std::system_error&) {
        // No thread to be had: the worker reads on at its own pace.
        worker_ = std::move(slowWorker_);
    }
}

void DirectoryReader::readOnHurried() {
    pause_.store(true);
    slowWorker_.join();
    // Stopped or taken over meanwhile, or read to the end already.
    if (stop_.load() || !collector_) {
        return;
    }
    // What is left of a big directory is read in two parts side by side.
    std::thread upperReader;
    upper_ = collector_->splitOff();
    if (upper_) {
        try {
            upperReader = std::thread([this] { upper_->read(&stop_); });
        } catch (const std::system_error&) {
            // This thread reads that part too, after its own.
        }
    }
    const bool lowerRead = collector_->read(&stop_);
    if (upperReader.joinable()) {
        upperReader.join();
    }
    if (lowerRead && (!upper_ || upper_->read(&stop_))) {
        publish();
    }
}

FileNames DirectoryReader::take() {
    if (worker_.joinable()) {
        // The readers stop at their next batch and this thread reads on.
        stop_.store(true);
        pause_.store(true);
        worker_.join();
    }
    if (!done_ && collector_) {
        collector_->read(nullptr);
        if (upper_) {
            upper_->read(nullptr);
        }
        names_ = collectNames();
        done_ = true;
    }
    return std::move(names_);
}

bool ListMatchingFiles(const QString& directory, const QString& pattern, QStringList* names,
                       QString* error) {
    names->clear();
    DIR* handle = OpenDirectory(directory, error);
    if (!handle) {
        return false;
    }
    const FileNames found = ReadMatchingNames(handle, pattern);
    ::closedir(handle);
    names->reserve(found.size());
    for (int i = 0; i < found.size(); ++i) {
        names->append(found.text(i));
    }
    return true;
}

} // namespace platform::forms
