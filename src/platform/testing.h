// The window layer's hooks for tests and benchmarks; the program never calls
// them.
#pragma once

namespace platform::gdi_testing {

// Live DCs plus live GDI objects (stock objects not counted), so tests can
// see that nothing leaks.
int LiveGdiObjectCount();

} // namespace platform::gdi_testing

namespace platform::atomic_file_testing {

// Makes saves use named temporary files even where O_TMPFILE works, so tests
// can reach that path on any file system.
void ForceNamedTemporaryFiles(bool force);

} // namespace platform::atomic_file_testing

namespace platform::profile_testing {

// How long a profile write waits for another's lock (2000 ms unless set), so
// tests that hold the lock do not wait the full time.
void SetLockWait(long milliseconds);
// How many times a profile write has found the lock taken and begun to wait.
unsigned LockWaits();

} // namespace platform::profile_testing
