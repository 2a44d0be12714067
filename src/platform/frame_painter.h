// Painting the standard window frame: borders, a plain caption, the caption
// buttons and the menu bar, where frame geometry says they lie.
#pragma once

#include "platform/win32.h"

namespace platform::frame {

// Paints into the window's surface, limited to clip: a region handle in
// screen coordinates, or 1 (or 0) for the whole window.
void PaintStandardFrame(HWND hwnd, WPARAM clip, bool active);

// Paints only the caption buttons, showing the one held down as pressed.
void PaintCaptionButtons(HWND hwnd);

// The caption font: the desktop's title font, as the non-client metrics give it.
LOGFONTA CaptionLogFont();

} // namespace platform::frame
