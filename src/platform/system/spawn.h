// Starting a program file, detached, without waiting for it: the system's
// half of Shell. Finding the program, and the messages, are
// program_start.h's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct SpawnResult {
    // 0 when the program was started; else the system's error number (errno,
    // on Windows the Win32 code).
    int error = 0;
    std::int64_t processId = -1;
    // When the system says the file is not there although it is: the
    // interpreter the file names (a script's "#!" program, an executable's
    // loader) that is missing. Empty otherwise.
    std::string missingInterpreter;
};

// Starts the program file at `path` with `args` (the first one the name it
// sees as its own; all the exact bytes) in the current directory and
// environment, and returns at once. The program leads a session of its own,
// keeps standard input, output and error, gets no other descriptor, and
// starts with default signal handling and no signal blocked. Once finished it
// is reaped in the background, so it never lingers as a zombie.
SpawnResult Spawn(const std::string& path, const std::vector<std::string>& args);

#ifdef _WIN32
// Windows: starts `commandLine` exactly as given, the program's own rules
// parsing it. The program is `application`, or, when that is empty, the one
// Windows itself finds for the line's first word (its own directory, the
// current one, the system's, then PATH). `windowStyle` (SW_*) is the first
// window's; the file started goes to *startedFile (when given). Spawn above
// is this with the arguments quoted into a line. The program gets its own
// process group and none of the caller's handles.
SpawnResult SpawnCommandLine(const std::string& application, const std::string& commandLine,
                             int windowStyle, std::string* startedFile);
#endif

} // namespace platform
