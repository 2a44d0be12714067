// Reading a whole regular file on Windows. Opening never waits: a file is
// opened with every sharing mode, and a pipe or device is refused by its type.
#include "platform/system/regular_file.h"

#include "platform/system/last_error.h"
#include "platform/system/win32/wide_names.h"

#include <algorithm>

namespace platform {
namespace {

std::int64_t Ticks(const FILETIME& time) {
    return static_cast<std::int64_t>(std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
}

// 100 ns ticks since 1601 as nanoseconds since 1601.
std::int64_t Nanoseconds(std::int64_t ticks) {
    return ticks * 100;
}

bool IdentityOf(HANDLE file, FileIdentity& identity, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return false;
    attributes = info.dwFileAttributes;
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    identity.size =
        static_cast<std::int64_t>(std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow);
    identity.modifiedNs = Nanoseconds(Ticks(info.ftLastWriteTime));
    // The change time covers the file's record too, where the system keeps it.
    FILE_BASIC_INFO basic{};
    identity.changedNs =
        ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
                basic.ChangeTime.QuadPart != 0
            ? Nanoseconds(basic.ChangeTime.QuadPart)
            : identity.modifiedNs;
    return true;
}

HANDLE OpenForReading(const char* path) {
    // Backup semantics lets a directory open, so that it is refused as one.
    return ::CreateFileW(WideName(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Reads the opened file to its end into `file.bytes`, within the cap.
void ReadAll(HANDLE handle, std::size_t size, std::size_t maxSize, RegularFile& file) {
    // One byte more than the file holds: its end shows as a read of nothing.
    std::string& bytes = file.bytes;
    bytes.resize(std::min(size, maxSize) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) // it grew since it was opened
            bytes.resize(std::min(bytes.size() * 2, maxSize + 1));
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - used, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(handle, bytes.data() + used, want, &got, nullptr)) {
            file.status = RegularFile::Status::ReadFailed;
            file.systemError = static_cast<int>(::GetLastError());
            file.error = ERROR_READ_FAULT;
            break;
        }
        if (got == 0) {
            bytes.resize(used);
            file.status = RegularFile::Status::Read;
            return;
        }
        used += got;
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
    const DWORD lastError = ::GetLastError();
    RegularFile file;
    const HANDLE handle = OpenForReading(path);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        file.status = missing ? RegularFile::Status::Missing : RegularFile::Status::NotOpened;
        file.systemError = static_cast<int>(error);
        // As on POSIX: a missing name is a missing folder on the way.
        file.error = missing ? ERROR_PATH_NOT_FOUND : error;
        ::SetLastError(lastError);
        return file;
    }
    DWORD attributes = 0;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        file.status = RegularFile::Status::NotRegular;
        file.error = ERROR_BAD_FILE_TYPE;
    } else if (!IdentityOf(handle, file.identity, attributes)) {
        file.status = RegularFile::Status::ReadFailed;
        file.systemError = static_cast<int>(::GetLastError());
        file.error = ERROR_READ_FAULT;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        file.status = RegularFile::Status::Directory;
        file.error = ERROR_DIRECTORY_NOT_SUPPORTED;
    } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
        file.status = RegularFile::Status::NotRegular;
        file.error = ERROR_BAD_FILE_TYPE;
    } else if (static_cast<std::uint64_t>(file.identity.size) > maxSize) {
        file.status = RegularFile::Status::TooLarge;
        file.error = ERROR_FILE_TOO_LARGE;
    } else {
        ReadAll(handle, static_cast<std::size_t>(file.identity.size), maxSize, file);
        // What the file is now, to tell at a later save whether it changed.
        if (file.status == RegularFile::Status::Read)
            IdentityOf(handle, file.identity, attributes);
    }
    ::CloseHandle(handle);
    ::SetLastError(lastError);
    return file;
}

std::optional<FileIdentity> FileIdentityOf(const char* path) {
    const DWORD lastError = ::GetLastError();
    const HANDLE handle = OpenForReading(path);
    std::optional<FileIdentity> identity;
    if (handle != INVALID_HANDLE_VALUE) {
        FileIdentity found;
        DWORD attributes = 0;
        if (IdentityOf(handle, found, attributes))
            identity = found;
        ::CloseHandle(handle);
    }
    ::SetLastError(lastError);
    return identity;
}

std::string SystemErrorText(int systemError) {
    return SystemMessage(static_cast<DWORD>(systemError));
}

} // namespace platform
