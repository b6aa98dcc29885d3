// Locked playback: a presentation thread that waits for every vblank of the
// main window's monitor, works out from the vblank count which frame of the
// cycle is due (frc/presentation_lock.h), puts it into the FRC view right
// after the vblank with a DC of its own, and audits what was shown. While it
// runs it is the only one to draw that view: the view's own paints are handed
// to it (views/image_view.h), so none of them waits for a frame. Where no
// vblank source exists, or the user chose the timer, the frame clock
// (frc/frame_clock.h) changes the frames as before.
//
// The thread never sends to the main window: it posts kRequestPresentation
// at most about ten times a second for the status bar, and takes FrameSetLock
// around every draw so that a rebuild cannot release frames under it.
//
// Every function here is for the user-interface thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "frc/presentation_lock.h"

enum class PresentationMode { kVsync, kTimer };

// Before the main window exists: the simulated source to use instead of the
// display's (null: the display's), and the file to log every frame change to
// (null: none). The simulated source makes the mode kVsync.
void SetPresentationOptions(const SimulatedSourceOption* simulated, const wchar_t* logPath);

// The mode the user chose (settings key "Presentation"); set before the
// window is shown, changed later only through SwitchPresentationMode.
void SetPresentationMode(PresentationMode mode);
PresentationMode CurrentPresentationMode();

// Reads the refresh rate of window's monitor, opens the vblank source for it
// and, when the mode is kVsync and a source opened, starts the presentation
// thread (the frame clock is then not used). What ran before is stopped
// first. Called once the window has first painted, on WM_DISPLAYCHANGE, and when the
// window has moved to another monitor (see PresentationMonitorChanged).
void OpenPresentation(HWND window);

// True when window now lies mostly on another monitor than the one the source
// was opened for.
bool PresentationMonitorChanged(HWND window);

// Stops the thread, closes the source and the log. For WM_DESTROY.
void ClosePresentation();

// True while the presentation thread changes the frames (kVsync with a source).
bool PresentationLocked();

// Locked playback only: the schedule starts again at the next vblank from
// CurrentFrame, after a rebuild or a resume. `held` stops the frame changes
// (paused); the thread then shows CurrentFrame as the user steps.
void RestartPresentation(bool held);

// Switches between kVsync and kTimer (the system menu's item): stops the
// thread or the clock and starts the other unless the cycle is held.
void SwitchPresentationMode(HWND window, bool held);

// Appends "画面の更新に同期" (kIdPresentationSync) to window's system menu,
// checked while the mode is kVsync.
void AddPresentationToSystemMenu(HWND window);

// The status bar's presentation part: the mode and the audit's totals
// ("同期を確認中" before the source is first looked for).
std::wstring PresentationStatusText();

// The audit's totals since the thread last started.
PresentationFigures PresentationTotals();

// How long after its vblank each frame change was drawn (presented, on a
// swap chain), in milliseconds: the last kPresentationLatencySamples changes
// since the thread last started, oldest first. For benchmarks and diagnosis.
constexpr size_t kPresentationLatencySamples = 8192;
std::vector<double> PresentationLatencies();

// Which source was chosen and why each other was refused, one per line.
std::wstring PresentationReport();

// The main window's answer to kRequestPresentation: lets the next one be posted.
void PresentationRequestHandled();
