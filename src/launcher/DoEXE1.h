// Building the emulator's command line from the main window's choices, and
// starting it.
#pragma once

#include "platform/win32.h"

#include <string>

namespace tavro {

// CommandLine := "morvel " followed by the flag of every chosen screen mode,
// frame-skip value and switch, in a fixed order. Each choice is stored in
// tavro.cfg with WriteIniValue just before its flag is appended; the stores
// share one wait of at most 2 s for another launcher's lock. Returns the first
// failed store's Win32 code (a read-only tavro.cfg does not count), else
// ERROR_SUCCESS; nothing is shown here.
platform::DWORD BuildCommandLine();

// Appends "-driver " and DriverFile to CommandLine. A file name holding a
// blank, a tab or a double quote is quoted so that the emulator receives it
// as one argument; other names go in unchanged. Either way the emulator gets
// the name's exact bytes.
void AppendDriverToCommandLine();

// Starts a command line with the window minimized and returns at once. When
// the program cannot be started, a message box says which program was looked
// for, where and why; the launcher carries on. Returns whether it started.
bool StartEmulator(const std::string& commandLine);

// Tells the user, in an information box, that the choices could not be stored
// in tavro.cfg and why, and that the emulator was started with them anyway.
void ShowStoreFailure(platform::DWORD error);

} // namespace tavro
