#include "platform/system/file_path.h"

#include "platform/system/win32/wide_names.h"

#include <string>

namespace platform {
namespace {

// The path the system gives for an open file, without its "\\?\" prefix
// when the path reads the same without.
std::string FinalPath(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(
            file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    if (path.starts_with(L"\\\\?\\UNC\\"))
        path.replace(0, 8, L"\\\\");
    else if (path.starts_with(L"\\\\?\\") && path.size() < MAX_PATH + 4)
        path.erase(0, 4);
    return NarrowName(path);
}

} // namespace

SaveTarget FollowToSaveTarget(const std::string& path) {
    SaveTarget target;
    target.file = path;
    const std::wstring wide = WideName(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // Opening follows the link to the file it names.
        const HANDLE file =
            ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            target.systemError = static_cast<int>(error);
            target.error = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                               ? ERROR_FILE_NOT_FOUND
                               : error;
            return target;
        }
        std::string real = FinalPath(file);
        const DWORD error = ::GetLastError();
        ::CloseHandle(file);
        if (real.empty()) {
            target.systemError = static_cast<int>(error);
            target.error = error;
            return target;
        }
        target.file = std::move(real);
    }
    target.parts = SplitPath(target.file);
    return target;
}

} // namespace platform
