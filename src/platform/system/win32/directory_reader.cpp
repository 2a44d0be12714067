// The directory reader on Windows: directories read through FindFirstFileExW
// (basic information, large fetches), names kept as WTF-8 so that each one
// opens its file again, and the reading's worker at a low priority.
#include "platform/system/directory_reader.h"

#include "platform/system/last_error.h"
#include "platform/system/name_collector.h"
#include "platform/system/win32/wide_names.h"
#include "platform/win32.h"

#include <memory>
#include <string>

namespace platform {

// A search over the directory's entries, holding the entry it found last
// until that one has been read.
struct Directory {
    std::string path;
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW entry{};
    bool pending = false; // `entry` has not been read yet
    bool ended = false;
};

namespace {

// A symbolic link is listed when it leads to a regular file, as on POSIX.
bool LeadsToARegularFile(const Directory& directory, const std::string& name) {
    std::string path = directory.path;
    if (!path.empty() && path.back() != '\\' && path.back() != '/' && path.back() != ':')
        path += '\\';
    const HANDLE file = ::CreateFileW(WidePath(path + name).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool regular = ::GetFileType(file) == FILE_TYPE_DISK &&
                         ::GetFileInformationByHandle(file, &info) &&
                         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    ::CloseHandle(file);
    return regular;
}

} // namespace

struct NameCollector::Source {
    Directory* directory;
};

NameCollector::NameCollector(Directory* directory, const NameFilter& filter)
    : filter_(filter), source_(std::make_unique<Source>(Source{directory})) {}

NameCollector::~NameCollector() = default;

bool NameCollector::read(const std::atomic<bool>* pause) {
    Directory& directory = *source_->directory;
    for (std::size_t seen = 1; !finished_; ++seen) {
        // Checked before an entry is read, so that none is lost when
        // another thread reads on.
        if (pause && seen % 1024 == 0 && pause->load(std::memory_order_relaxed)) {
            return false;
        }
        if (!directory.pending) {
            directory.pending =
                !directory.ended && ::FindNextFileW(directory.search, &directory.entry);
            if (!directory.pending) {
                directory.ended = true;
                finished_ = true;
                break;
            }
        }
        directory.pending = false;
        const WIN32_FIND_DATAW& entry = directory.entry;
        // Hidden files (by their attribute or, as elsewhere, a leading dot,
        // which also covers . and ..) are not listed, nor are folders.
        constexpr DWORD NotListed =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DEVICE;
        if ((entry.dwFileAttributes & NotListed) || entry.cFileName[0] == L'.') {
            continue;
        }
        const std::string name = NarrowName(entry.cFileName);
        if (!filter_.matches(name.data(), name.size())) {
            continue;
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            !LeadsToARegularFile(directory, name)) {
            continue;
        }
        if (!keep(name.data(), name.size())) {
            finished_ = true; // no more can be kept
        }
    }
    // Each part is sorted by the thread that read it.
    sort();
    return true;
}

// A search cannot be split: one reader reads the whole directory.
std::unique_ptr<NameCollector> NameCollector::splitOff() {
    return nullptr;
}

Directory* OpenDirectory(const std::string& path, std::string* error) {
    const DWORD lastError = ::GetLastError();
    auto directory = std::make_unique<Directory>();
    directory->path = path;
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' &&
        pattern.back() != ':')
        pattern += '\\';
    pattern += '*';
    directory->search =
        ::FindFirstFileExW(WidePath(pattern).c_str(), FindExInfoBasic, &directory->entry,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (directory->search != INVALID_HANDLE_VALUE) {
        directory->pending = true;
    } else {
        const DWORD failure = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
        if (failure != ERROR_FILE_NOT_FOUND || attributes == INVALID_FILE_ATTRIBUTES ||
            !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (error) {
                *error = SystemMessage(failure);
            }
            ::SetLastError(lastError);
            return nullptr;
        }
        directory->ended = true; // a drive's empty root: no entries at all
    }
    ::SetLastError(lastError);
    return directory.release();
}

void CloseDirectory(Directory* directory) {
    if (directory && directory->search != INVALID_HANDLE_VALUE) {
        ::FindClose(directory->search);
    }
    delete directory;
}

void LowerThreadPriority() {
    // The lowest of the normal levels, as a nice value of 19 is elsewhere:
    // the idle level would never run while anything else does.
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}

} // namespace platform
