// GradForm: the caption painter. Every window of the program draws its title
// bar itself: a band of colour from a strong colour to white, the window's
// small icon, its text in the system's caption font and the caption buttons,
// composed off-screen and copied onto the window in one step.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <vector>

namespace tavro {

// --- Shared state -----------------------------------------------------------
// One set for the whole program, shared by every window the painter is
// installed on; the window procedure sets it up around each repaint.

inline platform::HWND CurrentWindow = nullptr; // the window whose message is handled
inline platform::HICON CaptionIcon = nullptr;  // its small icon; nullptr when it has none
inline platform::HDC WindowDC = nullptr;       // whole-window DC during a repaint
inline platform::HDC MemoryDC = nullptr;       // off-screen DC during a repaint
inline platform::HRGN ClipRegion = nullptr;    // region used around a repaint
inline platform::HFONT CaptionFont = nullptr;  // made and freed within PaintCaption
inline platform::LOGFONTA CaptionLogFont{};    // the system's caption font
inline platform::COLORREF ActiveTextColour = 0;
inline platform::COLORREF InactiveTextColour = 0;

// --- Colours and sizes ------------------------------------------------------

inline constexpr platform::COLORREF ActiveCaptionColour = 0xFF0000;   // blue
inline constexpr platform::COLORREF InactiveCaptionColour = 0xC0C0C0; // light grey
inline constexpr platform::COLORREF CaptionEndColour = 0xFFFFFF;      // white
inline constexpr platform::COLORREF CaptionTextColour = 0xFFFFFF;

// The off-screen bitmap a caption is composed in is this many pixels high.
inline constexpr int CaptionBitmapHeight = 50;

// The height to make the off-screen bitmap for a window: CaptionBitmapHeight,
// or more should our caption metrics ever reach below it (frame + caption).
int OffscreenCaptionHeight(platform::HWND window);

// --- Drawing ----------------------------------------------------------------

// Text colours back to white, then LoadCaptionFont. Run whenever the painter
// is installed on a window.
void ApplyCaptionStyleDefaults();

// Reads the system's caption font into CaptionLogFont (all zeros when the
// system cannot tell, which makes the default font).
void LoadCaptionFont();

// The gradient's start and end colours; any non-zero `active` counts as active.
void CaptionColours(std::int16_t active, platform::COLORREF& colour1, platform::COLORREF& colour2);

// Fills table[0..N] (N = table.size() - 1) with the gradient from `start`
// towards `end`, one step already taken at entry 0 so that entry N - 1 is
// `end`. A one-entry table would divide by zero: it is left as it was and
// false comes back.
bool BuildGradientTable(std::vector<platform::COLORREF>& table, platform::COLORREF start,
                        platform::COLORREF end);

// Paints CurrentWindow's caption into MemoryDC (its bitmap selected), copies
// it to WindowDC (when there is one) and cuts the caption out of WindowDC's
// clipping region. A step that cannot be done is skipped; painting goes on.
void PaintCaption(platform::COLORREF colour1, platform::COLORREF colour2);

// --- Installing the painter on a window ------------------------------------

// Replaces the window's procedure with CaptionWndProc, keeping the one it
// replaced in the window property "OldMeProc". A form passes its hWnd().
void SubclassWindow(platform::HWND window);
// Puts the kept procedure back and removes the property.
void UnsubclassWindow(platform::HWND window);

// The window procedure of every window the painter is installed on.
platform::LRESULT CALLBACK CaptionWndProc(platform::HWND window, platform::UINT msg,
                                          platform::WPARAM wParam, platform::LPARAM lParam);

// The low 16 bits of a value, read as a signed 16-bit number.
int LoWordSigned(platform::LPARAM value);

} // namespace tavro
