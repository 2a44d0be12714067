// Shell as the program calls it: the system's program start, with the
// program's own directory (App::Path()) searched first.
#pragma once

#include "platform/system/program_start.h"

#include <string>
#include <vector>

namespace platform::forms {

// platform::Shell with App::Path() as the starting program's own directory.
platform::ShellResult Shell(const std::string& commandLine, int windowStyle);

// The places Shell looks for a program named without a directory, in order:
// App::Path(), the current directory, then PATH.
std::vector<std::string> ProgramSearchDirectories();

} // namespace platform::forms
