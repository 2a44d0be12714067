// The safe save: new content beside the target, flushed, renamed over it.
#include "platform/system/atomic_file.h"

#include "platform/system/file_path.h"
#include "platform/system/last_error.h"
#include "platform/testing.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

// Named temporary files start with this and go on with "<pid>-<n>".
constexpr std::string_view TempPrefix = ".tavro-";

// A named temporary file whose lock is free is debris once it is this old,
// even when a process of its pid runs (the pid was used again).
constexpr std::time_t StaleAfterSeconds = 60;

std::atomic<bool> forceNamed = false;
std::atomic<unsigned> tempCounter = 0;

std::string WithError(std::string text, int error) {
    if (error != 0) {
        text += " (";
        text += std::strerror(error);
        text += ')';
    }
    return text;
}

// Whether the process that made a named temporary file is gone.
bool OwnerIsGone(std::string_view name) {
    name.remove_prefix(TempPrefix.size());
    pid_t pid = 0;
    std::size_t digits = 0;
    // Nine digits hold every pid Linux hands out and cannot overflow.
    while (digits < name.size() && digits < 9 && name[digits] >= '0' && name[digits] <= '9')
        pid = pid * 10 + (name[digits++] - '0');
    if (digits == 0 || pid <= 0 || digits == name.size() || name[digits] != '-')
        return false; // not one of ours: leave it alone
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool IsOurTemporaryName(std::string_view name) {
    if (!name.starts_with(TempPrefix) || name.size() == TempPrefix.size())
        return false;
    const char first = name[TempPrefix.size()];
    return first >= '0' && first <= '9';
}

// Removes named temporary files that interrupted saves left in a directory.
// A save in progress holds an exclusive lock on its file, so a file whose
// lock is free belongs to no save that is still running.
void RemoveStaleTemporaries(int dirFd) {
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!IsOurTemporaryName(name))
            continue;
        const bool ownerGone = OwnerIsGone(name);
        const int fd =
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (ownerGone)
                ::unlinkat(dirFd, entry->d_name, 0);
            continue;
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            (ownerGone || st.st_mtime + StaleAfterSeconds < now))
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

std::string NextTemporaryName() {
    return std::string(TempPrefix) + std::to_string(::getpid()) + "-" +
           std::to_string(tempCounter++);
}

} // namespace

bool AtomicFile::Fail(std::string reason, int error) {
    return Refuse(WithError(std::move(reason), error),
                  error != 0 ? ErrorFromErrno(error) : ERROR_WRITE_FAULT);
}

bool AtomicFile::OpenTarget(const SaveTarget& target) {

    struct stat st {};
    exists_ = ::stat(target.file.c_str(), &st) == 0;
    if (!exists_ && errno != ENOENT)
        return Fail("it cannot be reached", errno);
    if (exists_) {
        if (S_ISDIR(st.st_mode))
            return Refuse("it is a directory, not a file", ERROR_DIRECTORY_NOT_SUPPORTED);
        if (!S_ISREG(st.st_mode))
            return Refuse("it is not a regular file", ERROR_BAD_FILE_TYPE);
        if (IsReadOnlyFile(target.file.c_str()))
            return Refuse("the file is read-only", ERROR_FILE_READ_ONLY);
        if (st.st_nlink > 1)
            return Refuse("the file has other names (hard links) that a save would part from it",
                          ERROR_NOT_SUPPORTED);
        mode_ = st.st_mode & 07777;
        uid_ = st.st_uid;
        gid_ = st.st_gid;
    }

    dir_ = target.parts.directory;
    base_ = target.parts.name;
    if (base_.empty() || base_ == "." || base_ == "..")
        return Refuse("it is a directory, not a file", ERROR_DIRECTORY_NOT_SUPPORTED);

    dirHandle_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirHandle_ < 0)
        return Fail("its folder could not be opened", errno);
    return MakeTemporary();
}

