// The seven settings kept in tavro.cfg: read once at start and set on the main
// window's controls.
#pragma once

namespace tavro {

class Form1;

// Reads the seven settings from tavro.cfg into SavedResolution, SavedFrameskip,
// SavedDebug, SavedNocheck, SavedSync, SavedSound and SavedProfile.
void LoadSettings();

// Sets the main window's screen-mode and frame-skip options and its switches
// from the strings LoadSettings filled. Only sets, never clears: a value that
// matches nothing leaves the control as designed.
void ApplySavedSettings(Form1& form);

} // namespace tavro
