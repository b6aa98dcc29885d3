// Locked playback: a presentation thread that waits for every vblank of the
// main window's monitor, works out from the vblank count which frame of the
// cycle is due (present/presentation_lock.h), puts it into the FRC view right
// after the vblank with a DC of its own, and audits what was shown. While it
// runs it is the only one to draw that view: the view's own paints are handed
// to it (views/image_view.h), so none of them waits for a frame. Where no
// vblank source exists, the thread cannot start, or the user chose the timer,
// the frame clock (frc/frame_clock.h) changes the frames instead.
//
// The thread never sends to the main window: it posts the target's
// `presented` request at most about ten times a second for the status bar,
// and takes FrameSetLock around every draw so that a rebuild cannot release
// frames under it.
//
// Every function here is for the user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "present/presentation_lock.h"

enum class PresentationMode { kVsync, kTimer };

// Where presentation reports to. The window's monitor gives the vblank source.
struct PresentationTarget {
  HWND window;          // the main window
  UINT message;         // the message of both requests below
  WPARAM presented;     // posted by the thread: the figures have changed
  WPARAM frameChanged;  // sent by the frame clock: a new frame is due
};

// Before the main window exists: the simulated source to use instead of the
// display's (null: the display's), and the file to log every frame change to
// (null: none). The simulated source makes the mode kVsync.
void SetPresentationOptions(const SimulatedSourceOption* simulated, const wchar_t* logPath);

// The mode the user chose (settings key "Presentation"); set before the
// window is shown, changed later only through SwitchPresentationMode.
void SetPresentationMode(PresentationMode mode);
PresentationMode CurrentPresentationMode();

// Reads the refresh rate of the target window's monitor, opens the vblank
// source for it and, when the mode is kVsync and a source opened, starts the
// presentation thread (the frame clock is then stopped). What ran before is
// stopped first. Called once the window has first painted, and again,
// through a posted request, after a display change or a move to another
// monitor (see PresentationMonitorChanged).
void OpenPresentation(const PresentationTarget& target);

// True when window now lies mostly on another monitor than the one the source
// was opened for.
bool PresentationMonitorChanged(HWND window);

// Stops the thread, closes the source and the log. For WM_DESTROY. Waits a
// fraction of a second at most: a thread stuck in a vblank wait that never
// returns (a display that sleeps or is removed) is abandoned, and the source
// and log it holds stay open until the process ends.
void ClosePresentation();

// True while the presentation thread changes the frames (kVsync with a source).
bool PresentationLocked();

// Locked playback only: the schedule starts again at the next vblank from
// CurrentFrame, after a rebuild or a resume. `held` stops the frame changes
// (paused); the thread then shows CurrentFrame as the user steps.
void RestartPresentation(bool held);

// Switches between kVsync and kTimer: stops the thread or the clock and
// starts the other, the clock only when the cycle is not held.
void SwitchPresentationMode(bool held);

// What the status bar's presentation part shows.
struct PresentationStatus {
  bool searching;   // the source is still to be looked for (the window has not painted)
  bool locked;      // PresentationLocked
  bool simulated;   // the source is the simulated one
  RefreshRate rate;
  LockTiming timing;
  PresentationFigures figures;  // the audit's totals since the thread last started
};
PresentationStatus CurrentPresentationStatus();

// The audit's totals since the thread last started.
PresentationFigures PresentationTotals();

// How long after its vblank each frame change was drawn (presented, on a
// swap chain), in milliseconds: the last kPresentationLatencySamples changes
// since the thread last started, oldest first. For benchmarks and diagnosis.
constexpr size_t kPresentationLatencySamples = 8192;
std::vector<double> PresentationLatencies();

// Which source was chosen and why each other was refused, one per line.
std::wstring PresentationReport();

// The main window's answer to the `presented` request: lets the next one be posted.
void PresentationRequestHandled();
