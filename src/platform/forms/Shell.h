// Shell as the program calls it: the window layer's program start, with the
// program's own directory (App::Path()) searched first.
#pragma once

#include "platform/shell.h"

namespace platform::forms {

// platform::Shell with App::Path() as the starting program's own directory.
platform::ShellResult Shell(const QByteArray& commandLine, int windowStyle);

// The places Shell looks for a program named without a directory, in order:
// App::Path(), the current directory, then PATH.
QList<QByteArray> ProgramSearchDirectories();

} // namespace platform::forms
