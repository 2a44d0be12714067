// Program-wide strings: the selected driver, the emulator's command line and
// the settings read at start.
#pragma once

#include <QString>

namespace tavro {

// The selected driver: its file name as the list gives it, its full path, and
// the path of its preview picture.
inline QString DriverFile;
inline QString DriverPath;
inline QString PreviewPath;

// The emulator's command line under construction.
inline QString CommandLine;

// The seven settings as tavro.cfg held them when the launcher started.
inline QString SavedResolution;
inline QString SavedFrameskip;
inline QString SavedDebug;
inline QString SavedNocheck;
inline QString SavedSync;
inline QString SavedSound;
inline QString SavedProfile;

// Brings DriverFile, DriverPath and PreviewPath in line with the selection in
// Form1's driver list.
void RefreshDriverPaths();

} // namespace tavro
