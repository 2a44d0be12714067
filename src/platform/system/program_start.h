// Starting a program from a Windows-style command line, without waiting for
// it: our stand-in for the Windows shell operation the launcher relies on.
// Finding the program and saying why it could not start are done here; the
// start itself is spawn.h's.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// What became of one start. A failure is only ever reported here: Shell never
// throws and never ends the program.
struct ShellResult {
    bool ok = false;
    pid_t pid = -1; // the started program's process id (pid_t is MinGW's too)
    // As UTF-8 text to show: a name that is not UTF-8 shows with replacement marks.
    std::string program;               // the program as the command line names it
    std::string path;                  // the file that was started (or found and refused)
    std::vector<std::string> searched; // every directory (or, for a path, every file) looked at
    std::string reason;                // why it could not be started; empty when it was
    int error = 0; // the errno (Windows: Win32 code) behind reason, 0 when there is none
};

// The places a program named without a directory is looked for, in order:
// the starting program's own directory (`ownDirectory`, skipped when empty),
// the current directory, (on Windows, the system's directories,) then PATH.
// All are the exact bytes of the paths: a directory's name need not be UTF-8.
std::vector<std::string> ProgramSearchDirectories(const std::string& ownDirectory);

// Starts the program named by the first argument of commandLine (split by
// SplitCommandLine, command_line.h), with the remaining arguments (their
// exact bytes), detached, in the current directory, and returns at once. The
// program is looked for in ProgramSearchDirectories(ownDirectory);
// "name.exe" also finds a native "name", and a name without an extension
// also finds "name.exe". A name containing '/' is a path. The window style
// (SW_*) is accepted for the caller's sake; X11 and Wayland give no portable
// way to ask another program for a minimized first window, so it has no
// effect. A program that is there but whose interpreter (a script's "#!"
// program, an executable's loader) is missing is reported as such.
//
// On Windows the command line goes to CreateProcessW as it is, and Windows'
// own rules apply: the places are `ownDirectory`, the current directory, the
// system's directories, then PATH; a name without an extension also finds
// "name.exe"; the window style is the program's first window's. A failure
// gives the system's own words for it.
ShellResult Shell(const std::string& commandLine, int windowStyle, const std::string& ownDirectory);

} // namespace platform
