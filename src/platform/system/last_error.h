// The calling thread's last-error code, as Win32 keeps it: a call that fails
// sets it, and the caller asks for it before its next call of the layer.
// Plain standard C++ and POSIX, no Qt, so the profile fuzz target builds it.
// On Windows the code is the system's own.
#pragma once

#include "platform/win32.h"

#ifdef _WIN32
#include <string>
#endif

namespace platform {

#ifdef _WIN32
using ::GetLastError;
using ::SetLastError;

// The system's own words for a Win32 code, as UTF-8 text without the final
// period and line break, e.g. "The system cannot find the file specified".
std::string SystemMessage(DWORD error);
#else
DWORD GetLastError();
void SetLastError(DWORD error);

// The Win32 code for a failed POSIX call's errno, for the layer's own calls.
// A missing name always means a missing folder on the way here: the callers
// create missing files.
DWORD ErrorFromErrno(int error);
#endif

} // namespace platform
