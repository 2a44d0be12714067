// The profile-file (INI) functions, with Win32 behaviour: tavro.cfg may come
// from Windows and users edit it by hand. Plain standard C++ and POSIX, no Qt,
// so the fuzz target builds this file on its own.
#pragma once

#include "platform/system/last_error.h"
#include "platform/win32.h"

#include <memory>

namespace platform {

// Copies the value of `key` in `section` of the file at `path` into `buffer`,
// cut to size - 1 characters and NUL-terminated, and returns the number of
// characters copied. Reads the file afresh on every call. As on Windows:
// - A missing file, section or key, or a key line without `=`, gives
//   `defaultValue` (null counts as "") without its trailing spaces; `key=`
//   with nothing after it gives "". A null section or key gives the default.
// - The names passed in lose their spaces at both ends (not tabs or vertical
//   tabs) and are compared without regard to ASCII case; the first section of
//   that name and, in it, the first key of that name win.
// - In the file, blanks (space, tab, vertical tab, form feed) around section
//   names, key names and values are ignored, and a value in matching single
//   or double quotes loses them. A line whose first non-blank character is `[`
//   opens a section named up to the first `]`, or to the line's end when it
//   has none. Lines starting with `;` are comments. CR, LF and CRLF end lines.
// Differences from Windows, on purpose:
// - A UTF-8 byte order mark at the start of the file is skipped (Windows
//   takes it for part of the first line, so it loses the first section).
// - A file over 1 MiB is taken for unreadable and gives the default, so a
//   corrupt or hostile file cannot stall the program.
// - A NUL byte in a value ends it there.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* path);

// Stores `value` under `key` in `section` of the file at `path`: an existing
// key is changed in place, a new key goes after the last key of its section, a
// new section at the end of the file, and a missing file is created. The names
// lose their spaces at both ends; an existing section or key keeps its
// spelling. Every other line keeps its exact bytes and the file keeps its
// line-ending style. A value already stored returns TRUE without a write.
// The file is replaced by AtomicFile (atomic_file.h): on any failure the old
// file stays whole, FALSE is returned and GetLastError says why (below).
// Writers of the same file take turns through an exclusive lock on its
// directory: a write waits at most 2 s for another, then fails with
// ERROR_LOCK_VIOLATION; in a ProfileWriteRow all its writes share one wait.
// Differences from Windows, on purpose:
// - A new file gets LF line ends (Windows writes CRLF); both read the other's.
// - A value that reading would change (blanks at either end, or a pair of
//   enclosing quotes) is written in double quotes so it reads back as given.
// - Names or values that the file cannot hold are refused with FALSE: line
//   breaks; `]` or blanks other than spaces at the ends of a section name;
//   `=`, a leading `[` or `;`, or such blanks at the ends of a key name.
// - A read-only file (no write bit, or not writable for the effective user,
//   root included), a file with more than one hard link and a file over 1 MiB
//   are never replaced: FALSE. Nor is a file that the write would take over
//   1 MiB, where it would read as empty.
// - Null arguments are refused with FALSE (Windows deletes keys or sections).
// The last error of a failed write:
// - ERROR_FILE_READ_ONLY: the file is read-only (Windows says
//   ERROR_ACCESS_DENIED there). The only code for that case, so a caller can
//   tell a user's pinned file from a fault. Checked before any lock wait.
// - ERROR_LOCK_VIOLATION: another writer kept the lock for the whole wait.
// - ERROR_FILE_TOO_LARGE: the file is, or would become, larger than 1 MiB.
// - ERROR_NOT_SUPPORTED: the file has other hard links.
// - ERROR_FILE_NOT_FOUND: the path is a symbolic link to a missing file;
//   ERROR_CANT_RESOLVE_FILENAME: its links go round in a loop.
// - ERROR_DIRECTORY_NOT_SUPPORTED, ERROR_BAD_FILE_TYPE: the path is a
//   directory, or another file that is not a regular one.
// - ERROR_INVALID_PARAMETER: a name or value the file cannot hold.
// - Otherwise the failed system call's error: ERROR_DISK_FULL,
//   ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND, ERROR_WRITE_PROTECT, ...
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* path);

// Not in Win32: makes the writes of one task (the settings of one Run press)
// share one wait for the directory lock. While the object lives, the writes of
// this thread take each directory's lock once, at the first write that must
// change a file there, and keep it until the object ends; when that wait runs
// out, every later write there fails at once with ERROR_LOCK_VIOLATION. A row
// made inside another does nothing.
class ProfileWriteRow {
public:
    ProfileWriteRow();
    ~ProfileWriteRow();
    ProfileWriteRow(const ProfileWriteRow&) = delete;
    ProfileWriteRow& operator=(const ProfileWriteRow&) = delete;

    struct Locks;

private:
    std::unique_ptr<Locks> locks_;
};

} // namespace platform
