// The file a path names for a save, and the directory it lies in. Plain
// standard C++, no Qt, so the profile fuzz target builds it too; each system
// follows links its own way (posix/, win32/).
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>

namespace platform {

// A file's directory and its own name in it.
struct PathParts {
    // "." for a bare name, "/" for a file at the root; on Windows "\\" and "C:\\"
    // too, either slash separates, and "C:" is that drive's current directory.
    std::string directory;
    std::string name; // empty when the path ends in "/"
};

PathParts SplitPath(std::string_view file);

// The file a save to `path` replaces: a symbolic link is followed, so the
// file it names is replaced and the link itself stays. Any other path is
// taken as it is, whether it exists or not.
struct SaveTarget {
    std::string file; // the path, or the file its link names
    PathParts parts;  // of `file`
    // Why a link cannot be followed: ERROR_FILE_NOT_FOUND when it leads to a
    // missing file, otherwise the code of the failure (ErrorFromErrno,
    // last_error.h), e.g. ERROR_CANT_RESOLVE_FILENAME for links that go round
    // in a loop. ERROR_SUCCESS when `file` is known.
    DWORD error = ERROR_SUCCESS;
    int systemError = 0; // the failed call's own code (errno; on Windows the Win32 code)
};

SaveTarget FollowToSaveTarget(const std::string& path);

} // namespace platform
