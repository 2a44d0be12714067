// The directory reader on POSIX: directories read through opendir and
// readdir (getdents64), a big one on ext4 in two parts side by side, and the
// reading's worker at the lowest priority.
#include "platform/system/directory_reader.h"

#include "platform/system/name_collector.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
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
#include <unistd.h>

namespace platform {

namespace {

// A Directory is the DIR stream itself.
DIR* Stream(Directory* directory) {
    return reinterpret_cast<DIR*>(directory);
}

// A directory this big (by its size) is worth a second reader.
constexpr std::size_t SplitFrom = 8192;
// Past the last offset of a directory read by its names' hashes.
constexpr std::uint64_t HashEnd = std::uint64_t{1} << 63;

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

struct NameCollector::Source {
    DIR* stream;
    int fd;
    bool ownsStream = false;              // the second part's own handle
    std::optional<std::uint64_t> partEnd; // the offset this part of a split reading ends at

    ~Source() {
        if (ownsStream) {
            ::closedir(stream);
        }
    }
};

NameCollector::NameCollector(Directory* directory, const NameFilter& filter)
    : filter_(filter),
      source_(std::make_unique<Source>(Stream(directory), ::dirfd(Stream(directory)))) {
    const std::size_t expected = ExpectedEntries(source_->fd);
    bytes_.reserve(expected * 16);
    keys_.reserve(expected);
}

NameCollector::~NameCollector() = default;

bool NameCollector::read(const std::atomic<bool>* pause) {
    for (std::size_t seen = 1; !finished_; ++seen) {
        // Checked before an entry is read, so that none is lost when
        // another thread reads on.
        if (pause && seen % 1024 == 0 && pause->load(std::memory_order_relaxed)) {
            return false;
        }
        const dirent* entry = ::readdir(source_->stream);
        if (!entry) {
            finished_ = true;
            break;
        }
        // An entry's offset is where the next one lies. Offsets are
        // only compared in a split directory: elsewhere they may be any
        // cookie the file system likes.
        const bool last =
            source_->partEnd && static_cast<std::uint64_t>(entry->d_off) >= *source_->partEnd;
        const char* name = entry->d_name;
        // Hidden files (and . and ..) are not listed, as a file list box hides them.
        if (name[0] != '.') {
            const std::size_t length = std::strlen(name);
            if (filter_.matches(name, length) && IsRegularFile(source_->fd, entry) &&
                !keep(name, length)) {
                finished_ = true; // no more can be kept
            }
        }
        if (last) {
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
std::unique_ptr<NameCollector> NameCollector::splitOff() {
    struct statfs fileSystem {};
    if (finished_ || ExpectedEntries(source_->fd) < SplitFrom ||
        ::fstatfs(source_->fd, &fileSystem) != 0 || fileSystem.f_type != EXT4_SUPER_MAGIC) {
        return nullptr;
    }
    // Where the next entry lies: every entry from there on is still to read.
    const long next = ::telldir(source_->stream);
    if (next < 0 || static_cast<std::uint64_t>(next) >= HashEnd) {
        return nullptr;
    }
    const auto from = static_cast<std::uint64_t>(next);
    const std::uint64_t split = from + (HashEnd - from) / 2;
    const int fd = ::openat(source_->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    DIR* handle = nullptr;
    if (::lseek(fd, static_cast<off_t>(split), SEEK_SET) != static_cast<off_t>(split) ||
        !(handle = ::fdopendir(fd))) {
        ::close(fd);
        return nullptr;
    }
    auto upper = std::make_unique<NameCollector>(reinterpret_cast<Directory*>(handle), filter_);
    upper->source_->ownsStream = true;
    source_->partEnd = split;
    return upper;
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

void LowerThreadPriority() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
}

} // namespace platform
