// The calling thread's last-error code, as Win32 keeps it: a call that fails
// sets it, and the caller asks for it before its next call of the layer.
// Plain standard C++ and POSIX, no Qt, so the profile fuzz target builds it.
#pragma once

#include "platform/win32.h"

namespace platform {

DWORD GetLastError();
void SetLastError(DWORD error);

// The Win32 code for a failed POSIX call's errno, for the layer's own calls.
// A missing name always means a missing folder on the way here: the callers
// create missing files.
DWORD ErrorFromErrno(int error);

} // namespace platform
