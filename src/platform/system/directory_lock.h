// A lock on a directory, shared by every launcher on the machine. Plain
// standard C++, no Qt, so the profile fuzz target builds it too; each system
// locks its own way (posix/, win32/).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// An exclusive lock that makes one write's read, change and replacement of a
// file one step for every launcher writing in the same directory. The lock
// is taken on the directory itself: it stays put while the file is replaced
// by rename, exists before the file does, and leaves nothing behind, where a
// lock file beside tavro.cfg would be one more file in the emulator's
// directory. Windows locks no directory: there the lock is on a hidden file,
// ".tavro-lock", that lives only while a launcher holds it. Taken when made,
// held until destroyed.
class DirectoryLock {
public:
    // Waits at most `waitMs` for another holder, so that a launcher stopped
    // in the middle of a write cannot freeze this one. Where the directory
    // cannot be opened, or its file system has no locks, nothing is locked:
    // the write itself stays atomic and says what is wrong.
    DirectoryLock(const std::string& directory, long waitMs);
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // True when another holder kept the lock for the whole wait.
    bool Busy() const { return busy_; }
    // True when another holder made it wait, for all of the wait or part.
    bool Waited() const { return waited_; }

private:
    // The directory's descriptor, or on Windows the lock file's handle; -1 for none.
    std::intptr_t handle_ = -1;
    bool busy_ = false;
    bool waited_ = false;
};

} // namespace platform
