// The status bar along the bottom of the main window: the frame of the cycle
// on show (and whether it is paused), the zoom level, and the pixel under the
// cursor with its source value, the value the view shows, and for the FRC view
// the mean of the cycle's values, their mean in light and how much and how
// fast the pixel flickers; "点滅注意" after the frame while the cycle on show
// flashes harmfully (flash_check.h); while a save runs, its progress after that;
// and at the right how frames reach the screen (locked to the vblank with the
// audit's figures, or the timer). It keeps where the cursor was last seen (in
// the main window's record, window_state.h) so that every refresh (a frame
// change, a zoom, a step) reads that place afresh.
//
// User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Creates the status bar (class STATUSCLASSNAMEW) as a child of parent, with
// its four parts, and keeps it in the main window's record. Null on failure
// (the program then runs without one).
HWND CreateStatusBar(HWND parent, HINSTANCE instance);

// Remembers the cursor at client point `client` of `view` ((-1, -1): it has
// left) and refreshes the bar.
void SetStatusPointer(HWND view, POINT client);

// Places the parts for a bar `width` pixels wide: the presentation part keeps
// a fixed width at the right, the pixel part takes what is left.
void FitStatusBar(int width);

// Writes all four parts from the current state.
void RefreshStatusBar();

// The same for a frame change of the playing cycle, at most about ten times a
// second: the eye cannot read the bar faster, and repainting it for every
// frame would double the cost of a frame change. Paused and stepped frames
// use RefreshStatusBar.
void RefreshStatusBarWhilePlaying();

// Shows "保存中 done / total" after the frame while total is not 0; a total
// of 0 takes it away.
void SetStatusSaveProgress(std::uint32_t done, std::uint32_t total);

// The text of part `part` (0 frame, 1 zoom, 2 pixel, 3 presentation) as the bar holds it.
std::wstring StatusText(int part);
