// Program-wide strings: the selected driver, the emulator's command line and
// the settings read at start.
#pragma once

#include <string>

namespace tavro {

// The selected driver: its file name as the list gives it, its full path, and
// the path of its preview picture. All three are the exact bytes of the names
// on disk, which need not be valid UTF-8; decode them only to show them.
inline std::string DriverFile;
inline std::string DriverPath;
inline std::string PreviewPath;

// The emulator's command line under construction, as bytes for the same
// reason: the driver's name goes in exactly.
inline std::string CommandLine;

// The seven settings as tavro.cfg held them when the launcher started.
inline std::string SavedResolution;
inline std::string SavedFrameskip;
inline std::string SavedDebug;
inline std::string SavedNocheck;
inline std::string SavedSync;
inline std::string SavedSound;
inline std::string SavedProfile;

// Brings DriverFile, DriverPath and PreviewPath in line with the selection in
// Form1's driver list.
void RefreshDriverPaths();

} // namespace tavro
