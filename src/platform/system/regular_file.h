// Reading a whole regular file, safely: the one reader of the profile files,
// the pictures and the driver editor. Plain standard C++, no Qt, so the profile fuzz
// target builds it too; each system reads its own way (posix/, win32/).
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Which file was read, to tell later whether it has been replaced or changed.
// On Windows: the volume's serial number, the file index, and the times in
// nanoseconds since 1601 (the change time where the file system keeps one).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // last change of the content
    std::int64_t changedNs = 0;  // last change of the content or the file's record
    bool operator==(const FileIdentity&) const = default;
};

struct RegularFile {
    enum class Status {
        Read,
        Missing,    // there is no file of that name
        NotOpened,  // it could not be opened for another reason
        Directory,  // refused
        NotRegular, // refused: a pipe, a device, a socket
        TooLarge,   // refused: over the cap
        ReadFailed, // opened, but its content could not be read
    };
    Status status = Status::NotOpened;
    // The whole file, when Read.
    std::string bytes;
    // When Read, the file as it was once read. After a refusal of an opened
    // file, the file as opened: a size above the cap says it was too large
    // then, a size within it that it grew while it was read.
    FileIdentity identity;
    // Why it was not Read, as a Win32 code: the failed open's code for
    // Missing and NotOpened (ErrorFromErrno, last_error.h), then in turn
    // ERROR_DIRECTORY_NOT_SUPPORTED, ERROR_BAD_FILE_TYPE, ERROR_FILE_TOO_LARGE
    // and ERROR_READ_FAULT. ERROR_SUCCESS when Read.
    DWORD error = ERROR_SUCCESS;
    // The failed system call's own code (errno; on Windows the Win32 code) for
    // Missing, NotOpened and ReadFailed, as SystemErrorText words it; 0 otherwise.
    int systemError = 0;
};

// Reads the file at `path` whole, at most `maxSize` bytes: a larger file is
// refused, not cut. Anything that is not a regular file (a directory, a pipe,
// a device) is refused too, and opening it never waits for a writer, so a read
// can neither block nor run forever. A symbolic link to a regular file reads
// as that file. The thread's last error is left alone; std::bad_alloc comes
// through when there is no memory for the file.
RegularFile ReadRegularFile(const char* path, std::size_t maxSize);

// The file at `path` as it is now (a symbolic link followed), or nothing when
// there is none.
std::optional<FileIdentity> FileIdentityOf(const char* path);

// The system's own words for a failed call's code, as in "No such file or
// directory".
std::string SystemErrorText(int systemError);

} // namespace platform
