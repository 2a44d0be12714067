// The profile-file (INI) functions, with Win32 behaviour: tavro.cfg may come
// from Windows and users edit it by hand. Plain standard C++ and POSIX, no Qt,
// so the fuzz target builds this file on its own.
#pragma once

#include "platform/win32.h"

namespace platform {

// Copies the value of `key` in `section` of the file at `path` into `buffer`,
// cut to size - 1 characters and NUL-terminated, and returns the number of
// characters copied. A missing file, section or key, or a key without a value,
// gives `defaultValue` (null counts as ""). A null section or key gives the
// default too. Names are trimmed and compared without regard to ASCII case;
// the first matching section and, in it, the first matching key win. Reads the
// file afresh on every call.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* path);

// Stores `value` under `key` in `section` of the file at `path`: an existing
// key is changed in place, a new key goes after the last key of its section, a
// new section at the end of the file, and a missing file is created. Every
// other line keeps its exact bytes and the file keeps its line-ending style.
// The file is replaced atomically (temporary file, fsync, rename), so on
// failure the old file stays whole and FALSE is returned. Names or values that
// a profile file cannot hold (line breaks; `=`, a leading `[` or `;` in a key;
// `]` in a section) and null arguments are refused with FALSE.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* path);

} // namespace platform
