#include "platform/forms/DirectoryReader.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
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
void SortOnByte(const Key* keys, std::size_t n, Key* sorted, unsigned shift,
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
void SortKeys(std::vector<Key>& keys, HeadCounts& counts, const ByFoldedName& less) {
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
            SortOnByte<&Key::head0>(from, n, to, shift, starts);
        } else {
            SortOnByte<&Key::head1>(from, n, to, shift, starts);
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
// batches.
class NameCollector {
public:
    NameCollector(DIR* directory, const QString& pattern)
        : matcher_(pattern), directory_(directory), fd_(::dirfd(directory)) {
        const std::size_t expected = ExpectedEntries(fd_);
        bytes_.reserve(expected * 16);
        keys_.reserve(expected);
    }

    // Reads on to the end of the directory (true), or until `pause` is found
    // set between two batches (false).
    bool read(const std::atomic<bool>* pause) {
        for (std::size_t seen = 1;; ++seen) {
            // Checked before an entry is read, so that none is lost when
            // another thread reads on.
            if (pause && seen % 1024 == 0 && pause->load(std::memory_order_relaxed)) {
                return false;
            }
            const dirent* entry = ::readdir(directory_);
            if (!entry) {
                break;
            }
            const char* name = entry->d_name;
            // Hidden files (and . and ..) are not listed, as a file list box hides them.
            if (name[0] == '.') {
                continue;
            }
            const std::size_t length = std::strlen(name);
            if (!matcher_.matches(name, length) || !IsRegularFile(fd_, entry)) {
                continue;
            }
            if (bytes_.size() + length > UINT32_MAX) {
                break; // 4 GiB of names: far beyond any real directory
            }
            keys_.push_back(MakeKey(name, length, static_cast<std::uint32_t>(bytes_.size())));
            counts_.add(keys_.back());
            bytes_.append(name, length);
        }
        return true;
    }

    // The names read, sorted.
    FileNames finish() {
        SortKeys(keys_, counts_, ByFoldedName{bytes_.data()});
        std::vector<FileNames::Span> spans;
        spans.reserve(keys_.size());
        for (const Key& key : keys_) {
            spans.push_back(key.span);
        }
        return FileNames(std::move(bytes_), std::move(spans));
    }

private:
    const NameMatcher matcher_;
    DIR* directory_;
    int fd_;
    std::string bytes_;
    std::vector<Key> keys_;
    HeadCounts counts_;
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
        // its core to it, and to the X server, whenever they want it. Whoever
        // has to wait for the names takes the reading over instead (take()).
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
        collector_ = std::make_unique<NameCollector>(directory_, pattern);
        if (!collector_->read(&pause_)) {
            return; // stopped, or handed over
        }
        FileNames names = collector_->finish();
        collector_.reset();
        ::closedir(directory_);
        directory_ = nullptr;
        const std::lock_guard<std::mutex> guard(lock_);
        names_ = std::move(names);
        done_ = true;
        if (finished_) {
            finished_();
        }
    });
}

DirectoryReader::~DirectoryReader() {
    if (worker_.joinable()) {
        pause_.store(true);
        worker_.join();
    }
    if (directory_) {
        ::closedir(directory_);
    }
}

bool DirectoryReader::notifyWhenDone(std::function<void()> finished) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (done_) {
        return false;
    }
    finished_ = std::move(finished);
    return true;
}

FileNames DirectoryReader::take() {
    if (worker_.joinable()) {
        // The worker stops at its next batch and this thread reads on.
        pause_.store(true);
        worker_.join();
    }
    if (!done_ && collector_) {
        collector_->read(nullptr);
        names_ = collector_->finish();
        collector_.reset();
        ::closedir(directory_);
        directory_ = nullptr;
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
