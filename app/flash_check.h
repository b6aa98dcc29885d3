// The window's guard against harmful flashing: every change of the cycle on
// show (a value, the picture, the frame duration in use) is judged by a
// thread of its own (frc/flash_guard.h) while the cycle stays on its frame 0.
// A cycle that flashes harmfully stays paused there with a message and a
// warning in the status bar; the user may still play it with Space.
//
// The judging thread reads the picture and the level tables. Anything that
// would change them (a rebuild, a new picture, closing the window) first
// stops it (CancelFlashCheck); a judgement of a cycle changed meanwhile is
// thrown away by its number.
//
// User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>

// Judges the cycle on show afresh: holds it on frame 0 (WindowState's
// flashPending) and starts the thread, which reports with
// kRequestFlashJudged. A cycle that cannot flash (steady, the clock standing,
// a picture smaller than the window) is judged at once, without a thread.
// Nothing is held when no cycle of the picture on show exists.
void CheckFlashing();

// CheckFlashing when the frame duration in use is no longer the one the cycle
// on show was judged at (the presentation was locked, released or moved to a
// display of another rate).
void CheckFlashingIfTimingChanged();

// The frame duration the cycle is shown at: the locked one while frames
// follow the display's refreshes, else FrameDuration (100 ns units).
std::uint32_t FrameDurationInUse();

// Stops a running judgement and waits for its thread; the hold stays until a
// new judgement answers. True when one was running. The wait is short: the
// thread looks at its cancel flag after every frame.
bool CancelFlashCheck();

// The answer of the thread numbered `number` (the lParam of
// kRequestFlashJudged): ignored unless it judged the cycle now on show.
void OnFlashJudged(LPARAM number);
