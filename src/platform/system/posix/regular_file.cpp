#include "platform/system/regular_file.h"

#include "platform/system/last_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

FileIdentity IdentityOf(const struct stat& st) {
    const auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

ssize_t ReadSome(int fd, char* into, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, into, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// Reads the opened file to its end into `file.bytes`, within the cap.
void ReadAll(int fd, std::size_t size, std::size_t maxSize, RegularFile& file) {
    // One byte more than the file holds: its end shows as a read of nothing.
    std::string& bytes = file.bytes;
    bytes.resize(std::min(size, maxSize) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) // it grew since it was opened
            bytes.resize(std::min(bytes.size() * 2, maxSize + 1));
        const ssize_t n = ReadSome(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            file.status = RegularFile::Status::ReadFailed;
            file.systemError = errno;
            file.error = ERROR_READ_FAULT;
            break;
        }
        if (n == 0) {
            bytes.resize(used);
            file.status = RegularFile::Status::Read;
            return;
        }
        used += static_cast<std::size_t>(n);
        if (used > maxSize) {
            file.status = RegularFile::Status::TooLarge;
            file.error = ERROR_FILE_TOO_LARGE;
            break;
        }
    }
    bytes.clear();
}

} // namespace

RegularFile ReadRegularFile(const char* path, std::size_t maxSize) {
    RegularFile file;
    // Non-blocking, so that opening a pipe does not wait for a writer.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        file.status =
            errno == ENOENT ? RegularFile::Status::Missing : RegularFile::Status::NotOpened;
        file.systemError = errno;
        file.error = ErrorFromErrno(errno);
        return file;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        file.status = RegularFile::Status::ReadFailed;
        file.systemError = errno;
        file.error = ERROR_READ_FAULT;
    } else {
        file.identity = IdentityOf(st);
        if (S_ISDIR(st.st_mode)) {
            file.status = RegularFile::Status::Directory;
            file.error = ERROR_DIRECTORY_NOT_SUPPORTED;
        } else if (!S_ISREG(st.st_mode)) {
            file.status = RegularFile::Status::NotRegular;
            file.error = ERROR_BAD_FILE_TYPE;
        } else if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
            file.status = RegularFile::Status::TooLarge;
            file.error = ERROR_FILE_TOO_LARGE;
        } else {
            ReadAll(fd, static_cast<std::size_t>(st.st_size), maxSize, file);
            // What the file is now, to tell at a later save whether it changed.
            if (file.status == RegularFile::Status::Read && ::fstat(fd, &st) == 0)
                file.identity = IdentityOf(st);
        }
    }
    ::close(fd);
    return file;
}

std::optional<FileIdentity> FileIdentityOf(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0)
        return std::nullopt;
    return IdentityOf(st);
}

std::string SystemErrorText(int systemError) {
    return std::strerror(systemError);
}

} // namespace platform
