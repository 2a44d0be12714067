// Directories read through opendir and readdir (getdents64), and the
// reading's worker threads with their POSIX priorities.
#include "platform/system/directory_reader.h"

#include "platform/system/name_order.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

using name_order::Key;
using name_order::MakeKey;
using name_order::MergeKeys;
using name_order::SortKeys;

namespace {

// A Directory is the DIR stream itself.
DIR* Stream(Directory* directory) {
    return reinterpret_cast<DIR*>(directory);
}

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
    NameCollector(DIR* directory, const NameFilter& filter)
        : filter_(filter), directory_(directory), fd_(::dirfd(directory)) {
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
            // An entry's offset is where the next one lies. Offsets are
            // only compared in a split directory: elsewhere they may be any
            // cookie the file system likes.
            const bool last = partEnd_ && static_cast<std::uint64_t>(entry->d_off) >= *partEnd_;
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
        auto upper = std::make_unique<NameCollector>(handle, filter_);
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
        MergeKeys(keys_.data(), keys_.size(), other.keys_.data(), other.keys_.size(), bytes_.data(),
                  spans.data());
        return FileNames(std::move(bytes_), std::move(spans));
    }

private:
    // A directory this big (by its size) is worth a second reader.
    static constexpr std::size_t SplitFrom = 8192;
    // Past the last offset of a directory read by its names' hashes.
    static constexpr std::uint64_t HashEnd = std::uint64_t{1} << 63;

    void sort() {
        if (!sorted_) {
            SortKeys(keys_, bytes_.data());
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
        if (!filter_.matches(name, length) || !IsRegularFile(fd_, entry)) {
            return true;
        }
        if (bytes_.size() + length > UINT32_MAX) {
            return false; // 4 GiB of names: far beyond any real directory
        }
        keys_.push_back(MakeKey(name, length, static_cast<std::uint32_t>(bytes_.size())));
        bytes_.append(name, length);
        return true;
    }

    const NameFilter filter_;
    DIR* directory_;
    int fd_;
    bool ownsDirectory_ = false;
    bool finished_ = false;
    bool sorted_ = false;
    std::optional<std::uint64_t> partEnd_; // the offset this part of a split reading ends at
    std::string bytes_;
    std::vector<Key> keys_;
};

FileNames ReadMatchingNames(Directory* directory, const NameFilter& filter,
                            const std::atomic<bool>* stop) {
    NameCollector names(Stream(directory), filter);
    if (!names.read(stop) || (stop && stop->load(std::memory_order_relaxed))) {
        return {};
    }
    return names.finish();
}

Directory* OpenDirectory(const std::string& path, std::string* error) {
    DIR* handle = ::opendir(path.c_str());
    if (!handle && error) {
        *error = std::strerror(errno);
    }
    return reinterpret_cast<Directory*>(handle);
}

void CloseDirectory(Directory* directory) {
    ::closedir(Stream(directory));
}

DirectoryReader::DirectoryReader(Directory* directory, NameFilter filter,
                                 std::function<void()> finished)
    : directory_(directory), finished_(std::move(finished)) {
    worker_ = std::thread([this, filter = std::move(filter)] {
        // The window being built and drawn comes first: the reading yields
        // its core to it, and to the X server, whenever they want it. Once
        // the window is up, hurry() moves the rest to a thread at the
        // program's own priority; whoever has to wait for the names takes
        // the reading over instead (take()).
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
        collector_ = std::make_unique<NameCollector>(Stream(directory_), filter);
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
        CloseDirectory(directory_);
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
    CloseDirectory(directory_);
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

} // namespace platform
