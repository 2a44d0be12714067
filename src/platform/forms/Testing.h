// The forms runtime's hooks for tests and benchmarks; the program never calls
// them.
#pragma once

#include <string>

namespace platform::forms {

// Points App::Path() at `path`, a temporary emulator directory; an empty path
// gives the program's own directory back.
void SetAppPathForTesting(const std::string& path);
// The path set above; empty when none is (each platform's App::Path() asks).
std::string AppPathForTesting();

// Tests observe End() instead of leaving: whether it was called since the
// last reset.
bool EndRequested();
void ResetEndForTesting();

} // namespace platform::forms
