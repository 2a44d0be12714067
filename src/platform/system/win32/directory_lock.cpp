// The directory lock on Windows: a byte-range lock on a hidden file in the
// directory, made by the first launcher that wants the lock and gone once the
// last one that had it open lets go (delete on close).
#include "platform/system/directory_lock.h"

#include "platform/system/win32/wide_names.h"
#include "platform/win32.h"

namespace platform {
namespace {

HANDLE OpenLockFile(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

bool Lock(HANDLE file) {
    OVERLAPPED at{};
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

// Whether a lock file failed to open because its last holder let go of it
// and it is on its way out (it is there, but refuses to be opened).
bool LetGoOf(const std::wstring& path) {
    if (::GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const DWORD error = ::GetLastError();
    return attributes != INVALID_FILE_ATTRIBUTES ||
           (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND);
}

} // namespace

DirectoryLock::DirectoryLock(const std::string& directory, long waitMs) {
    const DWORD lastError = ::GetLastError();
    std::wstring path = WideName(directory);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    path += L".tavro-lock";
    // Another launcher holds the lock for milliseconds. A lock file that its
    // last holder has just let go of cannot be opened until it is gone.
    for (long waited = 0;; waited += 2) {
        HANDLE file = reinterpret_cast<HANDLE>(handle_);
        if (file == INVALID_HANDLE_VALUE) {
            file = OpenLockFile(path);
            if (file == INVALID_HANDLE_VALUE && !LetGoOf(path))
                break; // no file can be made here: nothing is locked
            handle_ = reinterpret_cast<std::intptr_t>(file);
        }
        if (file != INVALID_HANDLE_VALUE) {
            if (Lock(file))
                break;
            if (::GetLastError() != ERROR_LOCK_VIOLATION)
                break; // a file system without locks
        }
        waited_ = true;
        if (waited >= waitMs) {
            busy_ = true;
            break;
        }
        ::Sleep(2);
    }
    ::SetLastError(lastError);
}

DirectoryLock::~DirectoryLock() {
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

} // namespace platform
