// The presentation check, `Quillane.exe --check-presentation [SECONDS]`: it
// proves on the user's own screen that every frame reaches the display for
// the refreshes it is meant to.
//
// A small window on the primary monitor plays a cycle of kCheckInterval
// frames, each carrying its number as a marker (present/screen_readback.h), one
// frame per refresh, presented through a flip-model swap chain. Meanwhile the
// desktop image is read back through DXGI Desktop Duplication each time it
// changes, the marker is read from it, and the time of each change is turned
// into refreshes at the monitor's refresh rate. The run prints the frame on
// screen at every refresh, then the figures: refreshes, frames doubled,
// frames missed, refreshes unreadable.
//
// Direct3D 11 and DXGI are looked up at run time; both the swap chain and the
// duplication need Windows 8 or later. Without them the check says so and
// ends with its own exit code (base/exit_codes.h).
#pragma once

#include <windows.h>

constexpr int kCheckInterval = 16;         // frames in the check's cycle
constexpr int kCheckDefaultSeconds = 10;   // reading time without SECONDS
constexpr int kCheckMaxSeconds = 600;

// Runs the check for secondsText seconds (null: kCheckDefaultSeconds; text
// that is not a whole number from 1 to kCheckMaxSeconds is a usage error) and
// returns the exit code. Never shows a message box; messages go to the
// console as the other command-line runs do.
int RunPresentationCheck(HINSTANCE instance, const wchar_t* secondsText);

// Draws frame (0..255) of the check's cycle into dc, client size width x
// height: a grey that changes with the frame, and the frame's marker with its
// top-left corner at client point (kCheckMarkerLeft, kCheckMarkerTop).
constexpr int kCheckMarkerLeft = 8;
constexpr int kCheckMarkerTop = 8;
void DrawCheckFrame(HDC dc, int width, int height, int frame);