bool AtomicFile::MakeTemporary() {
    // Even an unnamed file has a name for the instant before the rename, so
    // a kill at that instant leaves one: every save looks for such debris.
    RemoveStaleTemporaries(dirHandle_);
    if (!forceNamed) {
        // An unnamed file vanishes by itself if the save never ends.
        handle_ = ::openat(dirHandle_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (handle_ >= 0)
            return true;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return Fail("no temporary file could be made beside it", errno);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = NextTemporaryName();
        // 0666 lets the umask decide for a new file, as for any file created.
        handle_ = ::openat(dirHandle_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle_ >= 0) {
            tempName_ = std::move(name);
            // Held until the save ends: the sign that the file is in use.
            ::flock(handle_, LOCK_EX);
            return true;
        }
        if (errno != EEXIST)
            return Fail("no temporary file could be made beside it", errno);
    }
    return Fail("no temporary file could be made beside it", EEXIST);
}

bool AtomicFile::Write(std::string_view bytes) {
    if (handle_ < 0)
        return NotOpen();
    while (!bytes.empty()) {
        const ssize_t n = ::write(handle_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail("the new content could not be written", n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Gives an unnamed temporary file a name in the directory, for the rename.
// The file stays locked, so no other save takes it for debris meanwhile.
bool AtomicFile::NameTemporary() {
    const std::string self = "/proc/self/fd/" + std::to_string(handle_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = NextTemporaryName();
        int linked = ::linkat(AT_FDCWD, self.c_str(), dirHandle_, name.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT) // no /proc: the way that needs privileges
            linked = ::linkat(handle_, "", dirHandle_, name.c_str(), AT_EMPTY_PATH);
        if (linked == 0) {
            tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return Fail("the new content could not be given a name beside it", errno);
    }
    return Fail("the new content could not be given a name beside it", EEXIST);
}

bool AtomicFile::Commit() {
    if (handle_ < 0)
        return NotOpen();
    if (tempName_.empty())
        ::flock(handle_, LOCK_EX);
    if (exists_) {
        if (::fchmod(handle_, mode_) != 0)
            return Fail("the file's permissions could not be kept", errno);
        if (uid_ != ::geteuid() || gid_ != ::getegid()) {
            // Only root may hand a file to another owner; the content matters more.
            if (::fchown(handle_, uid_, gid_) != 0)
                errno = 0;
        }
    }
    if (::fsync(handle_) != 0)
        return Fail("the new content could not be flushed to disk", errno);
    if (tempName_.empty() && !NameTemporary())
        return false;
    if (::renameat(dirHandle_, tempName_.c_str(), dirHandle_, base_.c_str()) != 0)
        return Fail("the old file could not be replaced", errno);
    tempName_.clear(); // it is the target now
    // The rename reaches the disk with the directory. The new content is in
    // place whatever this says, so a failure here is not the save's failure.
    ::fsync(dirHandle_);
    Abandon();
    return true;
}

void AtomicFile::Abandon() {
    if (handle_ >= 0) {
        if (!tempName_.empty())
            ::unlinkat(dirHandle_, tempName_.c_str(), 0);
        ::close(handle_);
        handle_ = -1;
    }
    tempName_.clear();
    if (dirHandle_ >= 0) {
        ::close(dirHandle_);
        dirHandle_ = -1;
    }
}

// A step after a failed or missing Open keeps saying why.
bool AtomicFile::NotOpen() {
    if (reason_.empty())
        return Refuse("the file was not opened for saving", ERROR_INVALID_HANDLE);
    return Refuse(reason_, code_);
}

bool IsReadOnlyFile(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0)
        return false;
    // No write bit, or no right to write: read-only, for root as well.
    return (st.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* reason) {
    AtomicFile file(path);
    const bool ok = file.Open() && file.Write(bytes) && file.Commit();
    if (!ok) {
        if (reason)
            *reason = file.Reason();
        SetLastError(file.Error());
    }
    return ok;
}

namespace atomic_file_testing {
void ForceNamedTemporaryFiles(bool force) {
    forceNamed = force;
}
} // namespace atomic_file_testing

} // namespace platform
