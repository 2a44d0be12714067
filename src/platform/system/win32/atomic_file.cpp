// The safe save on Windows: new content in a named file beside the target,
// flushed, and put in its place by ReplaceFileW.
#include "platform/system/atomic_file.h"

#include "platform/system/file_path.h"
#include "platform/system/last_error.h"
#include "platform/system/win32/wide_names.h"
#include "platform/testing.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace platform {
namespace {

// Temporary files start with this and go on with "<process id>-<n>".
constexpr std::string_view TempPrefix = ".tavro-";

// A temporary file that is not open is debris once it is this old, even when
// a process of its id runs (the id was used again).
constexpr std::uint64_t StaleAfterTicks = 60ull * 10'000'000; // 100 ns ticks

std::atomic<unsigned> tempCounter = 0;

// The attributes a saved file keeps from the old one.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::string WithError(std::string text, DWORD error) {
    if (error != 0)
        text += " (" + SystemMessage(error) + ')';
    return text;
}

std::string JoinPath(const std::string& dir, std::string_view name) {
    if (dir.empty() || dir.back() == '\\' || dir.back() == '/' || dir.back() == ':')
        return dir + std::string(name);
    return dir + '\\' + std::string(name);
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::uint64_t Ticks(const FILETIME& time) {
    return std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

// Whether the process that made a temporary file is gone.
bool OwnerIsGone(std::string_view name) {
    name.remove_prefix(TempPrefix.size());
    DWORD id = 0;
    std::size_t digits = 0;
    // Nine digits hold every process id in use and cannot overflow.
    while (digits < name.size() && digits < 9 && name[digits] >= '0' && name[digits] <= '9')
        id = id * 10 + static_cast<DWORD>(name[digits++] - '0');
    if (digits == 0 || digits == name.size() || name[digits] != '-')
        return false; // not one of ours: leave it alone
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return ::GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

bool IsOurTemporaryName(std::string_view name) {
    if (!name.starts_with(TempPrefix) || name.size() == TempPrefix.size())
        return false;
    const char first = name[TempPrefix.size()];
    return first >= '0' && first <= '9';
}

// Removes temporary files that interrupted saves left in a directory. A save
// in progress holds its file open without sharing, so it cannot be deleted.
void RemoveStaleTemporaries(const std::string& dir) {
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(WidePath(JoinPath(dir, ".tavro-*")).c_str(), FindExInfoBasic, &found,
                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    do {
        const std::string name = NarrowName(found.cFileName);
        if (!IsOurTemporaryName(name) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (OwnerIsGone(name) || Ticks(found.ftLastWriteTime) + StaleAfterTicks < Ticks(now))
            ::DeleteFileW(WidePath(JoinPath(dir, name)).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

std::string NextTemporaryName() {
    return std::string(TempPrefix) + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(tempCounter++);
}

} // namespace

bool AtomicFile::Fail(std::string reason, int error) {
    const auto code = static_cast<DWORD>(error);
    return Refuse(WithError(std::move(reason), code), code != 0 ? code : ERROR_WRITE_FAULT);
}

bool AtomicFile::OpenTarget(const SaveTarget& target) {

    const HANDLE old = ::CreateFileW(WidePath(target.file).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    exists_ = old != INVALID_HANDLE_VALUE;
    if (!exists_) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return Fail("it cannot be reached", static_cast<int>(error));
    } else {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool disk = ::GetFileType(old) == FILE_TYPE_DISK;
        const bool known = disk && ::GetFileInformationByHandle(old, &info);
        const DWORD error = ::GetLastError();
        ::CloseHandle(old);
        if (!disk || (info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE))
            return Refuse("it is not a regular file", ERROR_BAD_FILE_TYPE);
        if (!known)
            return Fail("it cannot be reached", static_cast<int>(error));
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return Refuse("it is a directory, not a file", ERROR_DIRECTORY_NOT_SUPPORTED);
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            return Refuse("the file is read-only", ERROR_FILE_READ_ONLY);
        if (info.nNumberOfLinks > 1)
            return Refuse("the file has other names (hard links) that a save would part from it",
                          ERROR_NOT_SUPPORTED);
        mode_ = info.dwFileAttributes & KeptAttributes;
    }

    dir_ = target.parts.directory;
    base_ = target.parts.name;
    if (base_.empty() || base_ == "." || base_ == "..")
        return Refuse("it is a directory, not a file", ERROR_DIRECTORY_NOT_SUPPORTED);

    const DWORD folder = ::GetFileAttributesW(WidePath(dir_).c_str());
    if (folder == INVALID_FILE_ATTRIBUTES)
        return Fail("its folder could not be opened", static_cast<int>(::GetLastError()));
    if (!(folder & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("its folder could not be opened", ERROR_DIRECTORY);
    return MakeTemporary();
}

bool AtomicFile::MakeTemporary() {
    RemoveStaleTemporaries(dir_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = NextTemporaryName();
        // Not shared while the save goes on: the sign that the file is in use.
        const HANDLE file = ::CreateFileW(WidePath(JoinPath(dir_, name)).c_str(), GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            tempName_ = std::move(name);
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return Fail("no temporary file could be made beside it", static_cast<int>(error));
    }
    return Fail("no temporary file could be made beside it", ERROR_FILE_EXISTS);
}

bool AtomicFile::Write(std::string_view bytes) {
    if (handle_ == -1)
        return NotOpen();
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(Handle(handle_), bytes.data(), chunk, &written, nullptr))
            return Fail("the new content could not be written", static_cast<int>(::GetLastError()));
        if (written == 0)
            return Fail("the new content could not be written", ERROR_DISK_FULL);
        bytes.remove_prefix(written);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (handle_ == -1)
        return NotOpen();
    // The new file shows as the old one did (hidden, say), whatever the
    // replacement itself keeps.
    if (exists_ && mode_ != 0) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = mode_;
        if (!::SetFileInformationByHandle(Handle(handle_), FileBasicInfo, &basic, sizeof basic))
            return Fail("the file's attributes could not be kept",
                        static_cast<int>(::GetLastError()));
    }
    if (!::FlushFileBuffers(Handle(handle_)))
        return Fail("the new content could not be flushed to disk",
                    static_cast<int>(::GetLastError()));
    // The replacement must be closed to be moved; its name stays its own, so
    // Abandon still removes it if the replacement fails.
    ::CloseHandle(Handle(handle_));
    handle_ = -1;
    const std::wstring target = WidePath(JoinPath(dir_, base_));
    const std::wstring temporary = WidePath(JoinPath(dir_, tempName_));
    // The old file must be free to go: a program that holds it open without
    // sharing its deletion keeps it, and it is asked first so that a refusal
    // costs nothing (Wine's ReplaceFileW leaves a stray file when it fails).
    if (exists_) {
        const HANDLE old = ::CreateFileW(target.c_str(), DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
        if (old == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_NOT_FOUND)
            return Fail("the old file could not be replaced", static_cast<int>(::GetLastError()));
        if (old != INVALID_HANDLE_VALUE)
            ::CloseHandle(old);
    }
    // ReplaceFileW keeps the old file's attributes, security and creation
    // time, and on failure leaves the old file under its name.
    bool replaced = exists_ && ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    DWORD error = replaced ? ERROR_SUCCESS : ::GetLastError();
    // No old file, or it went away meanwhile: the new one takes its name.
    if (!replaced && (!exists_ || error == ERROR_FILE_NOT_FOUND)) {
        replaced = ::MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        error = replaced ? ERROR_SUCCESS : ::GetLastError();
    }
    if (!replaced)
        return Fail("the old file could not be replaced", static_cast<int>(error));
    tempName_.clear(); // it is the target now
    Abandon();
    return true;
}

void AtomicFile::Abandon() {
    if (handle_ != -1) {
        ::CloseHandle(Handle(handle_));
        handle_ = -1;
    }
    if (!tempName_.empty())
        ::DeleteFileW(WidePath(JoinPath(dir_, tempName_)).c_str());
    tempName_.clear();
}

// A step after a failed or missing Open keeps saying why.
bool AtomicFile::NotOpen() {
    if (reason_.empty())
        return Refuse("the file was not opened for saving", ERROR_INVALID_HANDLE);
    return Refuse(reason_, code_);
}

bool IsReadOnlyFile(const char* path) {
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
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
// Every temporary file is named here: there is nothing to force.
void ForceNamedTemporaryFiles(bool) {}
} // namespace atomic_file_testing

} // namespace platform
