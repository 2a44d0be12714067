// Sets up the system's font configuration ahead of the first text.
#pragma once

namespace platform::forms::qt {

// Starts reading the system's font configuration and font caches on a helper
// thread, so that the first font the program resolves finds them ready. Call
// it first thing (Run() does), before the application exists: the reading then
// overlaps the application's own start, which mostly waits on the display
// server. Returns false when nothing was started: a second call, or a Qt that
// does not use the system's font configuration.
bool PrepareFontsAhead();

} // namespace platform::forms::qt
