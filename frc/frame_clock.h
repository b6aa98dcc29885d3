// The frame clock: a 1 ms periodic multimedia timer that samples the
// performance counter and, when the frame of the FRC cycle due at that moment
// differs from CurrentFrame, stores it and sends a request message
// synchronously to the window it was started for.
#pragma once

#include <windows.h>

#include <cstdint>

// Queries the performance-counter frequency that CounterFrequency returns. The
// main window calls it once while it is created, before any timer exists.
void QueryCounterFrequency();

// Ticks per second of the performance counter; 0 until QueryCounterFrequency.
// Any thread (every tick reads it).
std::int64_t CounterFrequency();

// Starts the clock's timer (1 ms period and resolution); each frame change
// sends `message` with wParam `request` and lParam 0 to `window`. A running
// timer is stopped first, so at most one ever exists. A failed start leaves
// the clock idle. User-interface thread (the thread that stops it).
void StartFrameClock(HWND window, UINT message, WPARAM request);

// Stops the clock's timer, if one runs. Once this returns no tick stores
// CurrentFrame or sends a request. A tick that is blocked sending its request
// to the calling thread is served while this waits for it, so stopping from
// the main window's own thread cannot deadlock. Must not be called from inside
// the handling of the frame-changed request itself.
void StopFrameClock();

// The identifier of the clock's running timer; 0 when it is stopped.
UINT FrameClockTimer();
