// The window layer's hooks for tests and benchmarks; the program never calls
// them.
#pragma once

namespace platform::atomic_file_testing {

// Makes saves use named temporary files even where O_TMPFILE works, so tests
// can reach that path on any file system.
void ForceNamedTemporaryFiles(bool force);

} // namespace platform::atomic_file_testing
