// The file list's directory reader: the names of the regular files in one
// directory that match a pattern, kept as bytes and sorted without regard to
// case, read on a worker thread so that the window can go on starting
// meanwhile. Each system reads the entries its own way (name_collector.h,
// posix/, win32/); the threads, the order, the sort and the merge are the same
// everywhere.
#pragma once

#include "platform/system/name_filter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace platform {

// File names in order, kept as the bytes the directory gave. A name is used
// by those exact bytes; it is decoded only to be shown (by the list, which
// knows the file-name encoding), so a long list costs little and a name from
// a Latin-1 system still opens its file.
class FileNames {
public:
    int size() const { return static_cast<int>(spans_.size()); }
    bool isEmpty() const { return spans_.empty(); }
    // The name as the file system has it.
    std::string_view at(int index) const {
        const Span& span = spans_.at(static_cast<std::size_t>(index));
        return {bytes_.data() + span.offset, span.length};
    }
    // Whether the name is all ASCII, which reads the same in every encoding.
    bool isAscii(int index) const { return spans_.at(static_cast<std::size_t>(index)).ascii; }

    // Where one name lies in the bytes.
    struct Span {
        std::uint32_t offset;
        std::uint16_t length; // a file name has at most 255 bytes
        bool ascii;
    };
    FileNames() = default;
    FileNames(std::string bytes, std::vector<Span> spans)
        : bytes_(std::move(bytes)), spans_(std::move(spans)) {}

private:
    std::string bytes_;
    std::vector<Span> spans_;
};

// A directory open for reading; what it holds is each system's own.
struct Directory;

// Opens a directory, named by the exact bytes of its path, for reading;
// nullptr, and the system's message for the reason (in the local 8-bit
// encoding; UTF-8 on Windows) in *error (when given), when it cannot be opened.
// On Windows names are WTF-8 (win32/wide_names.h) and the hidden attribute
// hides a file as a leading dot does.
Directory* OpenDirectory(const std::string& path, std::string* error);
void CloseDirectory(Directory* directory);

// Reads an open directory to its end and returns the names of the regular
// files that the filter keeps, sorted case-insensitively; hidden files are
// left out. The names stay bytes throughout. Touches nothing but its
// arguments, so it may run on any thread; gives up with no names once *stop
// is set.
FileNames ReadMatchingNames(Directory* directory, const NameFilter& filter,
                            const std::atomic<bool>* stop = nullptr);

class NameCollector;

// One reading of a directory on a worker thread, at the lowest priority so
// that it never holds up the window, until hurried once the window is up.
// The names are handed over after the join, so they need no lock. What to run when the names are
// read may be settled after the worker started (a directory read ahead of its list), so that and
// "done" go under a lock.
class DirectoryReader {
public:
    // Starts reading `directory` on a new worker thread and runs `finished`
    // (when given) on that thread once the names are read. The directory is
    // closed when the reading ends. Throws std::system_error when no thread
    // can be had; the directory is then left open.
    DirectoryReader(Directory* directory, NameFilter filter, std::function<void()> finished = {});
    // Stops a reading still going, dropping what it found.
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;
    // Sets what the worker runs once the names are read, for a reading
    // started without. False, and nothing is kept, when they are read
    // already.
    bool notifyWhenDone(std::function<void()> finished);
    // The one waiting for the names is up and about (the window has been
    // drawn): the rest of the reading moves to a new thread at the caller's
    // priority. Returns at once; does nothing once the names are read.
    void hurry();
    // Hands over the names. A reading still going is taken over by the
    // calling thread from the worker's next batch of entries on, so a
    // low-priority worker on a busy machine never keeps the caller waiting.
    FileNames take();

private:
    // Puts the names read where take() finds them and says they are there.
    void publish();
    // The names of the parts read, sorted; closes the directory.
    FileNames collectNames();
    // The hurried thread: waits for the low-priority worker's next batch and
    // reads on, a big directory in two parts side by side.
    void readOnHurried();

    Directory* directory_;
    std::atomic<bool> pause_{false}; // the low-priority worker stops at its next batch
    std::atomic<bool> stop_{false};  // whoever reads stops at the next batch
    bool hurried_ = false;
    std::unique_ptr<NameCollector> collector_; // while the reading goes on
    std::unique_ptr<NameCollector> upper_;     // the second part of a split reading
    FileNames names_;
    std::mutex lock_;
    bool done_ = false;
    std::function<void()> finished_;
    std::thread worker_;
    std::thread slowWorker_; // the low-priority worker, once hurried
};

} // namespace platform
